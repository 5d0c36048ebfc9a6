#include "app/mirror/window/mirror_window.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QResizeEvent>
#include <QScreen>
#include <algorithm>
#include <cmath>
#include <cstdio>

#include "app/mirror/logic/capture_policy.h"
#include "app/mirror/window/container.h"
#include "app/mirror/window/mirror_view.h"
#include "app/mirror/window/overlay.h"
#include "core/l10n/l10n.h"
#include "core/settings/settings.h"

namespace velmora {
namespace {

using enum MirrorPhase::Kind;

constexpr double kTick = 1.0;
constexpr double kMaxStoredSide = 20000;  // a remembered frame beyond this is not ours

// "12,5" in Portuguese, "12.5" in English: the tooltip's numbers follow the language of its texts.
std::string decimal(double value, int digits) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%.*f", digits, value);
    std::string s = buffer;
    if (L10n::languageCode() != "en") std::replace(s.begin(), s.end(), '.', ',');
    return s;
}

}  // namespace

MirrorWindow::MirrorWindow(const QString& title, MirrorWindowPort& port, Executor& executor,
                           Settings* settings, Options options)
    : port_(port),
      executor_(executor),
      settings_(settings),
      options_(options),
      geometry_(*MirrorGeometry::make(1080, 2340)),
      view_(new MirrorView(executor)),
      container_(new MirrorContainer(view_, hud_, executor, this)),
      sink_(
          [this, alive = std::weak_ptr<bool>(alive_)] {
              // The decoder's worker: hop to the GUI thread, where the window may be gone by then.
              QMetaObject::invokeMethod(
                  this,
                  [this, alive] {
                      if (alive.lock()) frameReady();
                  },
                  Qt::QueuedConnection);
          },
          options.decoderThreads),
      feeder_(sink_, executor) {
    setWindowTitle(title);
    setAttribute(Qt::WA_DeleteOnClose, false);
    view_->onInput = [this](const nlohmann::json& m) { port_.input(m); };
    view_->pasteText = [this] { return port_.pasteText(); };
    view_->onNotice = [this](const std::string& text) { showNotice(text, 6); };
    view_->onPainted = [this] { feeder_.frameShown(); };
    // Pictures are converted on the decoder's worker straight to the size they are painted at.
    view_->onPixelSize = [this](int width, int height) { sink_.setOutputSize(width, height); };
    hud_.onAction = [this](const std::string& key) {
        port_.input(nlohmann::json{{"t", "in.key"}, {"key", key}});
        focusView();  // typing goes to the phone again
    };
    hud_.onRetry = [this] { port_.retry(); };
    feeder_.onFirstFrame = [this] { hud_.drive([](MirrorPhaseMachine& m) { m.firstPicture(); }); };
    // Clicks reach the phone only while the picture is live.
    hud_.subscribe([this] { container_->overlay()->setBlocksMouse(hud_.phase().kind() != live); });
    container_->overlay()->setBlocksMouse(true);

    setMinimumSize(static_cast<int>(MirrorGeometry::minWidth),
                   static_cast<int>(geometry_.minContentHeight()));
    if (!(options_.remembersFrame && restoreFrame())) {
        resizeToWidth(preferredWidth_);
        if (const QScreen* screen = QGuiApplication::primaryScreen())
            move(screen->availableGeometry().center() - rect().center());
    }
    container_->setStatusToolTip(toolTipFor(std::nullopt));
    tick_ = executor_.postAfter(kTick, [this] { tick(); });
}

MirrorWindow::~MirrorWindow() {
    *alive_ = false;
    tick_.cancel();
    noticeClear_.cancel();
    delete container_;  // its widgets observe hud_, which goes before the base class deletes children
}

bool MirrorWindow::hiddenFromCapture(bool userAllows) {
    return MirrorCapturePolicy::isHidden(kCanHideFromCapture, userAllows);
}

void MirrorWindow::focusView() {
    view_->setFocus(Qt::OtherFocusReason);
}

double MirrorWindow::heightLimit() const {
    if (options_.heightLimit) return *options_.heightLimit;
    const QScreen* s = screen() ? screen() : QGuiApplication::primaryScreen();
    if (!s) return 852;
    return std::max(320.0, s->availableGeometry().height() - 48.0);
}

void MirrorWindow::resizeToWidth(double width) {
    const MirrorSize size = geometry_.fit(width, heightLimit());
    resizing_ = true;
    resize(static_cast<int>(size.width), static_cast<int>(size.height));  // the top left corner stays
    resizing_ = false;
}

void MirrorWindow::resizeEvent(QResizeEvent* event) {
    container_->setGeometry(rect());
    if (resizing_ || !event->oldSize().isValid()) return;
    const QSize old = event->oldSize(), now = event->size();
    const MirrorSize snapped = geometry_.snapped(
        {static_cast<double>(now.width()), static_cast<double>(now.height())},
        {static_cast<double>(old.width()), static_cast<double>(old.height())}, heightLimit());
    const QSize wanted(static_cast<int>(snapped.width), static_cast<int>(snapped.height));
    if (wanted == now) return;
    resizing_ = true;
    resize(wanted);
    resizing_ = false;
}

