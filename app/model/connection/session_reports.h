#pragma once

#include <memory>

#include "app/model/connection/attempt_context.h"
#include "core/session/link_session.h"
#include "core/session/session_delegate.h"

namespace velmora {

class AppModel;

// How one session reports to the model. Runs on the session's receive thread: control messages go to the
// model's dispatch there, file chunks to the files feature; the session's end is posted to the main
// executor, holding the model weakly.
class SessionReports final : public SessionDelegate {
  public:
    SessionReports(std::weak_ptr<AppModel> model, std::shared_ptr<AttemptContext> context,
                   std::shared_ptr<LinkSession> session);

    void didReceiveControl(LinkSession& session, const nlohmann::json& message) override;
    void didReceiveVideo(LinkSession& session, ByteView packet) override;
    void didReceiveAudio(LinkSession& session, ByteView packet) override;
    void didReceiveFile(LinkSession& session, ByteView chunk) override;
    void sessionDidClose(LinkSession& session, std::exception_ptr error) override;

  private:
    void onMain(std::function<void(AppModel&)> work) const;

    const std::weak_ptr<AppModel> model_;
    const std::shared_ptr<AttemptContext> context_;
    const std::shared_ptr<LinkSession> session_;
};

}  // namespace velmora
