#include "directoryplaylist.h"

#include "cataloguecontext.h"
#include "cataloguelog.h"
#include "cataloguetext.h"
#include "libraryindex.h"
#include "photoitem.h"
#include "picturetrash.h"
#include "tagmetadata.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>

namespace {

bool sameContents(const QString &a, const QString &b)
{
    QFile fa(a), fb(b);
    if (fa.size() != fb.size() || !fa.open(QIODevice::ReadOnly) || !fb.open(QIODevice::ReadOnly))
        return false;
    while (!fa.atEnd()) {
        if (fa.read(1 << 16) != fb.read(1 << 16))
            return false;
    }
    return true;
}

} // namespace

int DirectoryPlaylist::indexOfPath(const QString &path) const
{
    for (int i = 0; i < storedRows().count(); ++i) {
        if (storedRows().fieldText(i, AlbumRows::Folder) + QLatin1Char('/') + storedRows().fieldText(i, AlbumRows::FileName)
            == path)
            return i;
    }
    return -1;
}

bool DirectoryPlaylist::save(const QString &kivDir)
{
    return writeAlbumFile(kivDir, &m_from);
}

bool DirectoryPlaylist::load(const QString &path)
{
    return readAlbumFile(path, &m_from);
}

bool DirectoryPlaylist::folderGone() const
{
    return !QFileInfo(m_from + QLatin1Char('/')).isDir();
}

QString DirectoryPlaylist::folderRefusal(const QString &folder)
{
    if (folder.contains(QLatin1Char('|')) || folder.contains(QLatin1Char('\n')) || folder.contains(QLatin1Char('\r')))
        return QStringLiteral("Unable to add this dynamic album.\nA folder whose path holds \"|\" or a line break "
                              "cannot be catalogued.");
    return {};
}

const AlbumRows &DirectoryPlaylist::rows()
{
    const QDir folder(m_from);
    if (m_from.trimmed().isEmpty() || !folder.exists() || !isValid())
        return storedRows();
    QStringList files = folder.entryList(QDir::Files, QDir::Name | QDir::IgnoreCase);
    m_skipped.clear();
    files.erase(std::remove_if(files.begin(), files.end(),
                               [this](const QString &name) {
                                   if (name.contains(QLatin1String(".kiv")))
                                       return true;
                                   // Tags of a picture, kept beside it: no picture of their own.
                                   if (TagMetadata::isSidecarName(name))
                                       return true;
                                   // "|" or a line end would split the row on reading.
                                   if (!CatalogueText::propertyRefusal(name).isEmpty()) {
                                       m_skipped << name;
                                       return true;
                                   }
                                   return false;
                               }),
                files.end());
    for (const QString &name : std::as_const(m_skipped))
        qCWarning(lcCatalogue) << "skipped a file whose name cannot be catalogued:" << (m_from + u'/' + name);

    // Nothing to do when the rows name exactly the files of the folder.
    QSet<QString> present(files.begin(), files.end());
    bool same = files.size() == storedRows().count();
    for (int i = 0; same && i < storedRows().count(); ++i)
        same = present.contains(storedRows().fieldText(i, AlbumRows::FileName))
               && storedRows().field(i, AlbumRows::Folder) == m_from;
    if (same)
        return storedRows();

    // The folder changed. The row of every file still there is kept with its tags (and
    // follows a changed folder path); new files come last, from their property file
    // where they have one; rows of files that are gone are dropped.
    AlbumRows merged;
    merged.reserve(int(files.size()));
    QSet<QString> kept;
    for (int i = 0; i < storedRows().count(); ++i) {
        const QString name = storedRows().fieldText(i, AlbumRows::FileName);
        if (!present.contains(name) || kept.contains(name))
            continue;
        QStringList row = storedRows().row(i);
        while (row.size() < AlbumRows::FieldCount)
            row << QString();
        row[AlbumRows::Folder] = m_from;
        merged.append(row);
        kept.insert(name);
    }
    for (const QString &name : std::as_const(files)) {
        if (kept.contains(name))
            continue;
        QStringList row{QString(), m_from, name, QString(), QStringLiteral("Undefined"), QString(),
                        QStringLiteral("1"), QStringLiteral("0"), QStringLiteral("-1"), QString(), QString()};
        PhotoItem stored(name);
        stored.setFileName(name);
        stored.setSourceFolder(m_from);
        stored.setOwnerAlbum(this);
        if (context() && isSafeKivDir(kivDir())) {
            stored.setAlbumFolderPath(albumFolder());
            if (stored.propertiesExist()) {
                stored.readProperties();
                row = rowFor(&stored);
                row[AlbumRows::Folder] = m_from;
            }
        }
        merged.append(row);
    }
    storedRows() = merged;
    setDirty(true);
    return storedRows();
}

