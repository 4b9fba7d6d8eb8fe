#pragma once

#include <QColor>
#include <QImage>

// The picture operations of the viewer, as free functions over QImage. Indexed pictures
// (depth 8 or less) change only their colour table; other pictures are worked on as
// 32-bit pixels. Every operation leaves an empty picture alone. Diagnostics go to the
// warning output, never to the user.
namespace ImageEffects {

// Brighten by the fraction p (p >= 0) or darken by |p|, per channel.
void intensity(QImage &image, float p);
// A vertical gradient toward `target`, starting at intensity i0 on the first row and
// reaching the full colour on the last.
void blend(QImage &image, const QColor &target, float i0);
// Moves every channel the fraction v of the way toward `target`.
void fade(QImage &image, const QColor &target, double v);
// Black and white: y = (11 r + 16 g + 5 b) / 32.
void grey(QImage &image);
// Scales the HSV saturation by (1 - d).
void desaturate(QImage &image, float d);
// The contrast curve on the HSV value; sign +1 sharpens, -1 softens.
void contrast(QImage &image, int sign = 1);
// Stretches the intensity range between the 1 % bins to 0..254.
void normalize(QImage &image);
// Spreads the intensities by their cumulative histogram.
void equalize(QImage &image);
// The 3 x 3 edge filter; a new 32-bit picture.
QImage edge(const QImage &image, double factor);
// Impulse noise: each channel turns 0 or 255 with about 5 % probability each; a new
// 32-bit picture.
QImage noise(const QImage &image);
// Left to right.
void mirror(QImage &image);
void rotateClockwise(QImage &image);
void rotateCounterClockwise(QImage &image);
// Scales smoothly to at most `width` pixels wide, keeping the aspect ratio.
void reduce(QImage &image, int width);
// Lets the process reuse large picture buffers instead of mapping new memory for each
// effect; called once at start by the programs.
void keepLargeBuffers();
// Fits a picture into a view: the size the viewer draws it at (never enlarged).
QSize fittedSize(const QSize &picture, const QSize &view);

} // namespace ImageEffects
