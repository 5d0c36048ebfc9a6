#pragma once

#include <QClipboard>
#include <QMetaObject>
#include <QMimeData>
#include <QPointer>
#include <functional>
#include <string>

#include "app/model/ports/clipboard.h"

namespace velmora {

// The clipboard port over QClipboard (its Clipboard mode). The desktop reports changes; we count them, so
// the model can poll a number. Our own write is counted once, by replaceText, and its echo (the change
// signal that comes while the content is still the one we set) is not counted again.
//
// Through Qt's Wayland plugin the compositor hands the clipboard over only while one of our windows has the
// keyboard: a write without focus is silently dropped by the compositor while Qt goes on reporting our text,
// and the others' copy is announced again at every focus. There a write is made only with focus (else it
// is logged and reported as not made: the count does not move and the content stays the desktop's), and a
// change offering exactly what was last seen is that same copy announced again, not counted.
//
// Threads: the GUI thread only, like QClipboard.
class QtClipboard final : public Clipboard {
  public:
    enum class Session {
        x11,      // any client takes and watches the clipboard at any time
        wayland,  // only a client with keyboard focus (Qt's Wayland plugin)
    };
    // `hasFocus` tells whether one of our windows has the keyboard now (asked in the Wayland session only).
    explicit QtClipboard(QClipboard* clipboard, Session session = Session::x11,
                         std::function<bool()> hasFocus = nullptr);
    // The session of the running GUI: wayland under Qt's Wayland plugin, x11 otherwise.
    static Session currentSession();
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
    std::string signature() const;
    const QMimeData* content() const { return clipboard_->mimeData(QClipboard::Clipboard); }

    QClipboard* const clipboard_;
    QMetaObject::Connection connection_;
    std::int64_t count_ = 0;
    bool writing_ = false;
    const Session session_;
    const std::function<bool()> hasFocus_;
    std::string lastSeen_;      // Wayland: the types and text of the content last counted
    QPointer<QMimeData> ours_;  // what replaceText set; Qt deletes it once another owner takes over
};

}  // namespace velmora
