#pragma once

#include <QList>
#include <QString>

#include <functional>

class KivViewItem;
class LibraryIndex;
class PlayList;

// Changes that write more than one file, done so that a failure never leaves the files
// disagreeing: when a later write fails, the earlier ones are put back. Each returns an
// empty text on success, else the sentence to tell the user; nothing is reported as
// written that was not.
namespace CatalogueSave {

// The album file, then the library index with the album's row. When the index cannot
// be written the album file is put back and the album stays dirty, so the next change
// writes it again. A damaged index refuses at once: nothing is written.
QString albumAndIndex(PlayList *album, LibraryIndex *library);

// Told after each property file of a long change is staged (Staging, done of total),
// then again (done equal to total) after each album and the index are staged and just
// before the writing begins; false cancels the change before anything is written. Then, while the disk takes the
// files, told again and again how many of the change's files (the albums and the index
// among them) hold their new version (Writing): past that point the answer is not
// asked for. A change cancelled or failed before that is told, the same way, how many
// of its staged files are removed again (Dropping).
enum class Stage { Staging, Writing, Dropping };
using Progress = std::function<bool(Stage stage, qsizetype done, qsizetype total)>;

// The property files of `records`, then the rows of `albums` (already updated by the
// caller) and the library index. When an album cannot be written, the property files
// and the albums written before it are put back. A damaged index refuses at once.
// Several property files are written as one batch (CatalogueFile::Batch): a failure
// while they are staged, or a cancel through `progress`, changes no file; a cancel
// returns an empty text and sets *cancelled.
QString propertiesAndAlbums(const QList<const KivViewItem *> &records, const QList<PlayList *> &albums,
                            LibraryIndex *library, const Progress &progress = {}, bool *cancelled = nullptr);

// Pictures just added to `album` with tags of their own (read from the pictures): their
// property files are staged, then the album file and the index are written, then the
// property files take their names. A kill between leaves the pictures in the album with
// the tags their rows hold and no property file, which is a whole catalogue; property
// files first would belong to no picture of the album. A full disk while staging
// changes nothing; when the names cannot be taken, the album file and the index are put
// back.
QString albumThenProperties(PlayList *album, const QList<const KivViewItem *> &records, LibraryIndex *library);

// Whether a change that lets the window answer while it runs (its progress shows) is
// under way: changes made on their own (a timer's, a thread's result) wait until it ends.
bool changeRunning();

// Why the library index could not be written (damaged, or the write's own reason).
QString indexFailure(const LibraryIndex *library);

// A failure sentence with what the user can do about it.
QString message(const QString &detail);

} // namespace CatalogueSave
