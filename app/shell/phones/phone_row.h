#pragma once

#include <QWidget>
#include <functional>

#include "app/shell/phones/phone_row_rules.h"

namespace velmora {

class RowButton;

// One row of the phone lists, drawn from its PhoneRowView; its one button reports the press, and the row
// holds nothing else. Main thread only.
class PhoneRow : public QWidget {
    Q_OBJECT
  public:
    PhoneRow(const PhoneRowView& view, std::function<void()> onPress, QWidget* parent = nullptr);
    RowButton* button() const { return button_; }
    const PhoneRowView& view() const { return view_; }

  private:
    PhoneRowView view_;
    RowButton* button_;
};

}  // namespace velmora
