#include "kivviewitem.h"

#include "cataloguefile.h"
#include "picturetrash.h"
#include "playlist.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMimeDatabase>

namespace {

const char *const kCommonKeys[] = {"title=", "format=", "category=", "comment=", "love=",
                                   "author=", "from=",  "date=",     "filetype="};
constexpr int kCommonCount = 9;

QString joinPath(const QString &folder, const QString &name)
{
    if (folder.endsWith(QLatin1Char('/')) || folder.endsWith(QLatin1Char('\\')))
        return folder + name;
    return folder + QLatin1Char('/') + name;
}

// Moves one catalogue file (property file or thumbnail) next to itself under a new
// name. An existing file of the new name is never overwritten.
void moveCatalogueFile(const QString &from, const QString &to)
{
    if (from == to || !QFile::exists(from) || QFile::exists(to))
        return;
    QFile::rename(from, to);
}

} // namespace

KivViewItem::KivViewItem(const QString &fileName)
    : m_caption(captionFor(fileName))
{
}

KivViewItem::~KivViewItem() = default;

QString KivViewItem::captionFor(const QString &fileName)
{
    if (fileName.size() > 21)
        return fileName.left(18) + QStringLiteral("...");
    return fileName;
}

QString KivViewItem::propertyFileNameFor(const QString &fileName)
{
    return fileName + QStringLiteral(".kiv");
}

QString KivViewItem::legacyPropertyFileNameFor(const QString &fileName)
{
    const qsizetype dot = fileName.indexOf(QLatin1Char('.'));
    return (dot < 0 ? fileName : fileName.left(dot)) + QStringLiteral(".kiv");
}

QString KivViewItem::kindOfFile(const QString &path)
{
    static const QMimeDatabase mimeDb;
    const QMimeType type = mimeDb.mimeTypeForFile(path, QMimeDatabase::MatchExtension);
    const QString name = type.name();
    if (name.contains(QLatin1String("image")))
        return QStringLiteral("Photo");
    if (name.contains(QLatin1String("audio")))
        return QStringLiteral("Music");
    return QStringLiteral("Undefined");
}

QString KivViewItem::renameRefusal(RenameResult result)
{
    switch (result) {
    case RenameResult::InvalidName:
        return QStringLiteral("Unable to rename this picture.\nThis name is not a valid file name.");
    case RenameResult::NameExists:
        return QStringLiteral("Unable to rename this picture.\nA file already have this filename.");
    case RenameResult::PictureNotMoved:
        return QStringLiteral("Unable to rename this picture.\nThe picture file could not be renamed.");
    case RenameResult::Renamed:
    case RenameResult::NoSourceFolder:
        break;
    }
    return {};
}

QPixmap KivViewItem::makeThumbnail(bool)
{
    return QPixmap();
}

// A picture of no stored album (one opened from outside the catalogue) has no album
// folder, and so no property or thumbnail file: nothing is read or written for it.
QString KivViewItem::propertyFilePath() const
{
    return m_albumFolder.isEmpty() ? QString() : joinPath(m_albumFolder, propertyFileNameFor(m_fileName));
}

QString KivViewItem::legacyPropertyFilePath() const
{
    return m_albumFolder.isEmpty() ? QString() : joinPath(m_albumFolder, legacyPropertyFileNameFor(m_fileName));
}

QString KivViewItem::propertyReadPath() const
{
    const QString path = propertyFilePath();
    if (QFileInfo::exists(path))
        return path;
    const QString legacy = legacyPropertyFilePath();
    return QFileInfo::exists(legacy) ? legacy : path;
}

bool KivViewItem::legacySharedInAlbum() const
{
    // Two pictures of one album whose names share a stem shared the older file.
    if (!m_ownerAlbum)
        return true;
    const QString legacy = legacyPropertyFileNameFor(m_fileName);
    const AlbumRows &rows = m_ownerAlbum->rowTable();
    for (int i = 0; i < rows.count(); ++i) {
        const QString name = rows.fieldText(i, AlbumRows::FileName);
        if (name != m_fileName && legacyPropertyFileNameFor(name) == legacy)
            return true;
    }
    return false;
}

QString KivViewItem::picturePath() const
{
    return joinPath(m_sourceFolder, m_fileName);
}

QString KivViewItem::thumbnailPath() const
{
    return m_albumFolder.isEmpty() ? QString() : joinPath(m_albumFolder, m_fileName);
}

