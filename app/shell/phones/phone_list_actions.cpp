#include "app/shell/phones/phone_list_actions.h"

#include "app/model/app_model.h"

namespace velmora {

void ModelPhoneActions::connectTo(const DiscoveredPhone& phone) {
    if (const auto model = model_.lock()) model->connectTo(phone);
}

void ModelPhoneActions::cancelConnecting() {
    if (const auto model = model_.lock()) model->cancelConnecting();
}

void ModelPhoneActions::searchAgain() {
    if (const auto model = model_.lock()) model->restartBrowsing();
}

void ModelPhoneActions::disconnect() {
    if (const auto model = model_.lock()) model->disconnect();
}

}  // namespace velmora
