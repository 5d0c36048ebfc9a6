#include "platform/clipboard/qt_clipboard.h"

namespace velmora {

namespace {

std::string utf8(const QString& text) {
    const QByteArray bytes = text.toUtf8();
    return {bytes.constData(), static_cast<std::size_t>(bytes.size())};
}

}  // namespace

QtClipboard::QtClipboard(QClipboard* clipboard) : clipboard_(clipboard) {
    connection_ = QObject::connect(clipboard_, &QClipboard::dataChanged, [this] { changed(); });
}

QtClipboard::~QtClipboard() {
    QObject::disconnect(connection_);
}

// On X11 the signal for our own write comes at once from setMimeData and may come again when the server
// reports the new owner; neither is a change by someone else.
void QtClipboard::changed() {
    if (writing_ || (ours_ && content() == ours_.data())) return;
    ++count_;
}

std::vector<std::string> QtClipboard::types() const {
    std::vector<std::string> out;
    if (const QMimeData* mime = content()) {
        for (const QString& format : mime->formats())
            out.push_back(utf8(format));
    }
    return out;
}

std::optional<std::string> QtClipboard::data(const std::string& mimeType) const {
    const QMimeData* mime = content();
    const QString type = QString::fromStdString(mimeType);
    if (!mime || !mime->hasFormat(type)) return std::nullopt;
    const QByteArray bytes = mime->data(type);
    return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

std::optional<std::string> QtClipboard::text() const {
    const QMimeData* mime = content();
    if (!mime || !mime->hasText()) return std::nullopt;
    return utf8(mime->text());
}

std::int64_t QtClipboard::replaceText(const std::string& text) {
    auto* mime = new QMimeData;  // the clipboard owns it from here
    mime->setText(QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
    ours_ = mime;
    writing_ = true;
    clipboard_->setMimeData(mime, QClipboard::Clipboard);
    writing_ = false;
    return ++count_;
}

}  // namespace velmora
