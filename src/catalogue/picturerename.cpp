#include "picturerename.h"

#include "albumrows.h"
#include "cataloguecontext.h"
#include "cataloguefile.h"
#include "cataloguelog.h"
#include "cataloguesave.h"
#include "kivviewitem.h"
#include "photoitem.h"
#include "playlist.h"
#include "tagmetadata.h"

#include <QFile>
#include <QFileInfo>

namespace PictureRename {

namespace {

const QLatin1String kFolder("Folder="), kFrom("From="), kTo("To="), kAlbum("Album=");

QString pathIn(const QString &folder, const QString &name)
{
    return folder.endsWith(QLatin1Char('/')) ? folder + name : folder + QLatin1Char('/') + name;
}

// The row naming `name` of `folder` (an album may hold two pictures of one name from
// two folders).
int rowOf(const PlayList *album, const QString &folder, const QString &name)
{
    const AlbumRows &rows = album->rowTable();
    for (int i = 0; i < rows.count(); ++i) {
        if (rows.field(i, AlbumRows::FileName) == name && rows.field(i, AlbumRows::Folder) == folder)
            return i;
    }
    return -1;
}

// The property file and thumbnail of the picture in the album's folder take its new
// name; files already under the new name are left as they are, so doing it twice does
// no harm.
void moveRecordFiles(PlayList *album, const QString &folder, const QString &from, const QString &to)
{
    PhotoItem moved(from);
    moved.setFileName(from);
    moved.setSourceFolder(folder);
    moved.setOwnerAlbum(album);
    moved.setAlbumFolderPath(album->albumFolder());
    moved.followRename(to);
}

void renameRows(const QList<PlayList *> &albums, const QString &folder, const QString &from, const QString &to)
{
    for (PlayList *album : albums) {
        const int row = rowOf(album, folder, from);
        if (row < 0)
            continue;
        QStringList texts = album->rowTable().row(row);
        texts[AlbumRows::FileName] = to;
        album->setRow(row, texts);
    }
}

bool validName(const QString &name)
{
    return KivViewItem::checkRename(QStringLiteral("/"), name, name) != KivViewItem::RenameResult::InvalidName;
}

QString rootOf(const PlayList *album)
{
    return album && album->context() ? album->context()->root : QString();
}

// The files of every holder, then the albums and the index. On failure the albums
// are put back on disk (by the save) and here in memory; the record files are the
// caller's to put back.
QString carryOut(const QList<PlayList *> &holders, const Pending &p, LibraryIndex *library)
{
    for (PlayList *album : holders)
        moveRecordFiles(album, p.folder, p.from, p.to);
    renameRows(holders, p.folder, p.from, p.to);
    const QString error = CatalogueSave::propertiesAndAlbums({}, holders, library);
    if (!error.isEmpty())
        renameRows(holders, p.folder, p.to, p.from);
    return error;
}

} // namespace

QString journalPath(const QString &catalogueRoot)
{
    return catalogueRoot + QStringLiteral("/rename.journal");
}

Pending pending(const QString &catalogueRoot)
{
    Pending p;
    bool ok = false;
    const QStringList lines = CatalogueFile::readLines(journalPath(catalogueRoot), &ok);
    if (!ok)
        return p;
    for (const QString &line : lines) {
        if (line.startsWith(kFolder))
            p.folder = line.mid(kFolder.size());
        else if (line.startsWith(kFrom))
            p.from = line.mid(kFrom.size());
        else if (line.startsWith(kTo))
            p.to = line.mid(kTo.size());
        else if (line.startsWith(kAlbum))
            p.albums << line.mid(kAlbum.size());
    }
    if (!validName(p.from) || !validName(p.to))
        return Pending();
    return p;
}

bool finishInterrupted(const QString &catalogueRoot, const QList<PlayList *> &stored, LibraryIndex *library,
                       QString *why)
{
    const QString journal = journalPath(catalogueRoot);
    if (!QFileInfo::exists(journal) && !QFileInfo(journal).isSymLink())
        return true;
    const Pending p = pending(catalogueRoot);
    if (p.isValid()) {
        const QString oldPicture = pathIn(p.folder, p.from), newPicture = pathIn(p.folder, p.to);
        if (QFileInfo::exists(oldPicture) && !QFileInfo::exists(newPicture) && !QFile::rename(oldPicture, newPicture)) {
            if (why)
                *why = QStringLiteral("The picture %1 could not be renamed to %2.").arg(oldPicture, p.to);
            return false;
        }
        QList<PlayList *> holders;
        for (PlayList *album : stored) {
            if (p.albums.contains(album->kivDir()) && album->writeRefusal().isEmpty() && !holders.contains(album))
                holders << album;
        }
        if (const QString error = carryOut(holders, p, library); !error.isEmpty()) {
            if (why)
                *why = error;
            return false;
        }
    }
    // A journal that cannot be read tells of nothing that could be finished.
    if (!QFile::remove(journal)) {
        if (why)
            *why = QStringLiteral("The rename journal %1 cannot be deleted.").arg(journal);
        return false;
    }
    return true;
}

Result rename(KivViewItem *record, PlayList *album, const QList<PlayList *> &stored, const QString &newName,
              LibraryIndex *library)
{
    Result result;
    if (!record || !album)
        return result;
    const QString oldName = record->fileName(), folder = record->sourceFolder();
    if (newName == oldName)
        return result;
    const QString oldPicture = pathIn(folder, oldName), newPicture = pathIn(folder, newName);
    const QString root = rootOf(album);
    if (root.isEmpty())
        return result;
    // Every album naming the file follows, so none may hold the new name already, and
    // each must be writable.
    QList<PlayList *> holders{album};
    for (PlayList *other : stored) {
        if (other != album && !holders.contains(other) && rowOf(other, folder, oldName) >= 0)
            holders << other;
    }
    for (PlayList *holder : std::as_const(holders)) {
        if (holder->indexOfFile(newName) >= 0) {
            result.message = QStringLiteral("Unable to rename this photo.\nA photo already have this filename.");
            return result;
        }
        if (const QString refusal = holder->writeRefusal(); !refusal.isEmpty()) {
            result.message = QStringLiteral("Unable to rename this photo.\n") + refusal;
            return result;
        }
    }
    // Refusals of the name itself, or of a file already named so, come after the albums';
    // a folder that is gone renames nothing, silently.
    if (const auto check = KivViewItem::checkRename(folder, oldName, newName); check != KivViewItem::RenameResult::Renamed) {
        result.message = KivViewItem::renameRefusal(check);
        return result;
    }
    // An earlier rename cut short is finished first: its journal is the only one.
    if (QString why; !finishInterrupted(root, stored, library, &why)) {
        result.message = QStringLiteral("Unable to rename this photo.\nAn earlier rename could not be finished: ") + why;
        return result;
    }

    Pending p;
    p.folder = folder;
    p.from = oldName;
    p.to = newName;
    for (const PlayList *holder : std::as_const(holders))
        p.albums << holder->kivDir();
    QStringList lines{kFolder + p.folder, kFrom + p.from, kTo + p.to};
    for (const QString &id : std::as_const(p.albums))
        lines << kAlbum + id;
    const QString journal = journalPath(root);
    if (!CatalogueFile::writeLines(journal, lines)) {
        result.message = CatalogueSave::message(QStringLiteral("The rename journal %1 could not be written (%2).")
                                                    .arg(journal, CatalogueFile::lastWriteError()));
        return result;
    }
    // Renaming within the folder is atomic: the picture is never deleted before a
    // complete copy exists under the new name. A picture that is not there (its drive
    // unplugged) keeps its records renamed all the same.
    const bool moved = QFileInfo::exists(oldPicture);
    if (moved && !QFile::rename(oldPicture, newPicture)) {
        QFile::remove(journal);
        result.message = KivViewItem::renameRefusal(KivViewItem::RenameResult::PictureNotMoved);
        return result;
    }
    if (const QString error = carryOut(holders, p, library); !error.isEmpty()) {
        for (PlayList *holder : std::as_const(holders))
            moveRecordFiles(holder, folder, newName, oldName);
        // Put back as it was; should that fail the journal stays and the rename is
        // finished by the next writer instead.
        if (!moved || QFile::rename(newPicture, oldPicture))
            QFile::remove(journal);
        result.message = error;
        return result;
    }
    QFile::remove(journal);
    // The picture's sidecar keeps naming it; one of the new name already there is
    // another picture's, and stays.
    const QString oldSidecar = TagMetadata::sidecarPath(oldPicture);
    const QString newSidecar = TagMetadata::sidecarPath(newPicture);
    if (moved && QFileInfo(oldSidecar).isFile() && !QFileInfo::exists(newSidecar)
        && !QFile::rename(oldSidecar, newSidecar))
        qCWarning(lcCatalogue) << "the sidecar" << oldSidecar << "could not follow its picture to" << newSidecar;
    record->setFileName(newName);
    record->setCaption(KivViewItem::captionFor(newName));
    result.renamed = true;
    return result;
}

} // namespace PictureRename
