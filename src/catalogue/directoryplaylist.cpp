#include "directoryplaylist.h"

#include "cataloguecontext.h"
#include "kivviewitem.h"
#include "libraryindex.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

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
    for (int i = 0; i < m_rows.count(); ++i) {
        if (m_rows.fieldText(i, AlbumRows::Folder) + QLatin1Char('/') + m_rows.fieldText(i, AlbumRows::FileName)
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

const AlbumRows &DirectoryPlaylist::rows()
{
    const QDir folder(m_from);
    if (m_from.trimmed().isEmpty() || !folder.exists())
        return m_rows;
    const QStringList files = folder.entryList(QDir::Files, QDir::Name | QDir::IgnoreCase);
    if (files.size() == m_rows.count())
        return m_rows;

    // The folder changed: one fresh row per file. Each picture's own properties stay in
    // its property file.
    m_rows.reset();
    m_rows.reserve(int(files.size()));
    setDirty(true);
    const QString folderText = m_from;
    for (const QString &name : files) {
        if (name == QLatin1String(".") || name == QLatin1String("..") || name.contains(QLatin1String(".kiv")))
            continue;
        m_rows.append({QString(), folderText, name, QString(), QStringLiteral("Undefined"), QString(),
                       QStringLiteral("1"), QStringLiteral("0"), QStringLiteral("-1"), QString(), QString()});
    }
    return m_rows;
}

bool DirectoryPlaylist::removeFiles()
{
    return PlayList::removeFiles();
}

bool DirectoryPlaylist::addRecord(const KivViewItem *record)
{
    if (!record)
        return false;
    const QString source = record->picturePath();
    const QString target = m_from + QLatin1Char('/') + record->fileName();
    if (QFileInfo(source).canonicalFilePath() != QFileInfo(target).canonicalFilePath()) {
        if (QFileInfo::exists(target)) {
            // Another picture of that name already lies in the folder: keep it.
            if (!sameContents(source, target))
                return false;
        } else if (!QFile::copy(source, target)) {
            return false;
        }
    }
    setDirty(true);
    // The row names the copy in the bound folder: the album's commands act on the
    // files of its folder, never on the original the picture was copied from.
    QStringList row = rowFor(record);
    row[AlbumRows::Folder] = m_from;
    m_rows.append(row);
    return true;
}

bool DirectoryPlaylist::removeRecord(const KivViewItem *record)
{
    if (!record || indexOfFile(record->fileName()) < 0)
        return false;
    const QString path = record->picturePath();
    if (QFile::exists(path) && !QFile::remove(path))
        return false;
    return PlayList::removeRecord(record);
}

void DirectoryPlaylist::emptyFolder()
{
    if (m_from.trimmed().isEmpty())
        return;
    QDir folder(m_from);
    for (const QString &name : folder.entryList(QDir::Files))
        folder.remove(name);
}

bool DirectoryPlaylist::clear()
{
    emptyFolder();
    return PlayList::clear();
}

bool DirectoryPlaylist::syncRow(const KivViewItem *record)
{
    if (!record)
        return false;
    const QStringList row = rowFor(record);
    bool found = false;
    for (int i = 0; i < m_rows.count(); ++i) {
        if (m_rows.field(i, AlbumRows::FileName) == record->fileName()
            && m_rows.field(i, AlbumRows::Folder) == record->sourceFolder()) {
            m_rows.replace(i, row);
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
