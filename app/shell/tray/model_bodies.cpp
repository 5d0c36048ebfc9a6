#include "app/shell/tray/model_bodies.h"

#include <QVBoxLayout>

#include "app/model/app_model.h"
#include "app/shell/card/connected_card.h"
#include "app/shell/installer/phone_install_section.h"
#include "app/shell/phones/phone_list_body.h"

namespace velmora {

namespace {

bool explicitlyHidden(const QWidget* w) {
    return w->testAttribute(Qt::WA_WState_ExplicitShowHide) && w->testAttribute(Qt::WA_WState_Hidden);
}

// A phone-list body in the panel frame: each refresh hands the list fresh values, and the list redraws only
// what changed, so a row under the pointer or an open section survives the heartbeat.
class ListPanelBody : public PanelBody {
  public:
    ListPanelBody(ListBody kind, const PhoneListHost& host) : kind_(kind), host_(host) {
        auto* layout = new QVBoxLayout(this);
        layout->setContentsMargins(0, 0, 0, 0);
        list_ =
            new PhoneListBody(host.actions, [this](bool adbMissing) { return installSection(adbMissing); });
        layout->addWidget(list_);
    }

    void refresh(const PanelView& view) override {
        const auto model = host_.model.lock();
        const bool adbMissing = model ? !model->installer().adbPath() : host_.adbMissing;
        list_->present(
            phoneListValues(kind_, view.inputs.state, listedPhones(view.groups), host_.queries, adbMissing));
        // The model tells of each installer change through this refresh.
        if (auto* section = qobject_cast<PhoneInstallSection*>(list_->installSection())) section->follow();
        // Parts the list just made show now, so that the frame's height that follows counts them; a part
        // that hid itself (an install section with nothing to say) stays hidden and takes no room.
        for (auto* part : list_->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
            if (!explicitlyHidden(part)) part->show();
    }

  private:
    // The companion-app installer's section over the model's installer; the how-to stays folded (no body
    // that shows the section is one where nothing at all was found).
    QWidget* installSection(bool adbMissing) const {
        const auto model = host_.model.lock();
        if (!model) return new QWidget;
        auto* section = new PhoneInstallSection(model->installer());
        section->setAdbMissing(adbMissing);
        return section;
    }

    ListBody kind_;
    const PhoneListHost& host_;
    PhoneListBody* list_;
};

}  // namespace

PhoneQueries modelQueries(std::weak_ptr<AppModel> model) {
    return {[model](const DiscoveredPhone& phone) {
                const auto m = model.lock();
                return m && m->isPaired(phone);
            },
            [model](const DiscoveredPhone& phone) -> std::optional<bool> {
                const auto m = model.lock();
                return m ? m->pairFlag(phone) : std::nullopt;
            }};
}

std::optional<ListBody> listBodyFor(PanelState::Kind kind) {
    using K = PanelState::Kind;
    switch (kind) {
        case K::empty:
            return ListBody::empty;
        case K::found:
            return ListBody::found;
        case K::connecting:
            return ListBody::connecting;
        case K::lost:
            return ListBody::lost;
        case K::bluetoothOff:
            return ListBody::bluetoothOff;
        case K::localDenied:
            return ListBody::localDenied;
        case K::connected:
            break;
    }
    return std::nullopt;
}

std::vector<ListedPhone> listedPhones(const std::vector<PhoneGroup>& groups) {
    std::vector<ListedPhone> listed;
    listed.reserve(groups.size());
    for (const auto& group : groups)
        listed.push_back({group.id, group.best, group.paired});
    return listed;
}

BodyFactory modelBodies(PhoneListHost host) {
    auto shared = std::make_shared<PhoneListHost>(std::move(host));
    return [shared](PanelState::Kind kind, const PanelActions& actions) -> PanelBody* {
        if (const auto list = listBodyFor(kind)) return new ListPanelBody(*list, *shared);
        if (const auto model = shared->model.lock(); model && kind == PanelState::Kind::connected)
            return connectedBody(model);
        return placeholderBody(kind, actions);
    };
}

}  // namespace velmora
