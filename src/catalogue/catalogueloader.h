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
// Loading reads and never writes. An album whose file is damaged, whose id or `KivDir`
// would lead out of the catalogue folder, or whose folder is a link out of it, is
// created invalid and its reason added to `problems`.
QList<PlayList *> load(QTreeWidget *list, const LibraryIndex &index, const CatalogueContext &context,
                       const QString &filter, Prompter *prompter = nullptr, QStringList *problems = nullptr);

// The album list's top-level albums, in list order.
QList<PlayList *> topLevelAlbums(const QTreeWidget *list);
// Every stored album of the list, those inside groups included, in list order: what
// smart albums and searches read. Smart albums, year rows and groups (which hold no
// rows) are left out.
QList<PlayList *> storedAlbums(const QTreeWidget *list);

// An invalid album is refused with the "Album non valid" warning: true when refused.
bool refuseInvalidAlbum(const PlayList *album, Prompter &prompter, QWidget *parent = nullptr);
// A smart album is refused while any stored album is invalid ("DataBase error").
bool refuseSmartAlbum(const QList<PlayList *> &albums, Prompter &prompter, QWidget *parent = nullptr);

} // namespace CatalogueLoader
