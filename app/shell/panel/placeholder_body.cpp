#include <QVBoxLayout>

#include "app/design/text_block.h"
#include "app/design/theme.h"
#include "app/shell/logic/status_line.h"
#include "app/shell/panel/panel_body.h"

namespace velmora {
namespace {

// Shows the connecting label or the count of phones found; nothing for the other states.
class PlaceholderBody : public PanelBody {
  public:
    PlaceholderBody() {
        auto* layout = new QVBoxLayout(this);
        layout->setContentsMargins(0, 0, 0, 0);
        line_ = new TextBlock({}, design::font(12, QFont::Normal), SystemColor::secondary, true, this);
        layout->addWidget(line_);
    }

    void refresh(const PanelView& view) override {
        QString text;
        if (view.state.kind == PanelState::Kind::connecting) text = QString::fromStdString(view.state.label);
        for (const auto& group : view.groups)
            text += (text.isEmpty() ? "" : "\n") + QString::fromStdString(group.best.name);
        line_->setText(text);
        line_->setVisible(!text.isEmpty());
    }

  private:
    TextBlock* line_;
};

}  // namespace

PanelBody* placeholderBody(PanelState::Kind, const PanelActions&) {
    return new PlaceholderBody();
}

}  // namespace velmora
