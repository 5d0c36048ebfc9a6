#include "app/model/connection/session_reports.h"

#include <chrono>

#include "app/model/app_model.h"
#include "app/model/app_version.h"
#include "app/model/connection/error_text.h"
#include "core/log/velmora_log.h"
#include "core/protocol/inbound.h"
#include "core/text/safe_text.h"

namespace velmora {

namespace {

double wallMs() {
    return std::chrono::duration<double, std::milli>(std::chrono::system_clock::now().time_since_epoch())
        .count();
}

}  // namespace

SessionReports::SessionReports(std::weak_ptr<AppModel> model, std::shared_ptr<AttemptContext> context,
                               std::shared_ptr<LinkSession> session)
    : model_(std::move(model)), context_(std::move(context)), session_(std::move(session)) {}

void SessionReports::didReceiveControl(LinkSession& session, const nlohmann::json& message) {
    const auto type = Inbound::rawText(Inbound::field(message, "t"));
    if (type == "status") {
        const Inbound::Status status = Inbound::status(message);
        onMain([from = &session, status](AppModel& model) { model.phoneStatus(from, status); });
    } else if (type == "pong") {
        if (const auto rtt = Inbound::rttMs(message, wallMs()))
            onMain([rtt](AppModel& model) { model.edit().rttMs = rtt; });
    } else if (type == "caps") {
        const auto rawVersion = Inbound::rawText(Inbound::field(message, "appVersion"));
        const std::optional<std::string> version =
            rawVersion ? std::optional(SafeText::logToken(rawVersion)) : std::nullopt;
        const std::int64_t build =
            Inbound::integer(Inbound::field(message, "appBuild"), 0, 10000000).value_or(0);
        VelmoraLog::write("celular com o Velmora " + version.value_or("antigo") + " (build " +
                          std::to_string(build) + "); este Mac: " + AppVersion::version() + " (build " +
                          std::to_string(AppVersion::build()) + ")");
        onMain([version, build](AppModel& model) {
            PublishedState& state = model.edit();
            state.phoneAppVersion = version;
            state.phoneAppBuild = build;
        });
    } else if (type == "net.offer") {
        const Inbound::NetOffer offer = Inbound::netOffer(message, AppModel::phonePort);
        onMain([from = &session, offer](AppModel& model) {
            model.handleOffer(from, offer.ips, static_cast<std::uint16_t>(offer.port));
        });
    } else {
        context_->features->didReceiveControl(session, message);
    }
}

// The mirror's picture and sound and the files' chunks belong to the session features.
void SessionReports::didReceiveVideo(LinkSession&, ByteView) {}
void SessionReports::didReceiveFile(LinkSession&, ByteView) {}

void SessionReports::sessionDidClose(LinkSession&, std::exception_ptr error) {
    std::optional<Failure> failure;
    if (error) failure = Failure::of(error);
    onMain([session = session_, failure](AppModel& model) { model.sessionClosed(session, failure); });
}

void SessionReports::onMain(std::function<void(AppModel&)> work) const {
    context_->main->post([model = model_, work = std::move(work)] {
        const auto live = model.lock();
        if (live && !live->shutDown_) work(*live);
    });
}

}  // namespace velmora
