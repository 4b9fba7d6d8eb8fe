#pragma once

#include <QImage>
#include <QList>
#include <QMargins>
#include <QRect>
#include <QSize>
#include <QString>
#include <QStringList>

class QPainter;
class AlbumRows;

// How pictures are laid on a printed page. Sizes and places are in the page device's
// own units (a printer in screen-resolution mode: 96 units to the inch); every division
// is an integer division, as the page was always laid out.
namespace PageComposition {

enum class Layout { OnePerPage = 0, TwoPerPage = 1, FourPerPage = 2, MiniatureSheet = 3 };
enum class Dimension { FullPage = 0, PreserveRatio = 1, NoChange = 2 };

// The miniature sheet: nine cells a row (nine cells and their gaps fill 99 % of the
// width), eight rows a page (a row is an eighth of the page high).
constexpr int SheetColumns = 9;
constexpr int SheetRows = 8;
// Margins of printed pages and of the big preview.
inline QMargins pageMargins() { return {8, 8, 8, 8}; }

int perPage(Layout layout);
// Pages the layout needs for `pictures` pictures (none for none).
int pageCount(Layout layout, int pictures);

// The box of the cell `index` (0-based, within one page) on a page of `page` units. Cells
// of two and four a page are 4 units taller than half the page, the second row starting
// 2 units above the middle; the margins shrink the cells and shift them from the page's
// top-left corner.
QRect cell(Layout layout, const QSize &page, const QMargins &margins, int index);

// Where a picture of `picture` pixels is drawn in `box`: stretched to the box, the
// largest size of its shape inside it, or its own size (clipped by the box), from the
// box's top-left corner.
QRect placement(const QSize &picture, const QRect &box, Dimension mode);

// One picture of a page: `image` may hold fewer pixels than the picture (a preview, a
// print at the page's resolution); `size` is the picture's own size. A picture that
// could not be read is null and leaves its cell blank.
struct Picture
{
    QImage image;
    QSize size;
    // False when `image` is the top-left part of the picture at its own size ("No
    // change" prints), true when it is the whole picture at some size.
    bool whole = true;
    bool isNull() const { return image.isNull() || !size.isValid(); }
};

// `path` read for a cell of `box` units: at `pixelsPerUnit` pixels a unit of the place it
// takes (never more than its own pixels), or for "No change" only the part the box
// shows, at its own size. Returns a null picture for what cannot be read.
Picture load(const QString &path, const QSize &box, Dimension mode, qreal pixelsPerUnit);
// `path` read to fit within `longest` pixels a side, for the previews.
Picture loadPreview(const QString &path, int longest);

// Paints one page on `painter` (already set up in page units): picture i in cell i, a
// null picture or a missing one leaving its cell blank. The page is white.
void paint(QPainter &painter, const QSize &page, Layout layout, Dimension mode, const QMargins &margins,
           const QList<Picture> &pictures);

// The pictures of `rows` that are photographs, in album order, as paths.
QStringList picturePaths(const AlbumRows &rows);

} // namespace PageComposition
