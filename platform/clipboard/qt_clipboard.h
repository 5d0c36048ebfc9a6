#pragma once

#include <QClipboard>
#include <QMetaObject>
#include <QMimeData>
#include <QPointer>

#include "app/model/ports/clipboard.h"

namespace velmora {

// The clipboard port over QClipboard (its Clipboard mode). The desktop reports changes; we count them, so
// the model can poll a number. Our own write is counted once, by replaceText, and its echo (the change
// signal that comes while the content is still the one we set) is not counted again.
//
// Threads: the GUI thread only, like QClipboard.
class QtClipboard final : public Clipboard {
  public:
    explicit QtClipboard(QClipboard* clipboard);
    ~QtClipboard() override;
    QtClipboard(const QtClipboard&) = delete;
    QtClipboard& operator=(const QtClipboard&) = delete;

    std::int64_t changeCount() const override { return count_; }
    std::vector<std::string> types() const override;
    std::optional<std::string> data(const std::string& mimeType) const override;
    std::optional<std::string> text() const override;
    std::int64_t replaceText(const std::string& text) override;

  private:
    void changed();
    const QMimeData* content() const { return clipboard_->mimeData(QClipboard::Clipboard); }

    QClipboard* const clipboard_;
    QMetaObject::Connection connection_;
    std::int64_t count_ = 0;
    bool writing_ = false;
    QPointer<QMimeData> ours_;  // what replaceText set; Qt deletes it once another owner takes over
};

}  // namespace velmora
