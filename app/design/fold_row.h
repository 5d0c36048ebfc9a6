#pragma once

#include <QObject>
#include <QPointer>
#include <QWidget>
#include <optional>

#include "app/design/palette.h"

class QVariantAnimation;

namespace velmora {

class KeyFocusRing;

// The expanded state of a fold row, owned by whoever decides it: the caller, or an ExpanderText for itself.
// Setting it from outside folds or unfolds every row bound to it. Main thread only.
class FoldBinding : public QObject {
    Q_OBJECT
  public:
    explicit FoldBinding(bool expanded = false, QObject* parent = nullptr);

    bool isExpanded() const { return expanded_; }
    void setExpanded(bool expanded);
    void toggle() { setExpanded(!expanded_); }

  signals:
    void expandedChanged(bool expanded);

  private:
    bool expanded_;
};

// The clickable header of a fold row: chevron, title, and at the trailing end an optional status dot and
// summary. The whole rectangle takes clicks (and Space or Enter with focus); the pointer over it shows a
// neutral fill. A plain widget rather than a Qt button, so that assistive tools get the row's state as its
// value.
class FoldHeader : public QWidget {
    Q_OBJECT
  public:
    FoldHeader(const QString& title, const std::optional<QString>& summary,
               const std::optional<DynColor>& dot, QWidget* parent = nullptr);

    bool isHovered() const { return hovered_; }
    // The chevron's turn in degrees: 0 collapsed, 90 expanded.
    double chevronAngle() const { return chevronAngle_; }
    void setChevronAngle(double degrees);
    // Replaces the trailing summary (a section's count changed).
    void setSummary(const std::optional<QString>& summary);
    KeyFocusRing* focusRing() const { return ring_; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

  public slots:
    void click() { emit clicked(); }

  signals:
    void clicked();

  protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

  private:
    bool pressed_ = false;
    QString title_;
    std::optional<QString> summary_;
    std::optional<DynColor> dot_;
    bool hovered_ = false;
    double chevronAngle_ = 0;
    KeyFocusRing* ring_;
};

// A disclosure row: a full-width header that shows or hides `content` below it. The expanded state belongs to
// the binding; a click on the header toggles it once, the chevron turns a quarter with a 0.15 s ease-out and
// the content fades in. Main thread only.
class FoldRow : public QWidget {
    Q_OBJECT
  public:
    FoldRow(const QString& title, const std::optional<QString>& summary,
            const std::optional<DynColor>& summaryDot, FoldBinding* binding, QWidget* content,
            QWidget* parent = nullptr);

    FoldHeader* header() const { return header_; }
    QWidget* content() const { return content_; }
    FoldBinding* binding() const { return binding_; }

  private:
    void apply(bool expanded, bool animated);

    FoldHeader* header_;
    QPointer<QWidget> content_;
    QPointer<FoldBinding> binding_;
    QVariantAnimation* turn_;
};

// A fold row with no summary that keeps its own expanded state (starting collapsed), unless the caller gives
// a binding of its own, which then decides.
class ExpanderText : public QWidget {
    Q_OBJECT
  public:
    ExpanderText(const QString& title, QWidget* content, FoldBinding* external = nullptr,
                 QWidget* parent = nullptr);

    FoldRow* row() const { return row_; }

  private:
    FoldRow* row_;
};

}  // namespace velmora
