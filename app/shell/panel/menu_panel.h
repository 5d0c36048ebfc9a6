#pragma once

#include <QWidget>
#include <optional>
#include <vector>

#include "app/shell/logic/panel_sections.h"
#include "app/shell/logic/phone_groups.h"
#include "app/shell/panel/panel_body.h"
#include "app/shell/panel/panel_port.h"
#include "app/shell/panel/place_scroll_area.h"

class QVBoxLayout;

namespace velmora {

class DropOutline;
class FoldBinding;
class FoldRow;
class PanelFooter;
class PanelHeader;
class Settings;

// The content of the panel under the tray icon: the header with the status line, then, scrolling, the
// notices and the state's body, the preferences and permissions fold rows; then the footer. 360 wide and as
// tall as its content up to the maximum height, which it computes itself (the scroll area takes the rest).
//
// refresh() reads the state again and updates every part in place; the body is made anew only when the kind
// of state changes, and notices only when their texts change, so the 3 s heartbeat disturbs no typed text,
// open fold, hover or focus; the scrolling middle keeps the person's place while a part above it changes.
// Files dropped on the panel while connected are sent one call per file.
// Main thread only.
class MenuPanel : public QWidget {
    Q_OBJECT
  public:
    // Replaces the computed maximum height (the snapshot tool sets it).
    static inline std::optional<double> maxHeightOverride;

    // `settings` keeps "prefsOpen" and outlives the panel; `bodies` makes the state bodies.
    MenuPanel(PanelReader read, PanelActions actions, Settings& settings,
              BodyFactory bodies = placeholderBody, QWidget* parent = nullptr);
    ~MenuPanel() override;

    // The quit rule: while mirroring, only after the user confirms; then the application ends.
    static void quit(bool mirroring, const PanelActions& actions);

    const PanelState& state() const { return state_; }
    const std::vector<PhoneGroup>& groups() const { return groups_; }
    const std::vector<PanelSection>& sections() const { return sections_; }
    PanelHeader* header() const { return header_; }
    PanelFooter* footer() const { return footer_; }
    PanelBody* body() const { return body_; }
    FoldRow* prefsRow() const { return prefsRow_; }
    QScrollArea* scrollArea() const { return scroll_; }
    // Where the preferences section puts its content.
    QWidget* prefsContent() const { return prefsContent_; }
    // Puts `fold` (the permissions section, which keeps its own fold row and open-by-default rule) under the
    // preferences row.
    void hostPermissions(QWidget* fold);
    bool dropping() const { return dropping_; }
    // Whether the panel fills its rectangle with the window colour (a host window that paints its own
    // rounded plate turns this off).
    void setPaintsBackground(bool paints) { paintsBackground_ = paints; }
    double maxHeight() const;
    // The height of everything at the panel's width, before the maximum applies.
    int contentHeight() const;

  public slots:
    void refresh();

  signals:
    // The panel took a new height (the host window follows).
    void heightChanged(int height);
    // A drag of files the panel would take came over it, or left it (dropped, or moved away).
    void droppingChanged(bool dropping);

  protected:
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragLeaveEvent(QDragLeaveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

  private:
    QWidget* buildFolds();
    void showSections(const std::vector<PanelSection>& sections);
    QWidget* noticeFor(const PanelSection& section);
    void setDropping(bool dropping);
    void fitHeight();

    PanelReader read_;
    PanelActions actions_;
    Settings& settings_;
    BodyFactory bodies_;

    PanelInputs inputs_;
    PanelState state_;
    std::vector<PhoneGroup> groups_;
    std::vector<PanelSection> sections_;

    PanelHeader* header_;
    PlaceScrollArea* scroll_;
    QWidget* scrollContent_;
    QVBoxLayout* stateArea_;
    QWidget* topNotices_;
    QWidget* errorNotice_;
    PanelBody* body_ = nullptr;
    PanelState::Kind bodyKind_ = PanelState::Kind::empty;
    FoldBinding* prefsOpen_;
    FoldRow* prefsRow_ = nullptr;
    QWidget* prefsContent_ = nullptr;
    PanelFooter* footer_;
    DropOutline* outline_;
    bool dropping_ = false;
    bool fitting_ = false;
    bool paintsBackground_ = true;
};

}  // namespace velmora
