// The phone's notifications on the desktop, the computer's own notices, and what the user does to them.
#include <utility>

#include "app/model/app_model.h"

namespace velmora {

namespace {

// Ids on the desktop: phone keys and our own notices live in separate spaces, so a phone cannot name its
// notification after one of ours.
std::string phoneId(const std::string& key) {
    return "p:" + key;
}

}  // namespace

// Start-up, real mode: connects to the desktop's notification server; without one the mirror stays off.
void AppModel::setUpNotifications() {
    const auto server = ports_.notifications;
    const bool up = server && server->start([weak = weak_from_this()](const NoticeEvent& event) {
        const auto model = weak.lock();
        if (model && !model->shutDown_) model->noticeEvent(event);
    });
    notifications_->serverUp = up;
    edit().notifStatus =
        up ? PublishedState::NotifStatus::authorized : PublishedState::NotifStatus::unavailable;
}

void AppModel::refreshPermissions() {
    if (live_ && !shutDown_ && !notifications_->serverUp) setUpNotifications();
}

// Receive thread. The limiter counts before the filter, so hidden apps use up the budget too.
void AppModel::postNotification(LinkSession&, const nlohmann::json& message) {
    if (!notifications_->serverUp) return;
    auto phonePost = PhonePosts::read(message);
    if (!phonePost || !notifications_->allow()) return;
    learnApp(phonePost->pkg, phonePost->appName);
    if (!phonePost->pkg.empty() && !notifOn(phonePost->pkg)) return;
    post([admitted = std::move(*phonePost)](AppModel& model) {
        if (!model.shutDown_) model.showPhonePost(admitted);
    });
}

void AppModel::showPhonePost(const PhonePost& phonePost) {
    const std::string id = phoneId(phonePost.key);
    notifications_->remember(id, {phonePost.key, phonePost.replyIndex.value_or(0), std::nullopt});
    ports_.notifications->show(
        {id, phonePost.title, phonePost.body, phonePost.pkg, phonePost.replyIndex.has_value(), true});
}

// Receive thread. The key is cut as a posted key is, so a notification with a long key can be withdrawn.
void AppModel::removeNotification(const std::string& key) {
    if (!notifications_->serverUp) return;
    post([id = phoneId(PhonePosts::cutKey(key))](AppModel& model) {
        if (model.shutDown_) return;
        model.notifications_->forget(id);
        model.ports_.notifications->withdraw(id);
    });
}

void AppModel::notifyLocal(std::string title, std::string body, std::optional<std::string> revealPath) {
    if (!notifications_->serverUp) return;
    post([title = std::move(title), body = std::move(body),
          revealPath = std::move(revealPath)](AppModel& model) {
        if (model.shutDown_) return;
        const std::string id = "l:" + std::to_string(++model.localNotices_);
        model.notifications_->remember(id, {std::nullopt, 0, revealPath});
        model.ports_.notifications->show({id, title, body, "", false, false});
    });
}

// A click on a file's notice reveals it; on a phone notification it sends nothing. Replies and dismissals
// go to the live session through the send queue, never blocking the desktop; without one they are dropped.
void AppModel::noticeEvent(const NoticeEvent& event) {
    const auto shown = notifications_->find(event.id);
    if (!shown) return;
    if (!shown->key) {
        if (event.kind == NoticeEvent::Kind::click && shown->revealPath && ports_.revealFile)
            ports_.revealFile(*shown->revealPath);
        return;
    }
    if (event.kind == NoticeEvent::Kind::reply) {
        send({{"t", "notif.action"},
              {"key", *shown->key},
              {"index", shown->replyIndex},
              {"reply", event.reply}});
    } else if (event.kind == NoticeEvent::Kind::dismiss) {
        send({{"t", "notif.dismiss"}, {"key", *shown->key}});
        notifications_->forget(event.id);
    }
}

}  // namespace velmora
