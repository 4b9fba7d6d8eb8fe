#pragma once

#include <QByteArray>
#include <QImage>
#include <QList>

// Writes GIF pictures (Qt reads GIF but cannot write it), over giflib.
// Colours: exact when the picture has at most 256 (an indexed picture keeps its own
// colour table); otherwise a median-cut palette of 256. Pixels less than half opaque
// become the transparent colour.
namespace GifWriter {

// One picture as a GIF file's bytes; empty on failure.
QByteArray encode(const QImage &image);

// An animation: every frame shown for `delayCentiseconds`, repeated for ever. Frames
// must all have the first frame's size. Empty on failure.
QByteArray encodeAnimation(const QList<QImage> &frames, int delayCentiseconds);

} // namespace GifWriter
