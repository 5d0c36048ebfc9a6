#include "app/design/kit_style.h"

#include <QApplication>
#include <QMenu>
#include <QPainter>
#include <QPainterPath>
#include <QPointer>
#include <QStyleFactory>
#include <QStyleOption>

#include "app/design/theme.h"

namespace velmora {

namespace {

// A colour of the kit for the appearance whose palette `palette` is: the window colour tells which.
QColor kit(const DynColor& color, const QPalette& palette) {
    return color.resolve(appearanceFromWindowColor(palette.color(QPalette::Window)));
}

QPainterPath rounded(const QRectF& r, double radius) {
    QPainterPath path;
    path.addRoundedRect(r, radius, radius);
    return path;
}

// The rounded shape as a region of whole pixels, for a window mask: a pixel is in when its centre is.
QRegion roundedRegion(const QRect& r, int radius) {
    return QRegion(rounded(QRectF(r), radius).toFillPolygon().toPolygon());
}

bool isTip(const QWidget* w) {
    return w && w->inherits("QTipLabel");
}

}  // namespace

KitStyle::KitStyle() : QProxyStyle(QStyleFactory::create(QStringLiteral("Fusion"))) {}

void KitStyle::polish(QWidget* widget) {
    QProxyStyle::polish(widget);
    if (qobject_cast<QMenu*>(widget)) widget->setFont(design::font(13, QFont::Normal));
    if (isTip(widget)) widget->setFont(design::font(12, QFont::Normal));
}

void KitStyle::drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* painter,
                             const QWidget* widget) const {
    const QPalette& pal = option->palette;
    switch (element) {
        case PE_PanelMenu:
        case PE_FrameMenu:
        case PE_PanelTipLabel: {
            if (element == PE_FrameMenu) return;  // the panel draws its own rim
            const double radius = element == PE_PanelTipLabel ? tipRadius : menuRadius;
            painter->save();
            painter->setRenderHint(QPainter::Antialiasing);
            const QColor fill =
                element == PE_PanelTipLabel ? pal.color(QPalette::ToolTipBase) : pal.color(QPalette::Window);
            painter->fillRect(option->rect, fill);  // the masked corners' few pixels match the plate
            QColor rim = kit(SystemColor::primary, pal);
            rim.setAlphaF(0.22f);
            painter->setPen(QPen(rim, 1));
            painter->setBrush(Qt::NoBrush);
            painter->drawPath(rounded(QRectF(option->rect).adjusted(0.5, 0.5, -0.5, -0.5), radius));
            painter->restore();
            return;
        }
        case PE_PanelLineEdit: {
            const auto* frame = qstyleoption_cast<const QStyleOptionFrame*>(option);
            if (frame && frame->lineWidth == 0) {  // a frameless field sits on a plate its host draws
                painter->fillRect(option->rect, pal.color(QPalette::Base));
                return;
            }
            painter->save();
            painter->setRenderHint(QPainter::Antialiasing);
            const QRectF r = QRectF(option->rect).adjusted(0.5, 0.5, -0.5, -0.5);
            QColor base = pal.color(QPalette::Base);
            if (base.alpha() == 0) base = kit(DS::fill, pal);
            painter->setBrush(base);
            const bool focused = option->state & State_HasFocus;
            QColor rim = focused ? kit(DS::accent, pal) : kit(SystemColor::primary, pal);
            if (!focused) rim.setAlphaF(0.18f);
            painter->setPen(QPen(rim, focused ? 1.5 : 1));
            painter->drawPath(rounded(r, fieldRadius));
            painter->restore();
            return;
        }
        case PE_FrameLineEdit:
            return;  // drawn with the panel above
        default:
            QProxyStyle::drawPrimitive(element, option, painter, widget);
    }
}

