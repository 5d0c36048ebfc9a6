#pragma once

#include <QWidget>

namespace velmora {

class PairingModel;
class PrimaryButton;
class SecondaryButton;
class TextBlock;

// The pairing dialog's content, 380 wide: the icon, "Pair with <phone>?", the instruction, the code as six
// boxes in two groups of three (or as received when it is not six digits), the validity countdown, the
// mismatch warning and the buttons. Once the code expired the texts turn to the error colour, the boxes dim
// and one Close button is left. Return answers no (Cancel, later Close, is the default); Escape answers no
// while the code is valid. Main thread only; `model` must outlive the view.
class PairingView : public QWidget {
    Q_OBJECT
  public:
    explicit PairingView(PairingModel& model, QWidget* parent = nullptr);

    PrimaryButton* confirmButton() const { return confirm_; }

  protected:
    void keyPressEvent(QKeyEvent* event) override;

  private:
    void refresh();

    PairingModel& model_;
    QWidget* instruction_;
    QWidget* expiredText_;
    QWidget* warning_;
    TextBlock* validity_;
    TextBlock* expiredTimer_;
    QWidget* code_;
    SecondaryButton* cancel_;
    PrimaryButton* confirm_;
    PrimaryButton* close_;
};

}  // namespace velmora
