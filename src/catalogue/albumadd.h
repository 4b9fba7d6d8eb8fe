#pragma once

#include "photoitem.h"

#include <QStringList>
#include <memory>
#include <vector>

class PlayList;
class Prompter;
class QWidget;

// Adding picture files to an album, as a drop or a file chooser does: each file gets
// its record (property file read, thumbnail made unless one exists), its row in the
// album, and the album file and the library index are written.
namespace AlbumAdd {

struct Result
{
    std::vector<std::unique_ptr<PhotoItem>> added;  // the new records, for the view to show
    int refused = 0;                                 // files refused, each with its message
    // Empty when the album file and the library index were written; else why not. The
    // album then stays dirty, `added` is empty and the rows added are taken out again.
    QString saveError;
};

// `paths` are local file names. Refusals (a missing file, a file that is no readable
// picture, a picture whose pixels cannot be decoded, being damaged or too large for
// Qt's image allocation limit, a name that cannot stand in an album row, a file name
// the album already has, a different file of that name in a dynamic album's folder)
// are told through `prompter` and the next file is handled. Every thumbnail is made
// from its picture. `duplicateText` replaces the message for a file name the album
// already has.
Result addFiles(PlayList *album, const QStringList &paths, bool fastThumbs, Prompter &prompter,
                QWidget *parent = nullptr, const QString &duplicateText = QString());

} // namespace AlbumAdd
