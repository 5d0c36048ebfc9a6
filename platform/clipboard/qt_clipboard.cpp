#include "platform/clipboard/qt_clipboard.h"

#include <QGuiApplication>

#include "core/log/velmora_log.h"

namespace velmora {

namespace {

std::string utf8(const QString& text) {
    const QByteArray bytes = text.toUtf8();
    return {bytes.constData(), static_cast<std::size_t>(bytes.size())};
}

}  // namespace

QtClipboard::QtClipboard(QClipboard* clipboard, Session session, std::function<bool()> hasFocus)
    : clipboard_(clipboard), session_(session), hasFocus_(std::move(hasFocus)) {
    if (session_ == Session::wayland) lastSeen_ = signature();
    connection_ = QObject::connect(clipboard_, &QClipboard::dataChanged, [this] { changed(); });
}

QtClipboard::Session QtClipboard::currentSession() {
    return QGuiApplication::platformName().startsWith(QLatin1String("wayland")) ? Session::wayland
                                                                                : Session::x11;
}

std::string QtClipboard::signature() const {
    std::string out;
    for (const std::string& type : types())
        out += type + '\n';
    return out + '\n' + text().value_or(std::string());
}

QtClipboard::~QtClipboard() {
    QObject::disconnect(connection_);
}

// On X11 the signal for our own write comes at once from setMimeData and may come again when the server
// reports the new owner; neither is a change by someone else.
void QtClipboard::changed() {
    if (writing_ || (ours_ && content() == ours_.data())) return;
    if (session_ == Session::wayland) {
        std::string now = signature();
        if (now == lastSeen_) return;  // the same copy, offered again as a window of ours took focus
        lastSeen_ = std::move(now);
    }
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
    if (session_ == Session::wayland && !(hasFocus_ && hasFocus_())) {
        VelmoraLog::write(
            "área de transferência: texto do celular não gravado: o compositor Wayland só aceita "
            "a cópia de uma janela com o foco");
        return count_;
    }
    auto* mime = new QMimeData;  // the clipboard owns it from here
    mime->setText(QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
    ours_ = mime;
    writing_ = true;
    clipboard_->setMimeData(mime, QClipboard::Clipboard);
    writing_ = false;
    if (session_ == Session::wayland) lastSeen_ = signature();
    return ++count_;
}

}  // namespace velmora
