#pragma once

// A panel over a model state the test writes, with every action recorded.
#include <QLineEdit>
#include <QScrollArea>
#include <QVBoxLayout>

#include "app/shell/panel/menu_panel.h"
#include "core/settings/memory_settings.h"
#include "design/widget_helpers.h"

namespace velmora::testing_support {

// A body with a text field and `rows` lines of 30 pixels, one per phone row, to type into and to grow.
class TypingBody : public PanelBody {
  public:
    explicit TypingBody(PanelState::Kind kind) : kind(kind) {
        auto* layout = new QVBoxLayout(this);
        layout->setContentsMargins(0, 0, 0, 0);
        field = new QLineEdit();
        layout->addWidget(field);
        filler = new QWidget();
        layout->addWidget(filler);
    }
    void refresh(const PanelView& view) override {
        ++refreshes;
        filler->setFixedHeight(30 * static_cast<int>(view.groups.size()));
    }
    PanelState::Kind kind;
    QLineEdit* field;
    QWidget* filler;
    int refreshes = 0;
};

struct PanelRig {
    PanelRig() {
        model.isPaired = [](const DiscoveredPhone&) { return false; };
        actions.sendFile = [this](const std::string& path) { calls.push_back("send " + path); };
        actions.terminate = [this] { calls.push_back("terminate"); };
        actions.confirmQuit = [this] {
            calls.push_back("ask");
            return confirm;
        };
        actions.restartBrowsing = [this] { calls.push_back("restart"); };
    }
    // Makes the panel in a shown window; `testBodies` puts TypingBody in place of the placeholders.
    MenuPanel& open(bool testBodies = false) {
        window = activeWindow({360, 700});
        BodyFactory bodies = placeholderBody;
        if (testBodies)
            bodies = [](PanelState::Kind kind, const PanelActions&) { return new TypingBody(kind); };
        panel = new MenuPanel([this] { return model; }, actions, settings, bodies, window.get());
        panel->show();
        settle(window.get());
        return *panel;
    }
    void update() {
        panel->refresh();
        settle(window.get());
    }
    TypingBody* body() const { return dynamic_cast<TypingBody*>(panel->body()); }

    PanelInputs model;
    PanelActions actions;
    MemorySettings settings;
    std::vector<std::string> calls;
    bool confirm = false;
    std::unique_ptr<QWidget> window;
    MenuPanel* panel = nullptr;
};

// What is wrong in the panel's scrolling middle: wrapped texts cut (see cutTexts), and parts narrower than
// their minimum, which make their layouts give every text below the height it needs at that wider width.
inline QStringList faultsInTheMiddle(MenuPanel& panel) {
    QWidget* middle = panel.scrollArea()->widget();
    QStringList faults = cutTexts(middle);
    for (auto* w : middle->findChildren<QWidget*>())
        if (w->isVisibleTo(middle) && QWidgetItem(w).minimumSize().width() > w->width())
            faults << QString("too wide: ") + w->metaObject()->className();
    return faults;
}

inline DiscoveredPhone testPhone(const std::string& id, const std::string& name) {
    DiscoveredPhone p;
    p.id = id;
    p.name = name;
    return p;
}

}  // namespace velmora::testing_support
