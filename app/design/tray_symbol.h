#pragma once

#include <QByteArray>
#include <QColor>
#include <QString>
#include <optional>

#include "app/design/brand.h"

// The tray glyph as the tray host needs it. Three kinds of host:
// - an X11 system tray that tells its text colour: the glyph in that colour;
// - a StatusNotifierItem host on D-Bus: a symbolic icon of the desktop's theme, which the host recolours to
//   suit its panel, with the rimmed glyph as the pixels for hosts that do not find the name;
// - a host that tells nothing: the rimmed glyph, which reads on dark and light panels alike. The desktop's
//   own colour scheme says nothing about the panel: many panels are dark on a light desktop.
namespace velmora::TraySymbol {

// The ink for a tray whose text colour is `trayText` (absent: unknown).
Brand::TrayInk inkFor(const std::optional<QColor>& trayText);

// The symbolic icon's name in the icon theme, and its SVG: filled shapes in the grey symbolic icons are drawn
// in, which hosts replace by their panel's text colour.
QString themeName(bool connected);
QByteArray svg(bool connected);

// Writes both symbolic icons under `iconsRoot` ("<root>/hicolor/scalable/apps/<name>.svg"), leaving files
// that already hold the same bytes alone; returns whether both are in place.
bool install(const QString& iconsRoot);

}  // namespace velmora::TraySymbol