QStringList KivViewItem::commonLines() const
{
    return {
        QStringLiteral("title=") + m_title,       QStringLiteral("format=") + m_format,
        QStringLiteral("category=") + m_category, QStringLiteral("comment=") + m_comment,
        QStringLiteral("love=") + QString::number(love()), QStringLiteral("author=") + author(),
        QStringLiteral("from=") + from(),         QStringLiteral("date=") + date(),
        QStringLiteral("filetype=") + m_fileType,
    };
}

QStringList KivViewItem::propertyLines() const
{
    return commonLines() << QStringLiteral("userbadge=") + QString::number(m_userBadge);
}

QString KivViewItem::lineValue(const QStringList &lines, int index, const char *key)
{
    if (index >= lines.size())
        return {};
    return CatalogueFile::valueAfterKey(lines.at(index), int(qstrlen(key)));
}

void KivViewItem::applyCommonLines(const QStringList &lines)
{
    setTitle(lineValue(lines, 0, kCommonKeys[0]));
    setFormat(lineValue(lines, 1, kCommonKeys[1]));
    setCategory(lineValue(lines, 2, kCommonKeys[2]));
    setComment(lineValue(lines, 3, kCommonKeys[3]));
    setLove(lineValue(lines, 4, kCommonKeys[4]).toInt());
    setAuthor(lineValue(lines, 5, kCommonKeys[5]));
    setFrom(lineValue(lines, 6, kCommonKeys[6]));
    setDate(lineValue(lines, 7, kCommonKeys[7]));
    setFileType(lineValue(lines, 8, kCommonKeys[8]));
}

void KivViewItem::applyPropertyLines(const QStringList &lines)
{
    applyCommonLines(lines);
    setUserBadge(lineValue(lines, kCommonCount, "userbadge=").toInt());
}

bool KivViewItem::writeProperties() const
{
    if (const QString damage = propertiesDamage(); !damage.isEmpty()) {
        CatalogueFile::refuseWrite(QStringLiteral("it is damaged: %1; it is kept as it is").arg(damage));
        return false;
    }
    return CatalogueFile::writeLines(propertyFilePath(), propertyLines());
}

QByteArray KivViewItem::packedTagLines() const
{
    // No line holds a line end: each is a line of a property file.
    return propertyLines().join(QLatin1Char('\n')).toUtf8();
}

void KivViewItem::setPackedTagLines(const QByteArray &packed)
{
    applyPropertyLines(QString::fromUtf8(packed).split(QLatin1Char('\n')));
}

void KivViewItem::readProperties()
{
    setRareText(&Rare::propertiesDamage, QString());
    const QString path = propertyReadPath();
    if (!QFileInfo::exists(path) && !QFileInfo(path).isSymLink())
        return;
    QByteArray bytes;
    QString why;
    if (!CatalogueFile::readBytes(path, &bytes, &why)) {
        setRareText(&Rare::propertiesDamage, why);
        return;
    }
    if (bytes.isEmpty()) {
        setRareText(&Rare::propertiesDamage, QStringLiteral("it is empty"));
        return;
    }
    if (bytes.contains('\0')) {
        setRareText(&Rare::propertiesDamage, QStringLiteral("it holds NUL bytes"));
        return;
    }
    // Keys are not compared (older programs wrote them in other cases), but every line
    // is a key and its value, and a bare CR would end a value in the middle.
    QStringList lines;
    CatalogueFile::LineReader reader(bytes);
    while (!reader.atEnd()) {
        const QByteArrayView line = reader.next();
        if (!line.contains('=') || line.contains('\r')) {
            setRareText(&Rare::propertiesDamage, QStringLiteral("its line %1 is not a key and its value").arg(lines.size() + 1));
            return;
        }
        lines.append(reader.text(line));
    }
    if (!bytes.endsWith('\n')) {
        setRareText(&Rare::propertiesDamage, QStringLiteral("it is cut short"));
        return;
    }
    applyPropertyLines(lines);
}

void KivViewItem::loadFromRow(const QStringList &row)
{
    auto field = [&row](int i) { return i < row.size() ? row.at(i) : QString(); };
    setTitle(field(3));
    setLove(field(6).toInt());
    setViewCount(field(7).toInt());
    setUserBadge(field(8).toInt());
}

bool KivViewItem::removeProperties() const
{
    const QString path = propertyFilePath();
    bool removed = QFile::exists(path) && QFile::remove(path);
    // The older shared file goes too, unless another picture of the album reads it.
    const QString legacy = legacyPropertyFilePath();
    if (legacy != path && QFileInfo(legacy).isFile() && !legacySharedInAlbum())
        removed = QFile::remove(legacy) || removed;
    return removed;
}

bool KivViewItem::removeThumbnail() const
{
    const QString path = thumbnailPath();
    return QFile::exists(path) && QFile::remove(path);
}

