#pragma once

#include <functional>
#include <memory>

#include "app/model/model_ports.h"

namespace velmora {

class AppModel;
class ModelAdapter;
class StatusItem;

// The running application's parts over its ports: the model, its Qt adapter and the tray item with its
// panel. The program builds it from applicationPorts(); the whole-application tests build the same parts
// in their own process. Dropping it shuts the model down first (session closed, adb forwards removed, a
// pairing prompt still waiting answered no), then the widgets go. Main thread only.
class ApplicationRoot {
  public:
    // Null when the model cannot start (its alert was shown). `now` is a monotonic clock in seconds.
    static std::unique_ptr<ApplicationRoot> create(ModelPorts ports, bool trayAvailable,
                                                   std::function<double()> now);
    ~ApplicationRoot();
    ApplicationRoot(const ApplicationRoot&) = delete;
    ApplicationRoot& operator=(const ApplicationRoot&) = delete;

    const std::shared_ptr<AppModel>& model() const { return model_; }
    ModelAdapter& adapter() const { return *adapter_; }
    StatusItem& item() const { return *item_; }

  private:
    ApplicationRoot() = default;

    std::shared_ptr<AppModel> model_;
    std::unique_ptr<ModelAdapter> adapter_;
    std::unique_ptr<StatusItem> item_;
};

}  // namespace velmora
