#pragma once

#include <QAbstractButton>
#include <QPointer>
#include <functional>

#include "app/design/button_look.h"

namespace velmora {

class KeyFocusRing;
class OutsideDecoration;

// A push button painted by the kit from a ButtonLook. The whole rectangle takes clicks; its disabled look
// follows Qt's enabled state of the widget tree (a disabled ancestor disables it), never a caller's flag.
// Main thread only.
class StyledButton : public QAbstractButton {
    Q_OBJECT
  public:
    using LookFor = std::function<ButtonLook(bool enabled, bool pressed)>;

    StyledButton(const QString& text, LookFor lookFor, QWidget* parent = nullptr);
    ~StyledButton() override;

    // The look for the button's present state.
    ButtonLook currentLook() const;
    // The plate's rectangle; the shadow and the focus ring lie outside it.
    QRectF plateRect() const { return QRectF(rect()); }
    KeyFocusRing* focusRing() const { return ring_; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

  protected:
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;

  private:
    void applyLook();

    LookFor lookFor_;
    KeyFocusRing* ring_ = nullptr;
    QPointer<OutsideDecoration> shadow_;
};

class PrimaryButton : public StyledButton {
    Q_OBJECT
  public:
    explicit PrimaryButton(const QString& text, bool tall = false, QWidget* parent = nullptr);
};

class SecondaryButton : public StyledButton {
    Q_OBJECT
  public:
    SecondaryButton(const QString& text, double height, bool fullWidth, QWidget* parent = nullptr);
};

class RowButton : public StyledButton {
    Q_OBJECT
  public:
    RowButton(const QString& text, RowButtonStyle::Kind kind, QWidget* parent = nullptr);
};

}  // namespace velmora
