#pragma once

#include <QIcon>
#include <QImage>
#include <QList>

// The program's own icon, drawn once as SVG (packaging/icons/org.vellaro.Vellaro.svg)
// and compiled into the program, so the window icon needs neither an installed file
// nor Qt's SVG icon-engine plugin: it is rendered here with QSvgRenderer.

// The sizes at which the icon is rendered, the same as the installed hicolor PNGs.
QList<int> vellaroAppIconSizes();

// The icon rendered at size x size pixels, transparent around the tile; a null image
// if the compiled-in SVG cannot be read (or size < 1).
QImage vellaroAppIconImage(int size);

// Any SVG file (or resource) rendered the same way, stretched to size x size; the
// build renders the installed PNGs with it. A null image if it cannot be read.
QImage vellaroRenderSvgIcon(const QString &svgFile, int size);

// The window icon: one pixmap for each of vellaroAppIconSizes().
QIcon vellaroAppIcon();
