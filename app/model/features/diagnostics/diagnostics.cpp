// The diagnostics report: the computer's part, the phone's answer to "diag.get" within 1.5 s, and the
// whole placed on the clipboard for the user to paste.
#include <sys/utsname.h>

#include <fstream>
#include <sstream>

#include "app/model/app_model.h"
#include "app/model/app_version.h"
#include "app/model/features/diagnostics/diagnostic_report.h"
#include "core/l10n/l10n.h"
#include "core/log/velmora_log.h"
#include "core/net/net_info.h"

namespace velmora {

namespace {

constexpr double kPhoneWait = 1.5;
constexpr double kAskingNoticeSeconds = 6.0;
constexpr double kCopiedNoticeSeconds = 10.0;

std::optional<std::string> readWhole(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    std::ostringstream text;
    text << in.rdbuf();
    if (in.bad()) return std::nullopt;
    return std::move(text).str();
}

std::string systemText() {
    utsname names{};
    std::string kernel;
    if (::uname(&names) == 0) kernel = std::string(names.sysname) + " " + names.release + " " + names.machine;
    auto osRelease = readWhole("/etc/os-release");
    if (!osRelease) osRelease = readWhole("/usr/lib/os-release");
    return DiagnosticReport::systemText(osRelease.value_or(""), kernel);
}

}  // namespace

void AppModel::copyDiagnostics() {
    if (!session_ || state_.state.kind() != ConnState::Kind::connected) {
        completeDiagnostics(std::nullopt);
        return;
    }
    showNotice(L10n::string("panel.notice.asking_phone_log"), kAskingNoticeSeconds);
    if (diagWait_) diagWait_->cancel();
    diagWait_ = after(kPhoneWait,
                      [](AppModel& model) { model.finishDiagnostics(L10n::string("diag.phone_no_reply")); });
    send({{"t", "diag.get"}});
}

void AppModel::revealLog() {
    if (ports_.workspace) ports_.workspace->reveal(VelmoraLog::file());
}

// The first answer wins: a block that comes after the time-out, or a second one, is dropped.
void AppModel::finishDiagnostics(std::string phoneBlock) {
    if (!diagWait_) return;
    completeDiagnostics(std::move(phoneBlock));
}

void AppModel::completeDiagnostics(std::optional<std::string> phoneBlock) {
    if (diagWait_) diagWait_->cancel();
    diagWait_.reset();
    std::string text = diagnosticReport();
    if (phoneBlock) text += "\n" + *phoneBlock + "\n";
    if (clipWatch_) clipWatch_->place(text);
    edit().lastError.reset();
    showNotice(L10n::string("panel.notice.diag_copied.title"), L10n::string("panel.notice.diag_copied.text"),
               kCopiedNoticeSeconds);
}

std::string AppModel::diagnosticReport() const {
    DiagnosticReport::Facts f;
    f.languageCode = L10n::languageCode();
    f.version = AppVersion::version();
    f.build = AppVersion::build();
    f.system = systemText();
    f.bluetoothState = state_.bluetoothState;
    f.localNetworkDenied = state_.localNetworkDenied;
    f.browserReady = state_.browserReady;
    f.linkPrefs = state_.linkPrefs;
    f.network = NetInfo::describe(gatewayIP_);
    f.state = state_.state;
    f.linkKind = state_.linkKind;
    f.usbPhones = state_.usbPhones.size();
    f.networkPhones = state_.phones.size();
    f.blePhones = state_.blePhones.size();
    f.idleDescended = state_.idleDescended;
    f.phoneScreenOn = phoneScreenOn_;
    if (phoneScreenOffSince_) f.screenOffFor = now() - *phoneScreenOffSince_;
    f.phoneFast = phoneFast_;
    f.phoneLocks = phoneLocks_;
    f.idleNote = idleNote_;
    VelmoraLog::flush();
    f.log = readWhole(VelmoraLog::file());
    return DiagnosticReport::text(f);
}

}  // namespace velmora
