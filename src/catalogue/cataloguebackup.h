#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <atomic>

// Snapshots of the catalogue (DataBase/ of the installation folder) as compressed tar
// archives, and putting one back. Thumbnails are left out: they are made again from
// the pictures when an album is shown.
namespace CatalogueBackup {

// How many automatic snapshots are kept, and how old the newest may grow before the
// program takes another at start-up.
constexpr int Kept = 10;
constexpr qint64 EverySeconds = 24 * 60 * 60;

struct Result
{
    QString path;   // the archive written (or read)
    QString error;  // empty on success
    int files = 0;  // catalogue files in the archive
};

// Backups/ of the installation folder.
QString folder(const QString &installDir);
// The automatic snapshots there, newest first.
QStringList snapshots(const QString &installDir);
// True when there is no snapshot yet or the newest is older than EverySeconds.
bool isDue(const QString &installDir, const QDateTime &now = QDateTime::currentDateTime());

// Writes a snapshot of the catalogue: into `archive` when given (a file that exists,
// or one inside the catalogue, is refused), else as a new file of Backups/ (then, with
// `prune`, only the newest Kept snapshots stay). The archive appears whole or not at
// all. `cancel` stops it between two files (the partial archive is dropped).
Result write(const QString &installDir, const QString &archive = QString(),
             const std::atomic_bool *cancel = nullptr, bool prune = true);

// What an archive holds, checked: every entry a regular file or folder under
// "DataBase/", no way out of it, the library index among them. Empty when usable.
QString refusal(const QString &archive);

// Puts the catalogue of `archive` in the place of the present one. The caller holds the
// catalogue's lock and has backed up the present catalogue. The new catalogue is
// unpacked beside the old one and swapped in by renaming, so a failure at any point
// leaves one whole catalogue. Thumbnails of the restored albums are made again when the
// albums are shown.
Result restore(const QString &installDir, const QString &archive);

} // namespace CatalogueBackup
