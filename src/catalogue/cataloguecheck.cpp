#include "cataloguecheck.h"

#include "cataloguebackup.h"
#include "cataloguecontext.h"
#include "cataloguefile.h"
#include "cataloguelock.h"
#include "catalogueloader.h"
#include "directoryplaylist.h"
#include "kivviewitem.h"
#include "libraryindex.h"
#include "photoitem.h"
#include "playlist.h"
#include "picturerename.h"
#include "playlistgroup.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QTreeWidget>
#include <algorithm>
#include <memory>

namespace CatalogueCheck {

namespace {

// The file of an album of each stored class.
QString suffixOf(const QString &className)
{
    if (className == QLatin1String("Playlist"))
        return QStringLiteral(".db");
    if (className == QLatin1String("DirectoryPlaylist"))
        return QStringLiteral(".dir");
    if (className == QLatin1String("PlayListGroup"))
        return QStringLiteral(".group");
    return {};
}

// The album files lying in the catalogue folder, by id.
QStringList albumFilesIn(const QString &folder)
{
    return QDir(folder).entryList({QStringLiteral("*.db"), QStringLiteral("*.dir"), QStringLiteral("*.group")},
                                  QDir::Files | QDir::System, QDir::Name);
}

// An album made from its file alone, for an index row: its name is its id less the
// 23-character time stamp the window gives every new album.
std::unique_ptr<PlayList> albumFromFile(const QString &file, const CatalogueContext &context)
{
    const QFileInfo info(file);
    const QString id = info.completeBaseName();
    const QString suffix = QLatin1Char('.') + info.suffix();
    std::unique_ptr<PlayList> album;
    if (suffix == QLatin1String(".db"))
        album = std::make_unique<PlayList>();
    else if (suffix == QLatin1String(".dir"))
        album = std::make_unique<DirectoryPlaylist>();
    else
        album = std::make_unique<PlayListGroup>();
    album->setContext(&context);
    album->resetRows();
    album->load(file);
    album->setKivDir(id);
    album->setName(id.size() > 23 ? id.left(id.size() - 23) : id);
    return album;
}

// The values a row shares with its picture's property file, so that a row and a
// property file can be compared (views, size and kind live only in the row).
QStringList tagsOf(const QStringList &row)
{
    // A row keeps an empty text as a space, a property file as nothing: both are empty.
    const int love = row.value(AlbumRows::Love).toInt();
    return {row.value(AlbumRows::Title).trimmed(),   row.value(AlbumRows::Category).trimmed(),
            row.value(AlbumRows::Comment).trimmed(), QString::number(love < 1 ? 1 : love),
            row.value(AlbumRows::Badge).trimmed(),   row.value(AlbumRows::Persons).trimmed()};
}

// What a rename cut short leaves until it is finished (a row naming the picture by
// its old name, files under either name) is told once, as the unfinished rename.
struct Excused
{
    PictureRename::Pending rename;
    // Files a change cut short among its renames will replace at the next start: their
    // album rows and property files may disagree until then.
    QSet<QString> batchReplaces;
    bool replacedByBatch(const QString &path) const
    {
        return !batchReplaces.isEmpty() && batchReplaces.contains(QFileInfo(path).absoluteFilePath());
    }
    bool covers(const PlayList *album, const QString &folder, const QString &file) const
    {
        return rename.isValid() && rename.albums.contains(album->kivDir())
               && (folder.isEmpty() || folder == rename.folder)
               && (file == rename.from || file == rename.to);
    }
};

void lookAtPictures(PlayList *album, const Excused &excused, Report *report)
{
    const QString id = album->kivDir();
    QSet<QString> names, stems;
    for (int i = 0; i < album->rowTable().count(); ++i) {
        const QStringList row = album->rowTable().row(i);
        const QString file = row.value(AlbumRows::FileName);
        names.insert(file);
        stems.insert(KivViewItem::legacyPropertyFileNameFor(file));
        const QString picture = row.value(AlbumRows::Folder) + QLatin1Char('/') + file;
        if (!QFileInfo::exists(picture) && !excused.covers(album, row.value(AlbumRows::Folder), file))
            report->problems.append({Kind::PictureMissing, id, picture,
                                     QStringLiteral("The picture %1 of the album is not on disk (its drive may be "
                                                    "unplugged); its row and tags are kept.")
                                         .arg(file)});
        const std::unique_ptr<PhotoItem> record = album->recordAt(i);
        if (!record->propertiesDamage().isEmpty())
            report->problems.append({Kind::PropertyFileDamaged, id, record->propertyReadPath(),
                                     QStringLiteral("The property file of %1 is damaged (%2); it is kept as it is, and "
                                                    "the album row's tags are used. Put it back from a backup, or "
                                                    "delete it to edit the picture's tags again.")
                                         .arg(file, record->propertiesDamage())});
        else if (record->propertiesExist() && tagsOf(PlayList::rowFor(record.get())) != tagsOf(row)
                 && !excused.replacedByBatch(album->storedFilePath())
                 && !excused.replacedByBatch(record->propertyReadPath()))
            report->problems.append({Kind::RowDisagrees, id, record->propertyReadPath(),
                                     QStringLiteral("The album row of %1 differs from its property file (a write "
                                                    "was cut short); the property file holds the last word.")
                                         .arg(file)});
    }
    if (album->albumFolderEscapes())
        return;
    const QDir folder(album->albumFolder());
    for (const QString &name : folder.entryList(QDir::Files | QDir::System, QDir::Name)) {
        if (name.endsWith(CatalogueFile::unfinishedSuffix()))
            continue;  // told as an unfinished write
        if (name.endsWith(QLatin1String(".kiv"))) {
            if (!names.contains(name.chopped(4)) && !stems.contains(name)
                && !excused.covers(album, QString(), name.chopped(4)))
                report->problems.append({Kind::OrphanPropertyFile, id, folder.filePath(name),
                                         QStringLiteral("The property file %1 belongs to no picture of the album; "
                                                        "it is kept, its tags may still be wanted.")
                                             .arg(name)});
        } else if (!names.contains(name) && !excused.covers(album, QString(), name)) {
            report->problems.append({Kind::OrphanThumbnail, id, folder.filePath(name),
                                     QStringLiteral("The thumbnail %1 belongs to no picture of the album.").arg(name)});
        }
    }
}

} // namespace

Report run(const QString &installDir)
{
    Report report;
    const CatalogueContext context = CatalogueContext::forInstallation(installDir);
    const QFileInfo root(context.root);
    if (!root.isDir() || !root.isReadable() || !root.isExecutable()) {
        report.readable = false;
        report.unreadable = QStringLiteral("There is no readable catalogue in %1.").arg(context.root);
        const QString aside = context.root + QStringLiteral(".replaced");
        if (!root.exists() && QFileInfo(aside).isDir())
            report.unreadable += QStringLiteral("\nA restore was cut short: the catalogue as it was stands in %1. Rename "
                                                "it back to %2, or run vellaro-cli restore again.")
                                     .arg(aside, context.root);
        return report;
    }
    LibraryIndex index;
    index.setRoot(context.root);
    const QFileInfo indexFile(index.filePath());
    if (indexFile.exists() && (!indexFile.isReadable() || indexFile.isDir())) {
        report.readable = false;
        report.unreadable = QStringLiteral("The library index %1 cannot be read.").arg(index.filePath());
        if (indexFile.isDir())
            report.unreadable += QStringLiteral("\nIt is a folder: move it out of the catalogue (it may hold files "
                                                "someone wants), then vellaro-cli check --repair rebuilds the index "
                                                "from the album files.");
        return report;
    }
    const CatalogueLock::Holder holder = CatalogueLock::probe(context.root);
    report.inUse = holder == CatalogueLock::Holder::Live;
    const QString lockPath = context.root + QLatin1Char('/') + CatalogueLock::fileName();
    const QFileInfo lockFile(lockPath);
    if ((lockFile.exists() || lockFile.isSymLink()) && (!lockFile.isFile() || lockFile.isSymLink()))
        report.problems.append({Kind::LockUnusable, QString(), lockPath,
                                QStringLiteral("The lock file is not a plain file (a folder, a link or a device); no "
                                               "program can take the catalogue, so nothing can be changed. Remove it "
                                               "by hand once you know what it is.")});
    else if (holder == CatalogueLock::Holder::Stale)
        report.problems.append({Kind::StaleLock, QString(), lockPath,
                                QStringLiteral("A program that held the catalogue ended without letting it go; "
                                               "the lock no longer keeps anyone out.")});
    // What a restore cut short leaves beside the catalogue.
    for (const char *leftover : {".restoring", ".replaced"}) {
        const QString path = context.root + QLatin1String(leftover);
        if (QFileInfo(path).isDir() && !QFileInfo(path).isSymLink())
            report.problems.append({Kind::UnfinishedWrite, QString(), path,
                                    QStringLiteral("A restore cut short left this copy beside the catalogue, which is "
                                                   "whole; the backup taken before the restore holds the catalogue as "
                                                   "it was.")});
    }

    // The new versions a change cut short among its renames still waits to rename are
    // its own: told once, with the change, not each as unused.
    const CatalogueFile::PendingBatch pending = CatalogueFile::pendingBatch(context.root);
    int waiting = 0;
    {
        QDirIterator it(context.root, {QStringLiteral("*") + CatalogueFile::unfinishedSuffix()},
                        QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString path = it.next();
            if (pending.staged.contains(QFileInfo(path).absoluteFilePath())) {
                ++waiting;
                continue;
            }
            report.problems.append({Kind::UnfinishedWrite, QString(), path,
                                    QStringLiteral("A write cut short left its new version unused; the file it was "
                                                   "to replace is whole as it was.")});
        }
    }

    if (const QString batch = CatalogueFile::batchJournalPath(context.root); QFileInfo::exists(batch))
        report.problems.append(
            {Kind::UnfinishedWrite, QString(), batch,
             pending.staged.isEmpty()
                 ? QStringLiteral("A change of several pictures was cut short among its renames, and its journal "
                                  "cannot be read; the next start of Vellaro, or check --repair, tells why.")
                 : QStringLiteral("A change of several pictures was cut short among its renames; %1 of its %2 "
                                  "files wait under their new versions' names. The next start of Vellaro, or "
                                  "check --repair, finishes it; until then their albums' rows may differ from "
                                  "their property files.")
                       .arg(waiting)
                       .arg(pending.staged.size())});

    Excused excused;
    for (const QString &path : pending.replaced)
        excused.batchReplaces.insert(QFileInfo(path).absoluteFilePath());
    const QString journal = PictureRename::journalPath(context.root);
    if (QFileInfo::exists(journal) || QFileInfo(journal).isSymLink()) {
        excused.rename = PictureRename::pending(context.root);
        report.problems.append(
            {Kind::UnfinishedWrite, QString(), journal,
             excused.rename.isValid()
                 ? QStringLiteral("Renaming the picture %1 to %2 was cut short; the next change, or check "
                                  "--repair, finishes it.")
                       .arg(excused.rename.from, excused.rename.to)
                 : QStringLiteral("A rename journal that cannot be read tells of nothing to finish.")});
    }

    index.load();
    if (index.isDamaged())
        report.problems.append({Kind::IndexDamaged, QString(), index.filePath(), index.damage()});

    QSet<QString> listed;
    const QStringList present = albumFilesIn(context.folder);
    for (int i = 0; i < index.rowCount(); ++i) {
        const QStringList row = index.row(i);
        const QString name = row.value(2), className = row.value(3), id = row.value(4);
        listed.insert(id);
        if (!PlayList::isSafeKivDir(id)) {
            report.problems.append({Kind::AlbumOutsideCatalogue, name, id,
                                    QStringLiteral("The album \"%1\" names a place outside the catalogue; it is "
                                                   "left as it is.")
                                        .arg(name)});
            continue;
        }
        const QString suffix = suffixOf(className);
        if (suffix.isEmpty())
            continue;
        const QString file = context.folder + QLatin1Char('/') + id + suffix;
        // The row a damage cut short names the start of an album file's id: told as the
        // damaged index, whose repair drops it.
        const bool cutShort = index.isDamaged() && std::any_of(present.cbegin(), present.cend(), [&](const QString &f) {
            const QString whole = QFileInfo(f).completeBaseName();
            return whole != id && whole.startsWith(id);
        });
        if (!cutShort && !QFileInfo::exists(file) && !QFileInfo(file).isSymLink())
            report.problems.append({Kind::AlbumFileMissing, id, file,
                                    QStringLiteral("The file of the album \"%1\" is missing; its row is kept.")
                                        .arg(name)});
    }
    for (const QString &file : present) {
        const QString id = QFileInfo(file).completeBaseName();
        if (!listed.contains(id))
            report.problems.append({Kind::AlbumNotInIndex, id, context.folder + QLatin1Char('/') + file,
                                    QStringLiteral("The album file %1 is not listed in the library index.")
                                        .arg(file)});
    }

    QTreeWidget list;
    const QList<PlayList *> albums = CatalogueLoader::load(&list, index, context, QStringLiteral("media"));
    for (PlayList *album : albums) {
        if (!PlayList::isSafeKivDir(album->kivDir()) && album->fileState() != PlayList::FileState::Loaded)
            continue;  // told above
        const QString file = album->storedFilePath();
        if (album->fileState() == PlayList::FileState::Damaged) {
            report.problems.append({Kind::AlbumFileUnreadable, album->kivDir(), file,
                                    QStringLiteral("The file of the album \"%1\" cannot be read (%2); it is left as "
                                                   "it is.")
                                        .arg(album->name(), album->damage())});
            continue;
        }
        if (album->fileState() != PlayList::FileState::Loaded)
            continue;
        if (!album->writeRefusal().isEmpty()) {
            report.problems.append({Kind::AlbumOutsideCatalogue, album->kivDir(), file, album->writeRefusal()});
            continue;
        }
        if (album->className() == QLatin1String("Playlist") || album->className() == QLatin1String("DirectoryPlaylist"))
            lookAtPictures(album, excused, &report);
    }
    return report;
}

QStringList plan(const Report &report)
{
    QStringList steps;
    if (report.problems.isEmpty())
        return steps;
    bool backup = false;
    auto step = [&](const QString &text) {
        if (!backup) {
            steps << QStringLiteral("Back up the catalogue first (into Backups/ of the installation folder).");
            backup = true;
        }
        steps << text;
    };
    for (const Problem &problem : report.problems) {
        if (problem.kind == Kind::IndexDamaged)
            step(QStringLiteral("Rebuild the library index from its readable rows and the album files present."));
    }
    for (const Problem &problem : report.problems) {
        if (problem.kind == Kind::AlbumNotInIndex)
            step(QStringLiteral("List the album file %1 in the library index.").arg(problem.path));
        else if (problem.kind == Kind::RowDisagrees)
            step(QStringLiteral("Take the row of %1 in album %2 from its property file.")
                     .arg(QFileInfo(problem.path).fileName(), problem.album));
        else if (problem.kind == Kind::OrphanThumbnail)
            step(QStringLiteral("Delete the orphan thumbnail %1.").arg(problem.path));
        else if (problem.kind == Kind::StaleLock)
            step(QStringLiteral("Empty the stale lock file %1.").arg(problem.path));
        else if (problem.kind == Kind::UnfinishedWrite && problem.path == CatalogueFile::batchJournalPath(
                     QFileInfo(problem.path).path()))
            step(QStringLiteral("Finish the change the journal %1 tells of.").arg(problem.path));
        else if (problem.kind == Kind::UnfinishedWrite && !problem.path.endsWith(CatalogueFile::unfinishedSuffix())
                 && !problem.path.endsWith(QLatin1String("/rename.journal")))
            step(QStringLiteral("Delete the copy %1 a restore cut short left.").arg(problem.path));
        else if (problem.kind == Kind::UnfinishedWrite && problem.path.endsWith(QLatin1String("/rename.journal")))
            step(QStringLiteral("Finish the picture rename the journal %1 tells of.").arg(problem.path));
        else if (problem.kind == Kind::UnfinishedWrite)
            step(QStringLiteral("Delete the unused new version %1.").arg(problem.path));
    }
    return steps;
}

Repaired repair(const QString &installDir, const Report &report, bool backupFirst)
{
    Repaired result;
    if (plan(report).isEmpty())
        return result;
    const CatalogueContext context = CatalogueContext::forInstallation(installDir);
    CatalogueLock lock(context.root);
    switch (lock.lock(CatalogueLock::writerWaitMs())) {
    case CatalogueLock::Result::Locked:
        break;
    case CatalogueLock::Result::Busy:
        result.error = QStringLiteral("The catalogue is open in Vellaro: close it before repairing. Nothing is changed.");
        return result;
    case CatalogueLock::Result::CannotCreate:
        result.error = lock.errorString() + QStringLiteral("\nNothing is changed.");
        return result;
    }
    if (CatalogueFile::finishInterruptedBatch(context.root) < 0) {
        result.error = QStringLiteral("The last change of several pictures was cut short and could not be finished: "
                                      "%1\nNothing is changed.")
                           .arg(CatalogueFile::lastWriteError());
        return result;
    }
    const int swept = CatalogueFile::sweepUnfinished(context.root);
    if (backupFirst) {
        const CatalogueBackup::Result backup = CatalogueBackup::write(installDir);
        if (!backup.error.isEmpty()) {
            result.error = QStringLiteral("The backup taken before repairing failed: %1\nNothing is changed.")
                               .arg(backup.error);
            return result;
        }
        result.done << QStringLiteral("Backed up the catalogue into %1.").arg(backup.path);
    }
    if (swept > 0)
        result.done << QStringLiteral("Deleted %1 unused new versions left by cut writes.").arg(swept);

    auto has = [&report](const QString &kind) {
        for (const Problem &problem : report.problems)
            if (problem.kind == kind)
                return true;
        return false;
    };

    LibraryIndex index;
    index.setRoot(context.root);
    index.load();
    if (has(Kind::IndexDamaged) || has(Kind::AlbumNotInIndex)) {
        // Every row that could be read keeps its place (and its group); album files the
        // rows do not name follow, in the order of their names. No album is dropped.
        QList<QStringList> rows;
        QSet<QString> ids;
        const QStringList present = albumFilesIn(context.folder);
        // A row cut short by the damage names a shorter id than an album file present:
        // that file's own row takes its place.
        auto cutShort = [&](const QString &id) {
            for (const QString &file : present) {
                const QString whole = QFileInfo(file).completeBaseName();
                if (whole != id && whole.startsWith(id))
                    return true;
            }
            return false;
        };
        for (int i = 0; i < index.rowCount(); ++i) {
            const QStringList row = index.row(i);
            if (row.size() != 5 || ids.contains(row.at(4)))
                continue;
            const bool fileThere = QFileInfo::exists(context.folder + QLatin1Char('/') + row.at(4) + suffixOf(row.at(3)));
            if (!fileThere && cutShort(row.at(4))) {
                result.done << QStringLiteral("Dropped the row cut short in the damaged index (%1).").arg(row.join(QLatin1Char(',')));
                continue;
            }
            rows << row;
            ids.insert(row.at(4));
        }
        QStringList added;
        for (const QString &file : present) {
            const QString id = QFileInfo(file).completeBaseName();
            if (ids.contains(id) || !PlayList::isSafeKivDir(id))
                continue;
            const std::unique_ptr<PlayList> album = albumFromFile(context.folder + QLatin1Char('/') + file, context);
            rows << LibraryIndex::rowFor(album.get());
            ids.insert(id);
            added << file;
        }
        index.replaceRows(rows);
        if (!index.save()) {
            result.error = QStringLiteral("The library index cannot be written: %1").arg(CatalogueFile::lastWriteError());
            return result;
        }
        if (has(Kind::IndexDamaged))
            result.done << QStringLiteral("Rebuilt the library index: %1 albums.").arg(rows.size());
        for (const QString &file : std::as_const(added))
            result.done << QStringLiteral("Listed %1 in the library index.").arg(file);
    }

    if (QFileInfo::exists(PictureRename::journalPath(context.root))
        || QFileInfo(PictureRename::journalPath(context.root)).isSymLink()) {
        QTreeWidget list;
        CatalogueLoader::load(&list, index, context, QStringLiteral("media"));
        QString why;
        if (!PictureRename::finishInterrupted(context.root, CatalogueLoader::storedAlbums(&list), &index, &why)) {
            result.error = QStringLiteral("The picture rename cut short cannot be finished: %1").arg(why);
            return result;
        }
        result.done << QStringLiteral("Finished the picture rename cut short.");
    }

    if (has(Kind::RowDisagrees)) {
        QTreeWidget list;
        const QList<PlayList *> albums = CatalogueLoader::load(&list, index, context, QStringLiteral("media"));
        for (PlayList *album : albums) {
            QSet<QString> paths;  // the property files whose rows are to follow them
            for (const Problem &problem : report.problems) {
                if (problem.kind == Kind::RowDisagrees && problem.album == album->kivDir())
                    paths.insert(problem.path);
            }
            if (paths.isEmpty())
                continue;
            QStringList fixed;
            for (int i = 0; i < album->rowTable().count(); ++i) {
                const std::unique_ptr<PhotoItem> record = album->recordAt(i);
                if (!paths.contains(record->propertyReadPath()))
                    continue;
                album->updateRow(record.get());
                fixed << record->fileName();
            }
            if (fixed.isEmpty())
                continue;
            if (!album->writeRefusal().isEmpty() || !album->save(album->kivDir())) {
                result.error = QStringLiteral("The album %1 cannot be written: %2")
                                   .arg(album->kivDir(), album->lastError().isEmpty() ? album->writeRefusal()
                                                                                      : album->lastError());
                return result;
            }
            for (const QString &file : std::as_const(fixed))
                result.done << QStringLiteral("Took the row of %1 in album %2 from its property file.")
                                   .arg(file, album->kivDir());
        }
    }

    for (const Problem &problem : report.problems) {
        if (problem.kind != Kind::OrphanThumbnail)
            continue;
        // Only a regular file inside the catalogue folder, never through a link.
        const QFileInfo file(problem.path);
        if (!file.isFile() || file.isSymLink()
            || !file.absoluteFilePath().startsWith(QFileInfo(context.folder).absoluteFilePath() + QLatin1Char('/')))
            continue;
        if (!QFile::remove(problem.path)) {
            result.error = QStringLiteral("The orphan thumbnail %1 cannot be deleted.").arg(problem.path);
            return result;
        }
        result.done << QStringLiteral("Deleted the orphan thumbnail %1.").arg(problem.path);
    }
    for (const Problem &problem : report.problems) {
        const QFileInfo info(problem.path);
        if (problem.kind != Kind::UnfinishedWrite || !info.isDir() || info.isSymLink()
            || (problem.path != context.root + QStringLiteral(".restoring")
                && problem.path != context.root + QStringLiteral(".replaced")))
            continue;
        if (!QDir(problem.path).removeRecursively()) {
            result.error = QStringLiteral("The copy %1 cannot be deleted.").arg(problem.path);
            return result;
        }
        result.done << QStringLiteral("Deleted the copy %1 a restore cut short left.").arg(problem.path);
    }
    if (has(Kind::StaleLock)) {
        // Held now, the lock file is emptied when it is let go.
        lock.unlock();
        result.done << QStringLiteral("Emptied the stale lock file.");
    }
    return result;
}

} // namespace CatalogueCheck
