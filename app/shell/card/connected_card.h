#pragma once

#include <memory>
#include <optional>

#include "app/shell/card/card_rules.h"
#include "app/shell/panel/panel_body.h"

class QVBoxLayout;

namespace velmora {

class AppModel;
class CardActions;
class DropArea;

// The panel's body while a phone is connected: the phone card, the card's notices, the mirror button, the
// three tiles, the drop area, the received files and the disconnect link, drawn from CardValues. A refresh
// that changes nothing keeps every widget (hover and focus survive the heartbeat); the drop area follows
// the frame's drag flag in place. Every press goes to `actions`. Main thread only.
class ConnectedCard : public PanelBody {
    Q_OBJECT
  public:
    explicit ConnectedCard(std::shared_ptr<CardActions> actions, QWidget* parent = nullptr);
    void refresh(const PanelView& view) override;
    const std::optional<CardValues>& shown() const { return shown_; }
    DropArea* dropArea() const { return drop_; }

  private:
    void present(const CardValues& values);
    QWidget* build(const CardValues& v);
    QWidget* phoneCard(const CardValues& v);
    QWidget* noticeFor(const CardNotice& notice);
    QWidget* updateActions(const CardNotice& notice);
    QWidget* mirrorButton(const CardValues& v);
    QWidget* tiles(const CardValues& v);
    QWidget* receivedSection(const CardValues& v);
    QWidget* disconnectRow();

    std::shared_ptr<CardActions> actions_;
    QVBoxLayout* layout_;
    QWidget* content_ = nullptr;
    DropArea* drop_ = nullptr;
    std::optional<CardValues> shown_;
};

// The connected body over the application's model; the model outlives the panel.
PanelBody* connectedBody(const std::shared_ptr<AppModel>& model);

}  // namespace velmora