void MirrorWindow::closeEvent(QCloseEvent* event) {
    QWidget::closeEvent(event);
    if (closed_) return;
    closed_ = true;
    tick_.cancel();
    noticeClear_.cancel();
    saveFrame();
    port_.closed();
}

bool MirrorWindow::restoreFrame() {
    if (!settings_) return false;
    const auto stored = settings_->value(kFrameKey);
    if (!stored || !stored->is_object()) return false;
    double v[4];
    const char* keys[] = {"x", "y", "width", "height"};
    for (int i = 0; i < 4; ++i) {
        const auto it = stored->find(keys[i]);
        if (it == stored->end() || !it->is_number() || !std::isfinite(it->get<double>()) ||
            std::abs(it->get<double>()) > kMaxStoredSide)
            return false;
        v[i] = it->get<double>();
    }
    if (v[2] < 1 || v[3] < 1) return false;
    preferredWidth_ = v[2];
    // A place on a screen that is no longer there would leave the window out of reach: centre it instead.
    const QPoint place(static_cast<int>(v[0]), static_cast<int>(v[1]));
    if (!QGuiApplication::screenAt(place + QPoint(static_cast<int>(v[2]) / 2, 20))) return false;
    move(place);
    resizeToWidth(preferredWidth_);
    return true;
}

void MirrorWindow::saveFrame() {
    if (!settings_ || !options_.remembersFrame) return;
    const QRect g = geometry();
    settings_->setValue(kFrameKey,
                        {{"x", g.x()}, {"y", g.y()}, {"width", g.width()}, {"height", g.height()}});
}

void MirrorWindow::frameReady() {
    if (auto frame = sink_.takeLatest()) view_->showFrame(std::move(frame));
}

void MirrorWindow::tick() {
    tick_ = executor_.postAfter(kTick, [this] { tick(); });
    const H264Feeder::Stats stats = feeder_.takeStats();
    lastFps_ = stats.fps;
    lastMbps_ = stats.mbps;
    std::optional<std::string> transport;
    if (const auto info = port_.linkInfo()) {
        hud_.setLatencyMs(info->rttMs);
        hud_.setControlPaused(info->controlPaused);
        transport = info->transport;
    }
    const double now = executor_.now();
    hud_.drive([now](MirrorPhaseMachine& m) { m.tick(now); });
    container_->setStatusToolTip(toolTipFor(transport));
}

QString MirrorWindow::statusToolTip() const {
    return container_->statusToolTip();
}

QString MirrorWindow::toolTipFor(const std::optional<std::string>& transport) const {
    std::string tip;
    if (transport) tip = L10n::format("mirror.status.help.link", {*transport}) + "\n";
    const char* quality = "mirror.status.quality.unknown";
    switch (hud_.quality()) {
        case MirrorLinkQuality::good:
            quality = "mirror.status.quality.good";
            break;
        case MirrorLinkQuality::slow:
            quality = "mirror.status.quality.slow";
            break;
        case MirrorLinkQuality::lost:
            quality = "mirror.status.quality.lost";
            break;
        case MirrorLinkQuality::unknown:
            break;
    }
    tip += L10n::format("mirror.status.help.quality", {L10n::string(quality)});
    const auto kind = hud_.phase().kind();
    if (kind != reconnecting && kind != unresponsive && kind != restored && lastFps_ >= 0.5) {
        tip += "\n" + L10n::format("mirror.status.help.video", {decimal(lastFps_, 0), decimal(lastMbps_, 1)});
    }
    return QString::fromStdString(tip);
}

void MirrorWindow::setStalled(bool stalled) {
    const double now = executor_.now();
    hud_.drive([&](MirrorPhaseMachine& m) { m.setStalled(stalled, now); });
}

void MirrorWindow::connectionLost() {
    const double now = executor_.now();
    hud_.drive([&](MirrorPhaseMachine& m) { m.connectionLost(now); });
}

void MirrorWindow::connectionRestored() {
    hud_.drive([](MirrorPhaseMachine& m) { m.connectionRestored(); });
}

void MirrorWindow::retrying() {
    hud_.drive([](MirrorPhaseMachine& m) { m.retrying(); });
}

void MirrorWindow::showAwaitingApproval() {
    hud_.drive([](MirrorPhaseMachine& m) { m.showAwaitingApproval(); });
}

void MirrorWindow::fail(const std::string& text) {
    hud_.drive([&](MirrorPhaseMachine& m) { m.fail(text); });
}

void MirrorWindow::setVideoSize(int width, int height) {
    const auto next = MirrorGeometry::make(width, height);
    if (!next) return;
    geometry_ = *next;
    setMinimumSize(static_cast<int>(MirrorGeometry::minWidth),
                   static_cast<int>(geometry_.minContentHeight()));
    resizeToWidth(isVisible() ? this->width() : preferredWidth_);
    hud_.drive([](MirrorPhaseMachine& m) { m.streamStarted(); });
    feeder_.reset();
    view_->clearPicture();
}

void MirrorWindow::showNotice(const std::string& text, double seconds) {
    hud_.setNotice(text);
    noticeClear_.cancel();
    noticeClear_ = executor_.postAfter(seconds, [this] { hud_.setNotice(std::nullopt); });
}

}  // namespace velmora