void KitStyle::drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
                           const QWidget* widget) const {
    const auto* item = qstyleoption_cast<const QStyleOptionMenuItem*>(option);
    if (element == CE_MenuEmptyArea) return;
    if (element != CE_MenuItem || !item) return QProxyStyle::drawControl(element, option, painter, widget);
    const QPalette& pal = option->palette;
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    if (item->menuItemType == QStyleOptionMenuItem::Separator) {
        QColor line = kit(SystemColor::primary, pal);
        line.setAlphaF(0.12f);
        const int y = option->rect.center().y();
        painter->fillRect(QRect(option->rect.left() + 8, y, option->rect.width() - 16, 1), line);
        painter->restore();
        return;
    }
    const bool enabled = item->state & State_Enabled;
    const bool selected = enabled && (item->state & State_Selected);
    const QRectF plate = QRectF(option->rect).adjusted(4, 1, -4, -1);
    if (selected) {
        painter->setPen(Qt::NoPen);
        // The deeper accent in both looks: white text on the dark look's lighter accent falls short of 4.5:1.
        painter->setBrush(DS::accent.resolve(Appearance::light));
        painter->drawPath(rounded(plate, 5));
    }
    QColor text =
        selected ? QColor(Qt::white) : kit(enabled ? SystemColor::primary : SystemColor::secondary, pal);
    painter->setPen(text);
    painter->setFont(item->font);
    const QStringList parts = item->text.split(QLatin1Char('\t'));
    const QRect textArea = option->rect.adjusted(14, 0, -14, 0);
    painter->drawText(textArea, Qt::AlignVCenter | Qt::AlignLeft | Qt::TextShowMnemonic, parts.value(0));
    if (parts.size() > 1) painter->drawText(textArea, Qt::AlignVCenter | Qt::AlignRight, parts.value(1));
    painter->restore();
}

void KitStyle::drawComplexControl(ComplexControl control, const QStyleOptionComplex* option,
                                  QPainter* painter, const QWidget* widget) const {
    const auto* bar = qstyleoption_cast<const QStyleOptionSlider*>(option);
    if (control != CC_ScrollBar || !bar)
        return QProxyStyle::drawComplexControl(control, option, painter, widget);
    const QRect slider = subControlRect(control, option, SC_ScrollBarSlider, widget);
    if (bar->minimum == bar->maximum || slider.isEmpty()) return;
    const bool active = (bar->activeSubControls & SC_ScrollBarSlider) || (bar->state & State_Sunken);
    QColor handle = kit(SystemColor::primary, bar->palette);
    handle.setAlphaF(active ? 0.55f : 0.32f);
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    painter->setPen(Qt::NoPen);
    painter->setBrush(handle);
    const bool horizontal = bar->orientation == Qt::Horizontal;
    const QRectF r =
        horizontal ? QRectF(slider).adjusted(2, 2.5, -2, -2.5) : QRectF(slider).adjusted(2.5, 2, -2.5, -2);
    const double radius = (horizontal ? r.height() : r.width()) / 2;
    painter->drawPath(rounded(r, radius));
    painter->restore();
}

QRect KitStyle::subControlRect(ComplexControl control, const QStyleOptionComplex* option, SubControl sub,
                               const QWidget* widget) const {
    const auto* bar = qstyleoption_cast<const QStyleOptionSlider*>(option);
    if (control != CC_ScrollBar || !bar) return QProxyStyle::subControlRect(control, option, sub, widget);
    // No arrow buttons: the groove is the whole bar and the handle's length is the visible share of it.
    const QRect r = bar->rect;
    const bool horizontal = bar->orientation == Qt::Horizontal;
    const int length = horizontal ? r.width() : r.height();
    const qint64 range = qint64(bar->maximum) - bar->minimum;
    int handle = length;
    if (range > 0) {
        handle = int(qint64(bar->pageStep) * length / (range + bar->pageStep));
        handle = std::clamp(handle, std::min(length, 28), length);
    }
    const int start = sliderPositionFromValue(bar->minimum, bar->maximum, bar->sliderPosition,
                                              length - handle, bar->upsideDown);
    auto span = [&](int from, int size) {
        return horizontal ? QRect(r.x() + from, r.y(), size, r.height())
                          : QRect(r.x(), r.y() + from, r.width(), size);
    };
    QRect out;
    switch (sub) {
        case SC_ScrollBarGroove:
            out = r;
            break;
        case SC_ScrollBarSlider:
            out = span(start, handle);
            break;
        case SC_ScrollBarSubPage:
            out = span(0, start);
            break;
        case SC_ScrollBarAddPage:
            out = span(start + handle, length - start - handle);
            break;
        default:
            return {};  // SubLine, AddLine, First, Last: none
    }
    return visualRect(bar->direction, r, out);
}

QRect KitStyle::subElementRect(SubElement element, const QStyleOption* option, const QWidget* widget) const {
    const QRect r = QProxyStyle::subElementRect(element, option, widget);
    // The text keeps clear of the field's rounded rim.
    return element == SE_LineEditContents ? r.adjusted(6, 0, -6, 0) : r;
}

