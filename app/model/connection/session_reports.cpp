#include "app/model/connection/session_reports.h"

#include "app/model/app_model.h"

namespace velmora {

SessionReports::SessionReports(std::weak_ptr<AppModel> model, std::shared_ptr<AttemptContext> context,
                               std::shared_ptr<LinkSession> session)
    : model_(std::move(model)), context_(std::move(context)), session_(std::move(session)) {}

// Every control message goes to the model's dispatch; the model lives as long as its sessions' threads.
void SessionReports::didReceiveControl(LinkSession& session, const nlohmann::json& message) {
    if (const auto model = model_.lock()) model->dispatchControl(session, message);
}

// The mirror's picture and sound belong to the mirroring feature.
void SessionReports::didReceiveVideo(LinkSession&, ByteView) {}

void SessionReports::didReceiveFile(LinkSession& session, ByteView chunk) {
    if (const auto model = model_.lock()) model->receiveFileChunk(session, chunk);
}

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
