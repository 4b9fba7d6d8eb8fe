#pragma once

#include <QRgb>

// The toolkit's HSV round trip (QColor::getHsv, then setHsv with one component
// changed, then the RGB value back) computed eight pixels at a time. It repeats the
// toolkit's single-precision steps and roundings one for one, so every colour comes
// out bit for bit as through QColor, several times faster. Alpha is kept.
namespace HsvKernel {

// Saturation s becomes int(s * keep) (keep = 1 - the desaturation fraction).
void scaleSaturation(QRgb *pixels, int count, double keep);
// Value v becomes valueMap[v] (256 entries, each 0..255).
void mapValue(QRgb *pixels, int count, const int *valueMap);

} // namespace HsvKernel
