#include "app/entry/application_root.h"

#include "app/model/app_model.h"
#include "app/shell/model_adapter.h"
#include "app/shell/tray/status_item.h"

namespace velmora {

std::unique_ptr<ApplicationRoot> ApplicationRoot::create(ModelPorts ports, bool trayAvailable,
                                                         std::function<double()> now) {
    const auto settings = ports.settings;  // the panel keeps its own choices there too
    std::unique_ptr<ApplicationRoot> root(new ApplicationRoot);
    root->model_ = AppModel::create(std::move(ports), false);
    if (!root->model_) return nullptr;
    root->adapter_ = std::make_unique<ModelAdapter>(root->model_);
    root->item_ = std::make_unique<StatusItem>(*root->adapter_, trayAvailable, std::move(now), settings);
    return root;
}

ApplicationRoot::~ApplicationRoot() {
    if (model_) model_->shutdown();  // while the widgets still stand, as they may hear of it
    item_.reset();
    adapter_.reset();
}

}  // namespace velmora