bool KivViewItem::removePictureFile() const
{
    // The user's own picture: into the trash, where it can be taken back.
    const QString path = picturePath();
    return QFileInfo(path).isFile() && PictureTrash::discard(path) != PictureTrash::Outcome::Failed;
}

bool KivViewItem::propertiesExist() const
{
    return QFile::exists(propertyFilePath()) || QFile::exists(legacyPropertyFilePath());
}

bool KivViewItem::hasProperties()
{
    if (!m_propertiesKnown)
        m_propertiesKnown = propertiesExist();
    return m_propertiesKnown;
}

void KivViewItem::takeDate(const QDate &ownerAlbumCreated)
{
    const QFileInfo picture(picturePath());
    if (picture.exists()) {
        QDateTime created = picture.birthTime();
        if (!created.isValid())
            created = picture.metadataChangeTime();
        setDate(created.toString(Qt::ISODate));
    } else if (m_ownerAlbum && ownerAlbumCreated.isValid()) {
        setDate(ownerAlbumCreated.toString(Qt::ISODate));
    }
}

void KivViewItem::setTitle(const QString &title)
{
    if (title != m_title)
        m_modified = true;
    takeText(m_title, title);
}

void KivViewItem::setFormat(const QString &format)
{
    if (format.isEmpty() || format == QLatin1String(" "))
        return;
    takeText(m_format, format);
}

void KivViewItem::setLove(int love)
{
    // A damaged file may hold any number: love stays within its hearts.
    love = qBound(0, love, MaxLove);
    if (love != m_love)
        m_modified = true;
    m_love = love;
}

void KivViewItem::setAlbumFolder(const QString &folder)
{
    m_albumFolder = folder;
    if (!folder.isEmpty() && !QFileInfo::exists(folder))
        QDir().mkdir(folder);
}

KivViewItem::RenameResult KivViewItem::checkRename(const QString &sourceFolder, const QString &oldFileName,
                                                  const QString &newFileName)
{
    if (sourceFolder.isEmpty() || !QFileInfo(sourceFolder).isDir())
        return RenameResult::NoSourceFolder;
    if (newFileName.isEmpty() || newFileName == QLatin1String(".") || newFileName == QLatin1String("..")
        || newFileName.contains(QLatin1Char('/')) || newFileName.contains(QLatin1Char('\\'))
        || newFileName.contains(QLatin1Char('\n')) || newFileName.contains(QLatin1Char('\r'))
        || newFileName.contains(QLatin1Char('|')))
        return RenameResult::InvalidName;
    const QString oldPicture = joinPath(sourceFolder, oldFileName);
    const QString newPicture = joinPath(sourceFolder, newFileName);
    // A name differing only in case is the same file on case-insensitive disks.
    if (newFileName != oldFileName && QFileInfo::exists(newPicture)
        && newPicture.compare(oldPicture, Qt::CaseInsensitive) != 0)
        return RenameResult::NameExists;
    return RenameResult::Renamed;
}

KivViewItem::RenameResult KivViewItem::rename(const QString &newFileName)
{
    if (const RenameResult check = checkRename(m_sourceFolder, m_fileName, newFileName); check != RenameResult::Renamed)
        return check;
    if (newFileName == m_fileName)
        return RenameResult::Renamed;

    const QString oldPicture = picturePath();
    const QString newPicture = joinPath(m_sourceFolder, newFileName);
    if (QFile::exists(oldPicture)) {
        // QFile::rename is an atomic rename within the folder: the picture is never
        // deleted before a complete copy exists under the new name.
        if (!QFile::rename(oldPicture, newPicture))
            return RenameResult::PictureNotMoved;
    }

    followRename(newFileName);
    return RenameResult::Renamed;
}

void KivViewItem::followRename(const QString &newFileName)
{
    if (!m_albumFolder.isEmpty()) {
        const QString target = joinPath(m_albumFolder, propertyFileNameFor(newFileName));
        if (QFileInfo::exists(propertyFilePath())) {
            moveCatalogueFile(propertyFilePath(), target);
        } else if (QFileInfo(legacyPropertyFilePath()).isFile() && !QFileInfo::exists(target)) {
            // Properties kept under the older shared name: the renamed picture takes a
            // copy under its own name; the older file stays while another picture reads it.
            if (QFile::copy(legacyPropertyFilePath(), target) && !legacySharedInAlbum())
                QFile::remove(legacyPropertyFilePath());
        }
        moveCatalogueFile(thumbnailPath(), joinPath(m_albumFolder, newFileName));
    }
    m_fileName = newFileName;
}
