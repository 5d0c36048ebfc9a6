#pragma once

#include <QWidget>
#include <memory>
#include <optional>
#include <string>

#include "app/mirror/logic/mirror_geometry.h"
#include "app/mirror/logic/mirror_hud.h"
#include "app/mirror/media/h264_feeder.h"
#include "app/mirror/video/avcodec_video_sink.h"
#include "app/mirror/window/mirror_window_port.h"
#include "core/exec/executor.h"

namespace velmora {

class MirrorContainer;
class MirrorView;
class Settings;

// The window that shows the phone's screen: the video view with its decoder and feeder, the overlay with
// the state layer, strips and status pill, and the action bar. Its size stays locked to the picture's aspect
// ratio (a resize snaps to the side that moved more) under a height limit from the screen; it remembers its
// place in our settings; it turns link events into the HUD's phases and runs a 1 s tick for statistics,
// latency and the unresponsive timer. Input and closing go out through the port.
//
// Main thread only, except that the mirroring control hands video packets to feeder() on the session's
// receive thread. Timers run on `executor` (the GUI thread's in the application, a fake clock in tests).
class MirrorWindow : public QWidget {
    Q_OBJECT
  public:
    // Settings key of the remembered frame: {"x", "y", "width", "height"} of the content, in points.
    static constexpr const char* kFrameKey = "VelmoraMirrorWindow";
    // No desktop here can keep one window out of screen captures: the capture policy never calls the window
    // hidden, and the setting only records the user's wish.
    static constexpr bool kCanHideFromCapture = false;

    struct Options {
        bool remembersFrame = true;         // restore and save the frame under kFrameKey
        std::optional<double> heightLimit;  // instead of the screen's (snapshots)
        // One: a phone's picture decodes in a fraction of a frame's time on one core, and slice threads
        // would only add hand-overs per picture. 0 lets libavcodec choose.
        int decoderThreads = 1;
    };

    // `settings` may be null (nothing is remembered); port, executor and settings must outlive the window.
    MirrorWindow(const QString& title, MirrorWindowPort& port, Executor& executor, Settings* settings,
                 Options options);
    MirrorWindow(const QString& title, MirrorWindowPort& port, Executor& executor, Settings* settings)
        : MirrorWindow(title, port, executor, settings, Options{}) {}
    ~MirrorWindow() override;

    // Link events (connection manager and mirroring control).
    void setStalled(bool stalled);
    void connectionLost();
    void connectionRestored();
    void retrying();
    void setVideoSize(int width, int height);  // the phone started a stream of this size
    void showAwaitingApproval();
    void fail(const std::string& text);  // a mirroring error, in the user's words
    // Shows `text` over the picture for `seconds`; a newer notice replaces it with its own full time.
    void showNotice(const std::string& text, double seconds);

    H264Feeder& feeder() { return feeder_; }
    MirrorHUD& hud() { return hud_; }
    MirrorView& view() { return *view_; }
    MirrorContainer& container() { return *container_; }
    const MirrorGeometry& picture() const { return geometry_; }
    double preferredWidth() const { return preferredWidth_; }
    void setPreferredWidth(double width) { preferredWidth_ = width; }
    // The content height limit: the option's, else max(320, the screen's available height - 48), else 852.
    double heightLimit() const;
    // The status pill's tooltip as the last tick composed it.
    QString statusToolTip() const;
    // Whether the window is kept out of captures with the user's setting: never here.
    static bool hiddenFromCapture(bool userAllows);
    // The mirror view takes the keyboard (the control does this when it shows the window).
    void focusView();

  protected:
    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

  private:
    void tick();
    void resizeToWidth(double width);
    void frameReady();
    void saveFrame();
    bool restoreFrame();
    QString toolTipFor(const std::optional<std::string>& transport) const;

    MirrorWindowPort& port_;
    Executor& executor_;
    Settings* settings_;
    Options options_;
    MirrorHUD hud_;
    MirrorGeometry geometry_;
    double preferredWidth_ = MirrorGeometry::defaultWidth;
    MirrorView* view_;
    MirrorContainer* container_;
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);  // for the decoder's queued frame calls
    AvcodecVideoSink sink_;
    H264Feeder feeder_;
    TimerHandle tick_;
    TimerHandle noticeClear_;
    double lastFps_ = 0;
    double lastMbps_ = 0;
    bool resizing_ = false;  // a size the window sets itself, not the user's drag
    bool closed_ = false;
};

}  // namespace velmora
