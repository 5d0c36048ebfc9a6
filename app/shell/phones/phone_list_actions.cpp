#include "app/shell/phones/phone_list_actions.h"

#include "app/model/app_model.h"

namespace velmora {

void ModelPhoneActions::connectTo(const DiscoveredPhone& phone) {
    model_->connectTo(phone);
}
void ModelPhoneActions::cancelConnecting() {
    model_->cancelConnecting();
}
void ModelPhoneActions::searchAgain() {
    model_->restartBrowsing();
}
void ModelPhoneActions::disconnect() {
    model_->disconnect();
}

}  // namespace velmora