int KitStyle::pixelMetric(PixelMetric metric, const QStyleOption* option, const QWidget* widget) const {
    switch (metric) {
        case PM_ScrollBarExtent:
            return scrollBarWidth;
        case PM_ScrollBarSliderMin:
            return 28;
        case PM_MenuPanelWidth:
            return 1;
        case PM_MenuHMargin:
            return 0;
        case PM_MenuVMargin:
            return 5;
        case PM_ToolTipLabelFrameWidth:
            return 6;
        case PM_SubMenuOverlap:
            return 0;
        default:
            return QProxyStyle::pixelMetric(metric, option, widget);
    }
}

QSize KitStyle::sizeFromContents(ContentsType type, const QStyleOption* option, const QSize& size,
                                 const QWidget* widget) const {
    const auto* item = qstyleoption_cast<const QStyleOptionMenuItem*>(option);
    if (type == CT_MenuItem && item) {
        if (item->menuItemType == QStyleOptionMenuItem::Separator) return {size.width(), 9};
        const QFontMetrics metrics(item->font);
        const QStringList parts = item->text.split(QLatin1Char('\t'));
        int width = 28 + metrics.horizontalAdvance(parts.value(0));
        if (parts.size() > 1) width += 24 + metrics.horizontalAdvance(parts.value(1));
        return {std::max(width, 160), std::max(26, metrics.height() + 10)};
    }
    if (type == CT_LineEdit) {
        const QSize base = QProxyStyle::sizeFromContents(type, option, size, widget);
        return {base.width(), std::max(base.height(), 30)};
    }
    return QProxyStyle::sizeFromContents(type, option, size, widget);
}

int KitStyle::styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                        QStyleHintReturn* returnData) const {
    // Rounded menus and tooltips are cut to their shape: an opaque window with a mask needs no compositor.
    if ((hint == SH_Menu_Mask || hint == SH_ToolTip_Mask) && option) {
        if (auto* mask = qstyleoption_cast<QStyleHintReturnMask*>(returnData)) {
            mask->region = roundedRegion(option->rect, hint == SH_Menu_Mask ? menuRadius : tipRadius);
            return 1;
        }
    }
    if (hint == SH_ScrollBar_Transient) return 0;  // the handle always shows: it is the cue that more follows
    return QProxyStyle::styleHint(hint, option, widget, returnData);
}

QPalette kitPalette(Appearance appearance) {
    auto c = [appearance](const DynColor& color) { return color.resolve(appearance); };
    const bool dark = appearance == Appearance::dark;
    const QColor window = c(SystemColor::window);
    const QColor text = c(SystemColor::solidPrimary);
    QPalette palette(window);
    for (auto group : {QPalette::Active, QPalette::Inactive}) {
        palette.setColor(group, QPalette::WindowText, c(SystemColor::primary));
        palette.setColor(group, QPalette::Text, c(SystemColor::primary));
        palette.setColor(group, QPalette::ButtonText, c(SystemColor::primary));
    }
    palette.setColor(QPalette::Disabled, QPalette::WindowText, c(SystemColor::secondary));
    palette.setColor(QPalette::Disabled, QPalette::Text, c(SystemColor::secondary));
    palette.setColor(QPalette::Disabled, QPalette::ButtonText, c(SystemColor::secondary));
    palette.setColor(QPalette::Base, dark ? QColor(0x2a, 0x2a, 0x2c) : QColor(0xff, 0xff, 0xff));
    palette.setColor(QPalette::AlternateBase, dark ? QColor(0x32, 0x32, 0x35) : QColor(0xf5, 0xf5, 0xf7));
    palette.setColor(QPalette::Button, dark ? QColor(0x3a, 0x3a, 0x3d) : QColor(0xf6, 0xf6, 0xf6));
    palette.setColor(QPalette::Highlight, DS::accent.resolve(Appearance::light));  // under white text
    palette.setColor(QPalette::HighlightedText, Qt::white);
    palette.setColor(QPalette::Link, c(DS::accentText));
    palette.setColor(QPalette::PlaceholderText, c(SystemColor::secondary));
    palette.setColor(QPalette::ToolTipBase, dark ? QColor(0x2c, 0x2c, 0x30) : QColor(0xfb, 0xfb, 0xfc));
    palette.setColor(QPalette::ToolTipText, text);
    return palette;
}

QStyle* kitStyle() {
    static QPointer<KitStyle> style;
    if (!style) {
        style = new KitStyle;
        style->setParent(QCoreApplication::instance());
    }
    return style;
}

void installKitStyle(QApplication& app) {
    QApplication::setStyle(new KitStyle);
    auto apply = [] { QApplication::setPalette(kitPalette(design::appearance())); };
    apply();
    QObject::connect(&AppearanceSource::instance(), &AppearanceSource::changed, &app, apply);
}

}  // namespace velmora
