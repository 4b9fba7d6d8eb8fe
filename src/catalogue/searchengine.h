#pragma once

#include "albumrows.h"

#include <QList>

class PlayList;
class SmartPlaylist;

// The search engine: three matchers over the rows of one album, each appending result
// rows to `out` (file type, source folder, file name, the album's id, user badge; the
// most-viewed query puts the view count before the badge). Every "contains" test is a
// case-insensitive substring test, and an empty value matches every row. Each looks at
// rows [from, to) only (to -1: the last row); tables only read may be searched from
// several threads at once.
namespace SearchEngine {

// The indexed matcher, by attribute number: 0 file name, 1 title, 3 category,
// 4 comment, 5 love ("3More", "5Equal", "2Less"), 6 every row, 7 every row with its
// view count, 8 persons. Other numbers match nothing.
void query(const AlbumRows &rows, const QString &kivDir, int attribute, const QString &value, AlbumRows &out,
           int from = 0, int to = -1);

// The named matcher: "Title", "Filename", "Love" (with "Equal To", "More Than",
// "Less Than"), "Category", "Comment", "All", "MostViewed", "Subject"; any other name
// searches titles.
void find(const AlbumRows &rows, const QString &kivDir, const QString &value, const QString &attribute,
          const QString &condition, AlbumRows &out, int from = 0, int to = -1);

// The full-text matcher: the value in any text of the row but its source folder.
void findText(const AlbumRows &rows, const QString &kivDir, const QString &value, AlbumRows &out, int from = 0,
              int to = -1);

// Fills a smart album from the album list's top-level albums, in list order: every
// one that is valid, not smart and not a year row is searched and the results joined.
// Large catalogues are searched on every core, or in `shares` parts at once when given.
// Returns false (and leaves the album as it was) when one of them is invalid.
bool fill(SmartPlaylist *album, const QList<PlayList *> &topLevel, int shares = 0);

} // namespace SearchEngine
