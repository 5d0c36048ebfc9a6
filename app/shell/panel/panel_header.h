#pragma once

#include <QWidget>

#include "app/design/palette.h"
#include "app/shell/logic/status_line.h"

namespace velmora {

class TextBlock;

// The panel's top row: the application icon, the product name, and the status line with its dot. Assistive
// tools read it as one element named by the product and the status.
class PanelHeader : public QWidget {
    Q_OBJECT
  public:
    explicit PanelHeader(QWidget* parent = nullptr);

    void setStatus(const QString& text, StatusTone tone);
    QString statusText() const;
    StatusTone statusTone() const { return tone_; }

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    TextBlock* status_;
    StatusTone tone_ = StatusTone::dimmed;
    QRectF dot_;
};

// The kit's colour for a status tone.
DynColor statusColor(StatusTone tone);

}  // namespace velmora
