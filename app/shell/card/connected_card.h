#pragma once

#include <memory>
#include <optional>

#include "app/shell/card/card_rules.h"
#include "app/shell/panel/panel_body.h"

class QVBoxLayout;

namespace velmora {

class ActionTile;
class AppModel;
class BatteryGlyph;
class CardActions;
class DropArea;
class StatusDot;
class SymbolView;
class TextBlock;

// The panel's body while a phone is connected: the phone card, the card's notices, the mirror button, the
// three tiles, the drop area, the received files and the disconnect link, drawn from CardValues. The card
// is built once and updated in place: the round-trip time, the battery and the titles change their texts
// and nothing else, so hover, keyboard focus and a click whose press and release straddle an update all
// survive; only the notices and the received list are made anew, and only when they change. Every press
// goes to `actions`. Main thread only.
class ConnectedCard : public PanelBody {
    Q_OBJECT
  public:
    explicit ConnectedCard(std::shared_ptr<CardActions> actions, QWidget* parent = nullptr);
    void refresh(const PanelView& view) override;
    const std::optional<CardValues>& shown() const { return shown_; }
    DropArea* dropArea() const { return drop_; }

  private:
    void present(const CardValues& values);
    QWidget* phoneCard();
    void showPhone(const CardValues& v);
    void showNotices(const std::vector<CardNotice>& notices);
    QWidget* noticeFor(const CardNotice& notice);
    QWidget* updateActions(const CardNotice& notice);
    QWidget* mirrorButton();
    QWidget* tiles();
    QWidget* receivedSection();
    void showReceived(const std::vector<ReceivedRow>& received);
    QWidget* disconnectRow();

    std::shared_ptr<CardActions> actions_;
    QVBoxLayout* layout_;
    TextBlock* name_ = nullptr;
    StatusDot* linkDot_ = nullptr;
    TextBlock* linkLine_ = nullptr;
    QWidget* battery_ = nullptr;
    BatteryGlyph* batteryGlyph_ = nullptr;
    TextBlock* batteryText_ = nullptr;
    QWidget* notices_ = nullptr;  // holds the notices; hidden while there are none
    QWidget* mirror_ = nullptr;
    SymbolView* mirrorSymbol_ = nullptr;
    TextBlock* mirrorText_ = nullptr;
    ActionTile* ring_ = nullptr;
    DropArea* drop_ = nullptr;
    QWidget* receivedList_ = nullptr;  // the section label and the card of files; hidden while empty
    std::optional<CardValues> shown_;
};

// The connected body over the application's model; the model outlives the panel.
PanelBody* connectedBody(const std::shared_ptr<AppModel>& model);

}  // namespace velmora
