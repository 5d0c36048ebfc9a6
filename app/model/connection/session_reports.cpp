#include "app/model/connection/session_reports.h"

#include "app/model/app_model.h"

namespace velmora {

namespace {

// Runs `work` with the model on the receive thread. Should its owner let go of the model meanwhile, the
// last reference goes to main: the model's end joins this very thread, so it must not happen here.
template <class Work>
void withModel(const std::weak_ptr<AppModel>& weak, Executor& main, Work&& work) {
    auto model = weak.lock();
    if (!model) return;
    work(*model);
    if (model.use_count() == 1) main.post([last = std::move(model)] {});
}

}  // namespace

SessionReports::SessionReports(std::weak_ptr<AppModel> model, std::shared_ptr<AttemptContext> context,
                               std::shared_ptr<LinkSession> session)
    : model_(std::move(model)), context_(std::move(context)), session_(std::move(session)) {}

void SessionReports::didReceiveControl(LinkSession& session, const nlohmann::json& message) {
    withModel(model_, *context_->main, [&](AppModel& model) { model.dispatchControl(session, message); });
}

// The mirror's picture and sound go to the mirroring feature's sinks on this thread.
void SessionReports::didReceiveVideo(LinkSession&, ByteView packet) {
    withModel(model_, *context_->main, [&](AppModel& model) { model.mirrorVideo(packet); });
}

void SessionReports::didReceiveAudio(LinkSession&, ByteView packet) {
    withModel(model_, *context_->main, [&](AppModel& model) { model.mirrorAudio(packet); });
}

void SessionReports::didReceiveFile(LinkSession& session, ByteView chunk) {
    withModel(model_, *context_->main, [&](AppModel& model) { model.receiveFileChunk(session, chunk); });
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
