#pragma once

#include <QPalette>
#include <QProxyStyle>

#include "app/design/appearance.h"

class QApplication;

namespace velmora {

// The kit's look for the stock Qt parts the application shows: menus, tooltips, scroll bars and line
// edits, drawn with the kit's palette, radii and type in either appearance, over Qt's Fusion style. Menus and
// tooltips are masked to their rounded shape, so no compositor is needed for their corners; scroll bars
// are a slim rounded handle on a clear track, always visible where a view scrolls.
//
// Main thread only, like every style.
class KitStyle : public QProxyStyle {
    Q_OBJECT
  public:
    static constexpr int menuRadius = 8;
    static constexpr int tipRadius = 6;
    static constexpr int fieldRadius = 7;
    static constexpr int scrollBarWidth = 10;

    KitStyle();

    void polish(QWidget* widget) override;
    using QProxyStyle::polish;
    void drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* painter,
                       const QWidget* widget) const override;
    void drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
                     const QWidget* widget) const override;
    void drawComplexControl(ComplexControl control, const QStyleOptionComplex* option, QPainter* painter,
                            const QWidget* widget) const override;
    QRect subControlRect(ComplexControl control, const QStyleOptionComplex* option, SubControl sub,
                         const QWidget* widget) const override;
    QRect subElementRect(SubElement element, const QStyleOption* option,
                         const QWidget* widget) const override;
    int pixelMetric(PixelMetric metric, const QStyleOption* option, const QWidget* widget) const override;
    QSize sizeFromContents(ContentsType type, const QStyleOption* option, const QSize& size,
                           const QWidget* widget) const override;
    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                  QStyleHintReturn* returnData) const override;
};

// The application palette of the kit in one appearance: window, text, base, highlight and tooltip colours.
QPalette kitPalette(Appearance appearance);

// One KitStyle for widgets that take it on their own (the application keeps it; widgets do not own styles).
QStyle* kitStyle();

// Gives the application the kit's style and the palette of the current appearance, and the palette again
// whenever the appearance changes.
void installKitStyle(QApplication& app);

}  // namespace velmora
