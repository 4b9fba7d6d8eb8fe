#pragma once

#include <QList>
#include <QString>
#include <QStringList>

class KivViewItem;
class LibraryIndex;
class PlayList;

// Renaming a picture file touches several files: the picture, its property file and
// thumbnail in every album that holds it, and those albums' files. Before the first
// of them changes, the rename is written down in a journal beside the library index;
// a rename cut short (a kill, a power cut) is finished from it by the next program
// that writes to the catalogue, so the albums never lose the picture they name.
namespace PictureRename {

struct Result
{
    bool renamed = false;
    QString message;  // why nothing was renamed, for the user; empty for a silent no-op
};

// Renames the picture of `record`, a picture of `album`, to `newName` in its folder.
// Every album of `stored` naming the same file (same folder, same name) follows; each
// keeps its own tags. `record` takes the new name. A refusal or a failure changes
// nothing (what was done is put back).
Result rename(KivViewItem *record, PlayList *album, const QList<PlayList *> &stored, const QString &newName,
              LibraryIndex *library);

// The journal of a rename under way.
QString journalPath(const QString &catalogueRoot);

struct Pending
{
    QString folder;  // the picture's folder
    QString from;    // its old name
    QString to;      // its new name
    QStringList albums;  // ids of the albums whose rows name it
    bool isValid() const { return !folder.isEmpty() && !from.isEmpty() && !to.isEmpty(); }
};

// The rename a journal tells of; not valid when there is none (or it cannot be read).
Pending pending(const QString &catalogueRoot);

// Finishes a rename cut short, with the catalogue's albums loaded: renames what is
// not renamed yet and writes the albums, then drops the journal. True when there was
// none or it is finished; else `why` says what stopped it (the journal stays).
bool finishInterrupted(const QString &catalogueRoot, const QList<PlayList *> &stored, LibraryIndex *library,
                       QString *why = nullptr);

} // namespace PictureRename