bool DirectoryPlaylist::removeFiles()
{
    return PlayList::removeFiles();
}

bool DirectoryPlaylist::addRecord(const KivViewItem *record)
{
    // An album without its folder has nowhere to put a copy.
    if (!record || !isValid() || m_from.trimmed().isEmpty() || folderGone())
        return false;
    const QString source = record->picturePath();
    const QString target = m_from + QLatin1Char('/') + record->fileName();
    if (QFileInfo(source).canonicalFilePath() != QFileInfo(target).canonicalFilePath()) {
        if (QFileInfo::exists(target)) {
            // Another picture of that name already lies in the folder: keep it.
            if (!sameContents(source, target)) {
                setLastError(QStringLiteral("Unable to add this picture.\nA different file of that name is already "
                                            "in the folder of this album."));
                return false;
            }
        } else if (!QFile::copy(source, target)) {
            // A copy cut short (a full disk) is not left behind.
            QFile::remove(target);
            setLastError(QStringLiteral("Unable to add this picture.\nThe picture could not be copied into the "
                                        "folder of this album:\n") + m_from);
            return false;
        }
    }
    setDirty(true);
    // The row names the copy in the bound folder: the album's commands act on the
    // files of its folder, never on the original the picture was copied from.
    QStringList row = rowFor(record);
    row[AlbumRows::Folder] = m_from;
    storedRows().append(row);
    return true;
}

bool DirectoryPlaylist::removeRecord(const KivViewItem *record)
{
    if (!record || indexOfFile(record->fileName()) < 0)
        return false;
    const QString path = record->picturePath();
    const QFileInfo picture(path);
    // A picture already gone leaves only its row; anything but a file is not touched.
    if (picture.exists() || picture.isSymLink()) {
        if (!picture.isFile() || PictureTrash::discard(path) == PictureTrash::Outcome::Failed)
            return false;
    }
    return PlayList::removeRecord(record);
}

bool DirectoryPlaylist::emptyFolder(QString *summary)
{
    if (m_from.trimmed().isEmpty())
        return true;
    int trashed = 0, deleted = 0, failed = 0;
    for (int i = 0; i < storedRows().count(); ++i) {
        const QString path = storedRows().fieldText(i, AlbumRows::Folder) + QLatin1Char('/')
                             + storedRows().fieldText(i, AlbumRows::FileName);
        // Only pictures the album names: documents and other files of the folder stay.
        if (!QFileInfo(path).isFile() || KivViewItem::kindOfFile(path) != QLatin1String("Photo"))
            continue;
        switch (PictureTrash::discard(path)) {
        case PictureTrash::Outcome::Trashed: ++trashed; break;
        case PictureTrash::Outcome::Deleted: ++deleted; break;
        case PictureTrash::Outcome::Failed: ++failed; break;
        }
    }
    if (summary)
        *summary = PictureTrash::summary(trashed, deleted, failed);
    return failed == 0;
}

bool DirectoryPlaylist::clear()
{
    if (const QString refusal = writeRefusal(); !refusal.isEmpty()) {
        setLastError(refusal);
        return false;
    }
    const bool emptied = emptyFolder(&m_clearSummary);
    const bool saved = PlayList::clear();
    if (!emptied)
        setLastError(m_clearSummary);
    return emptied && saved;
}

bool DirectoryPlaylist::syncRow(const KivViewItem *record)
{
    if (!record)
        return false;
    const QStringList row = rowFor(record);
    bool found = false;
    for (int i = 0; i < storedRows().count(); ++i) {
        if (storedRows().field(i, AlbumRows::FileName) == record->fileName()
            && storedRows().field(i, AlbumRows::Folder) == record->sourceFolder()) {
            storedRows().replace(i, row);
            found = true;
        }
    }
    setDirty(true);
    putThumbCacheInRowOrder();
    return found;
}

bool DirectoryPlaylist::commit()
{
    if (!isDirty())
        return true;
    if (!save(kivDir()))
        return false;
    if (const CatalogueContext *c = context(); c && c->library) {
        c->library->updateAlbum(this);
        c->library->save();
    }
    return true;
}
