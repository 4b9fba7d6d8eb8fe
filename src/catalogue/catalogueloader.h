#pragma once

#include <QList>
#include <QString>

class LibraryIndex;
class PlayList;
class Prompter;
class QTreeWidget;
class QWidget;
struct CatalogueContext;

// Rebuilds the stored albums from the library index into an album list, and the two
// refusals the window gives for broken albums.
namespace CatalogueLoader {

// Clears `list` and creates every plain album, dynamic album and group of the index in
// index order, keeping those whose content kind passes `filter` ("media" passes all).
// Returns the albums created. An empty filter loads nothing and shows the database
// warning through `prompter`.
QList<PlayList *> load(QTreeWidget *list, const LibraryIndex &index, const CatalogueContext &context,
                       const QString &filter, Prompter *prompter = nullptr);

// The album list's top-level albums, in list order.
QList<PlayList *> topLevelAlbums(const QTreeWidget *list);

// An invalid album is refused with the "Album non valid" warning: true when refused.
bool refuseInvalidAlbum(const PlayList *album, Prompter &prompter, QWidget *parent = nullptr);
// A smart album is refused while any top-level album is invalid ("DataBase error").
bool refuseSmartAlbum(const QList<PlayList *> &topLevel, Prompter &prompter, QWidget *parent = nullptr);

} // namespace CatalogueLoader
