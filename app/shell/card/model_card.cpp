// The connected card's actions over the application's model.
#include <memory>

#include "app/model/app_model.h"
#include "app/shell/card/card_actions.h"
#include "app/shell/card/connected_card.h"

namespace velmora {
namespace {

class ModelCardActions final : public CardActions {
  public:
    explicit ModelCardActions(const std::shared_ptr<AppModel>& model) : model_(model) {}

    bool fastLinkAvailable() const override {
        const auto m = model_.lock();
        return m && m->fastLinkAvailable();
    }
    void switchToFastLink() override {
        with([](AppModel& m) { m.switchLink(); });
    }
    void startMirror() override {
        with([](AppModel& m) { m.startMirror(); });
    }
    void stopMirror() override {
        with([](AppModel& m) { m.stopMirror(); });
    }
    void pickAndSendFiles() override {
        with([](AppModel& m) { m.pickAndSendFiles(); });
    }
    void sendClipboard() override {
        with([](AppModel& m) { m.sendClipboardNow(); });
    }
    void toggleRing() override {
        with([](AppModel& m) { m.toggleRing(); });
    }
    void disconnect() override {
        with([](AppModel& m) { m.disconnect(); });
    }
    void reveal(const std::filesystem::path& file) override {
        with([&](AppModel& m) { m.revealReceived(file); });
    }
    void open(const std::filesystem::path& file) override {
        with([&](AppModel& m) { m.openReceived(file); });
    }
    // The folder is not a file inside itself, so the model opens it through the desktop's workspace.
    void openFolder() override {
        with([](AppModel& m) { m.openReceived(m.downloadsDir()); });
    }

    InstallStatus installStatus() const override {
        const auto m = model_.lock();
        return m ? m->installer().status() : InstallStatus::idle();
    }
    bool cablePhonePresent() const override {
        const auto m = model_.lock();
        return m && !m->installer().cableDevices().empty();
    }
    void installUpdate() override {
        with([](AppModel& m) {
            const auto cable = m.installer().cableDevices();
            if (!cable.empty()) m.installer().install(cable.front());
        });
    }

  private:
    template <typename Work>
    void with(Work work) {
        if (const auto m = model_.lock()) work(*m);
    }

    std::weak_ptr<AppModel> model_;
};

}  // namespace

PanelBody* connectedBody(const std::shared_ptr<AppModel>& model) {
    return new ConnectedCard(std::make_shared<ModelCardActions>(model));
}

}  // namespace velmora
