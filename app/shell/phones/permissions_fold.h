#pragma once

#include <QWidget>
#include <optional>

#include "app/shell/phones/permission_rules.h"

class QVBoxLayout;

namespace velmora {

class FoldBinding;
class FoldRow;
class PhoneListActions;

// The permissions fold row of the panel: the summary on the folded row, and the card of permission rows
// with the two notes under it. It starts open or closed by permissionsOpenByDefault until the user opens
// or closes it; from then on the user's choice holds for the life of the widget. present() redraws from new
// facts. Main thread only.
class PermissionsFold : public QWidget {
    Q_OBJECT
  public:
    explicit PermissionsFold(PhoneListActions& actions, QWidget* parent = nullptr);
    void present(const PermissionFacts& facts);
    FoldRow* row() const { return row_; }
    FoldBinding* binding() const { return binding_; }
    bool userChose() const { return userChose_; }

  private:
    QWidget* content(const std::vector<PermRowView>& rows, const std::vector<std::string>& notes);
    QWidget* permLine(const PermRowView& row);
    void act(PermAction action);
    void keepFocus(const FoldRow& old);

    PhoneListActions& actions_;
    FoldBinding* binding_;
    QVBoxLayout* layout_;
    FoldRow* row_ = nullptr;
    bool userChose_ = false;
    std::optional<PermissionFacts> shown_;
};

}  // namespace velmora
