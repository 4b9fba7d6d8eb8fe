#include "playlist.h"

#include "cataloguecontext.h"
#include "cataloguefile.h"
#include "kivviewitem.h"
#include "photoitem.h"
#include "pixmaplookup.h"

#include <QBrush>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QTreeWidget>
#include <algorithm>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const QString kTrue = QStringLiteral("True");

} // namespace

PlayList::PlayList(QTreeWidget *view)
    : QTreeWidgetItem(view)
{
    init();
}

PlayList::PlayList(QTreeWidgetItem *parent)
    : QTreeWidgetItem(parent)
{
    init();
}

PlayList::PlayList(QTreeWidgetItem *parent, QTreeWidgetItem *after)
    : QTreeWidgetItem(parent, after)
{
    init();
}

PlayList::PlayList(QTreeWidget *view, QTreeWidgetItem *after)
    : QTreeWidgetItem(view, after)
{
    init();
}

PlayList::~PlayList() = default;

QDate PlayList::today()
{
    // The date holds until the next local midnight.
    thread_local QDate date;
    thread_local qint64 until = 0;
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    if (now >= until || now < until - 25 * 3600 * 1000LL) {
        date = QDate::currentDate();
        until = date.addDays(1).startOfDay().toMSecsSinceEpoch();
    }
    return date;
}

void PlayList::init()
{
    setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled | Qt::ItemIsEditable | Qt::ItemIsDragEnabled
             | Qt::ItemIsDropEnabled);
    if (QTreeWidgetItem *above = QTreeWidgetItem::parent())
        m_group = above->text(1);
}

QVariant PlayList::data(int column, int role) const
{
    if ((role == Qt::BackgroundRole || role == Qt::ForegroundRole) && column >= 0 && column < 3) {
        const QVariant own = QTreeWidgetItem::data(column, role);
        if (own.isValid())
            return own;
        return QBrush(role == Qt::BackgroundRole ? m_background : m_text);
    }
    return QTreeWidgetItem::data(column, role);
}

bool PlayList::operator<(const QTreeWidgetItem &other) const
{
    const QTreeWidget *view = treeWidget();
    const int column = view ? view->sortColumn() : 0;
    const auto *album = dynamic_cast<const PlayList *>(&other);
    if (!album || isSmart() || album->isSmart())
        return QTreeWidgetItem::operator<(other);
    // Texts compare as the list compares them (case by case, code by code); anything
    // else (a row without a text there) the list's own way. Each text is fetched once:
    // thousands of albums are sorted at every start.
    int byText = 0;
    if (m_sortColumn == column && album->m_sortColumn == column) {
        byText = m_sortText.compare(album->m_sortText);
    } else {
        const QVariant a = data(column, Qt::DisplayRole), b = other.data(column, Qt::DisplayRole);
        const bool neither = !a.isValid() && !b.isValid();
        if (!neither && (a.userType() != QMetaType::QString || b.userType() != QMetaType::QString))
            return QTreeWidgetItem::operator<(other);
        byText = neither ? 0 : a.toString().compare(b.toString());
    }
    if (byText != 0)
        return byText < 0;
    // "dd.MM.yyyy.hh.mm.ss.zzz": the last twelve characters are the time of day. The
    // later one counts as the lesser, so the list's descending order puts the album
    // made first on top, as the albums of a day stood while they were made.
    const QString mine = kivDir(), theirs = album->kivDir();
    const int byTime = QStringView(mine).right(12).compare(QStringView(theirs).right(12));
    return byTime != 0 ? byTime > 0 : mine > theirs;
}

void PlayList::holdSortText(int column)
{
    const QVariant text = data(column, Qt::DisplayRole);
    if (text.userType() == QMetaType::QString) {
        m_sortText = text.toString();
        m_sortColumn = column;
    } else {
        dropSortText();
    }
}

void PlayList::dropSortText()
{
    m_sortText.clear();
    m_sortColumn = -1;
}

QString PlayList::idFor(const QString &name, const QDateTime &created)
{
    // The id names the album's file and folder: a character that would lead elsewhere
    // (a folder named "Back\slash" found by the locator) becomes "_".
    QString safe = name;
    for (QChar &c : safe) {
        if (c == QLatin1Char('/') || c == QLatin1Char('\\') || c == QLatin1Char('\n') || c == QLatin1Char('\r')
            || c.isNull())
            c = QLatin1Char('_');
    }
    return safe + created.toString(QStringLiteral("dd.MM.yyyy.hh.mm.ss.zzz"));
}

void PlayList::setId(const QDateTime &created)
{
    m_id = idFor(m_name, created);
}

void PlayList::setFreshId(const QDateTime &created)
{
    // The list puts albums of a day in the order of their ids' times: albums made in the
    // same millisecond (folders the locator found together) would stand in the order of
    // their names instead. Each new album's time comes after the last one's.
    static qint64 lastFresh = 0;
    QDateTime at = created.addMSecs(qMax<qint64>(0, lastFresh + 1 - created.toMSecsSinceEpoch()));
    // Albums made in the same millisecond under one name (two folders "Summer") would
    // share a file: the time moves on until the id is free.
    for (int tries = 0; tries < 100000; ++tries, at = at.addMSecs(1)) {
        setId(at);
        if (!m_context || (!QFileInfo::exists(filePath(m_id)) && !QFileInfo::exists(m_context->albumFolder(m_id))))
            break;
    }
    lastFresh = qMax(lastFresh, at.toMSecsSinceEpoch());
}

void PlayList::resetRows()
{
    storedRows().reset();
}

void PlayList::setRowColour(QColor *member, int role, const QColor &colour)
{
    *member = colour;
    // A colour a column was given of its own gives way.
    for (int column = 0; column < 3; ++column) {
        if (QTreeWidgetItem::data(column, role).isValid())
            setData(column, role, QVariant());
    }
    emitDataChanged();
}

void PlayList::setBackgroundColour(const QColor &colour)
{
    setRowColour(&m_background, Qt::BackgroundRole, colour);
}

void PlayList::setTextColour(const QColor &colour)
{
    setRowColour(&m_text, Qt::ForegroundRole, colour);
}

QString PlayList::albumFolder() const
{
    return m_context ? m_context->albumFolder(m_kivDir) : QString();
}

QString PlayList::filePath(const QString &kivDir) const
{
    return m_context ? m_context->folder + QLatin1Char('/') + kivDir + fileSuffix() : QString();
}

namespace {

// A value as it can stand in a row, whose texts are joined with "|": nobody can type a
// "|" (it is refused), but a property file written by hand or by an older program may
// hold one, which would push every later text of the row out of its place. In the row
// it becomes the broken bar; the property file keeps the value as it is, and holds the
// last word when the picture is shown.
QString rowText(QString value)
{
    return value.replace(QLatin1Char('|'), QChar(0x00A6));
}

} // namespace

QStringList PlayList::rowFor(const KivViewItem *record)
{
    const auto *photo = dynamic_cast<const PhotoItem *>(record);
    // The folder and the file name are never changed: a picture whose path holds "|"
    // is refused before it gets a row.
    return {rowText(record->fileType()),
            record->sourceFolder(),
            record->fileName(),
            rowText(record->title()),
            rowText(record->category()),
            rowText(record->comment()),
            QString::number(record->love()),
            QString::number(record->viewCount()),
            QString::number(record->userBadge()),
            rowText(record->format()),
            rowText(photo ? photo->personInit() : QString())};
}

std::unique_ptr<PhotoItem> PlayList::recordAt(int index)
{
    const QStringList row = storedRows().row(index);
    const QString file = row.value(AlbumRows::FileName);
    auto photo = std::make_unique<PhotoItem>(file);
    photo->setFileName(file);
    photo->setSourceFolder(row.value(AlbumRows::Folder));
    photo->setAlbumFolder(albumFolder());
    photo->setOwnerAlbum(this);
    photo->setFileType(row.value(AlbumRows::FileType));
    photo->setFormat(row.value(AlbumRows::Format));
    photo->setCategory(row.value(AlbumRows::Category));
    photo->setComment(row.value(AlbumRows::Comment));
    photo->setPersonInit(row.value(AlbumRows::Persons));
    photo->loadFromRow(row);
    photo->readProperties();
    return photo;
}

QString PlayList::typeOfFile(const QString &fileName) const
{
    const int index = storedRows().indexOfFile(fileName);
    return index < 0 ? QString() : storedRows().fieldText(index, AlbumRows::FileType);
}

QString PlayList::contentKind()
{
    if (m_contentKind != QLatin1String("UNKNOW") || storedRows().isEmpty())
        return m_contentKind;
    m_contentKind = kindOfRows(storedRows());
    return m_contentKind;
}

QString PlayList::kindOfRows(const AlbumRows &rows)
{
    if (rows.isEmpty())
        return QStringLiteral("UNKNOW");
    const QString undefined = QStringLiteral("Undefined");
    auto usable = [&](QStringView kind) { return !kind.trimmed().isEmpty() && kind != undefined; };
    QString kind = rows.fieldText(0, AlbumRows::FileType);
    // An empty file type (a folder's rescan leaves it empty) is no kind either: an
    // empty kind would drop out of its library row and shift the row's texts.
    if (!usable(kind)) {
        kind.clear();
        for (int i = 0; i < rows.count() && kind.isEmpty(); ++i) {
            if (usable(rows.field(i, AlbumRows::FileType)))
                kind = rows.fieldText(i, AlbumRows::FileType);
        }
        if (kind.isEmpty())
            kind = QStringLiteral("media");
    }
    // Compared as the rows' own bytes: most albums are of one kind, every row looked at.
    const QByteArray wanted = kind.toUtf8();
    for (int i = 0; i < rows.count() && kind != QLatin1String("media"); ++i) {
        const QByteArrayView other = rows.fieldUtf8(i, AlbumRows::FileType);
        if (other != QByteArrayView(wanted) && usable(QString::fromUtf8(other)))
            kind = QStringLiteral("media");
    }
    return kind;
}

void PlayList::presetContentKind(const QString &kind)
{
    if (m_contentKind == QLatin1String("UNKNOW") && !storedRows().isEmpty() && !kind.isEmpty())
        m_contentKind = kind;
}

QPixmap PlayList::icon(bool open)
{
    const bool pictureIcons = m_context && m_context->albumIconType;
    if (pictureIcons && !open && promisesRows() && rowCount() > 0) {
        // The first picture's thumbnail: from the album's cache when it is there (the
        // cache fills in the order thumbnails arrive, not in the album's), else from its
        // thumbnail file.
        const QString first = storedRows().fieldText(0, AlbumRows::FileName);
        // A missing first picture's blank is no icon: the album's own picture is shown.
        const qint64 missing = missingThumbnail().cacheKey();
        for (const ThumbCacheEntry &entry : std::as_const(m_thumbCache)) {
            if (entry.fileName == first && !entry.pixmap.isNull() && entry.pixmap.cacheKey() != missing)
                return entry.pixmap;
        }
        // Read when asked, not kept: the list keeps it at its own small size, and
        // thousands of albums' full thumbnails would hold a hundred megabytes.
        QPixmap firstIcon;
        const QString file = m_context->albumFolder(m_kivDir) + QLatin1Char('/') + first;
        // Read past the pixmap cache, which would keep thousands of them up to its limit.
        if (isSafeKivDir(m_kivDir) && QFileInfo(file).isFile())
            firstIcon = QPixmap::fromImage(QImageReader(file).read());
        if (!firstIcon.isNull())
            return firstIcon;
    }
    // Rows still to come: the picture of what the file promises; the content kind comes
    // with the rows.
    if (rowsPending())
        return kivPixmap(promisesRows() ? filledIconName() : emptyIconName());
    if (rowCount() > 0) {
        contentKind();
        return kivPixmap(filledIconName());
    }
    return kivPixmap(emptyIconName());
}

int PlayList::indexOfPath(const QString &path) const
{
    for (int i = 0; i < storedRows().count(); ++i) {
        const QString folder = QDir::fromNativeSeparators(storedRows().fieldText(i, AlbumRows::Folder));
        if (folder + QLatin1Char('/') + storedRows().fieldText(i, AlbumRows::FileName) == path)
            return i;
    }
    return -1;
}

bool PlayList::isSafeKivDir(const QString &kivDir)
{
    return !kivDir.isEmpty() && kivDir != QLatin1String(".") && kivDir != QLatin1String("..")
           && !kivDir.contains(QLatin1Char('/')) && !kivDir.contains(QLatin1Char('\\'))
           && !kivDir.contains(QLatin1Char('\n')) && !kivDir.contains(QLatin1Char('\r'))
           && !kivDir.contains(QChar(0));
}

bool PlayList::isLink(const QString &path)
{
    QByteArray entryPath = QFile::encodeName(path);
    while (entryPath.size() > 1 && entryPath.endsWith('/'))
        entryPath.chop(1);
    struct stat entry;
    return ::lstat(entryPath.constData(), &entry) == 0 && S_ISLNK(entry.st_mode);
}

bool PlayList::isLinkAt(int folderFd, const QString &name)
{
    struct stat entry;
    return ::fstatat(folderFd, QFile::encodeName(name).constData(), &entry, AT_SYMLINK_NOFOLLOW) == 0
           && S_ISLNK(entry.st_mode);
}

bool PlayList::albumFolderEscapes(std::optional<bool> folderIsLink) const
{
    if (!m_context)
        return false;
    // A safe KivDir names one entry of the catalogue folder: unless that entry is a link,
    // the folder is in the catalogue, wherever the catalogue itself lies. One look at
    // the entry itself (this runs for every album at start).
    const QString path = m_context->albumFolder(m_kivDir);
    if (isSafeKivDir(m_kivDir))
        return folderIsLink ? *folderIsLink : isLink(path);
    if (isLink(path))
        return true;
    const QFileInfo folder(path);
    if (!folder.exists())
        return false;
    const QString catalogue = QFileInfo(m_context->folder).canonicalFilePath();
    return catalogue.isEmpty() || QFileInfo(folder.canonicalFilePath()).path() != catalogue;
}

QString PlayList::writeRefusal(std::optional<bool> folderIsLink) const
{
    // Whether the file is whole is known once its rows are in.
    takePendingRows();
    if (m_heldInMemory)
        return QStringLiteral("The pictures of \"%1\" are in no album: add them to an album to keep them.").arg(m_name);
    if (m_fileState == FileState::Damaged)
        return QStringLiteral("The file of the album \"%1\" cannot be read (%2); it is left as it is.")
            .arg(m_name.isEmpty() ? m_kivDir : m_name, m_damage);
    if (!isSafeKivDir(m_kivDir))
        return QStringLiteral("The album \"%1\" names a place outside the catalogue (\"%2\"); it is left as it is.")
            .arg(m_name, m_kivDir);
    if (albumFolderEscapes(folderIsLink))
        return QStringLiteral("The folder of the album \"%1\" leads outside the catalogue; it is left as it is.")
            .arg(m_name.isEmpty() ? m_kivDir : m_name);
    return {};
}

bool PlayList::writeAlbumFile(const QString &kivDir, const QString *from)
{
    if (kivDir.isEmpty() || !m_context)
        return false;
    if (!m_dirty)
        return true;
    if (const QString refusal = writeRefusal(); !refusal.isEmpty()) {
        m_lastError = refusal;
        return false;
    }
    if (!isSafeKivDir(kivDir)) {
        m_lastError = QStringLiteral("\"%1\" cannot name an album file.").arg(kivDir);
        return false;
    }
    const QString folder = m_context->albumFolder(kivDir);
    const bool madeFolder = !QFileInfo::exists(folder) && QDir().mkpath(folder);
    // Made in UTF-8 straight from the rows, which hold it: a large album's file was made
    // as a text twice its size first, then converted.
    const AlbumRows &rows = storedRows();
    qsizetype size = 256 + kivDir.size() * 3 + m_title.size() * 3 + (from ? from->size() * 3 : 0);
    for (int i = 0; i < rows.count(); ++i)
        size += rows.utf8(i).size() + 16;  // "File=", the line end, " " for empty texts
    QByteArray text;
    text.reserve(size);
    const char crlf[] = "\r\n";
    text += "KivDir=" + kivDir.toUtf8() + crlf;
    if (from)
        text += "From=" + from->toUtf8() + crlf;
    text += "Title=" + m_title.toUtf8() + crlf;
    text += "Dirty=" + (m_dirty ? kTrue : QStringLiteral("False")).toUtf8() + crlf;
    text += "CreationDate=" + m_creationDate.toString(Qt::ISODate).toUtf8() + crlf;
    text += "NumFile=" + QByteArray::number(rows.count()) + crlf;
    for (int i = 0; i < rows.count(); ++i) {
        text += "File=";
        rows.appendFileText(i, text);
        text += crlf;
    }
    if (!CatalogueFile::writeBytes(filePath(kivDir), text)) {
        m_lastError = QStringLiteral("The album file %1 could not be written (%2).")
                          .arg(filePath(kivDir), CatalogueFile::lastWriteError());
        // A folder made for a file that could not be written (a name too long, a full
        // disk) is not left behind.
        if (madeFolder)
            QDir().rmdir(folder);
        return false;
    }
    m_lastError.clear();
    m_dirty = false;
    return true;
}

PlayList::AlbumFile PlayList::readFile(const QString &path, const QString &suffix, bool withFolder)
{
    AlbumFile file;
    QByteArray bytes;
    QString why;
    if (!QFileInfo::exists(path) && !QFileInfo(path).isSymLink()) {
        file.state = FileState::Missing;
        return file;
    }
    if (!CatalogueFile::readBytes(path, &bytes, &why)) {
        file.state = FileState::Damaged;
        file.damage = why;
        return file;
    }
    return parseFile(bytes, path, suffix, withFolder);
}

PlayList::AlbumFile PlayList::parseFile(const QByteArray &bytes, const QString &path, const QString &suffix,
                                        bool withFolder)
{
    AlbumFile file;
    auto damaged = [&file](const QString &why) {
        file.state = FileState::Damaged;
        file.damage = why;
        file.rows.reset();
        return std::move(file);
    };
    CatalogueFile::LineReader lines(bytes);
    const QByteArrayView first = lines.next();
    if (!first.startsWith("KivDir="))
        return damaged(QStringLiteral("its first line is not \"KivDir=\""));
    file.kivDir = lines.text(first.sliced(7));
    // The album is written back to the file its KivDir names, and read from the file its
    // id names: a file naming another album would take every change to that one, and
    // the next start would read this one without them.
    const QString fileName = QFileInfo(path).fileName();
    if (fileName != file.kivDir + suffix) {
        // Its first line may be the whole file (line ends of another kind): a few words
        // of it name it in a message.
        const QString named = file.kivDir.size() > 80 ? file.kivDir.left(60) + QStringLiteral("...") : file.kivDir;
        return damaged(QStringLiteral("its \"KivDir=\" line names another album file, \"%1\"").arg(named + suffix));
    }
    if (withFolder) {
        file.from = lines.value(5);
        file.headerRead = true;
    }
    file.title = lines.value(6);
    file.dirty = lines.value(6);
    file.created = lines.value(13);
    const QByteArrayView countLine = lines.next();
    bool numeric = false;
    const int numFile = countLine.startsWith("NumFile=") ? lines.text(countLine.sliced(8)).trimmed().toInt(&numeric) : 0;
    if (!numeric || numFile < 0)
        return damaged(QStringLiteral("its \"NumFile=\" line holds no count"));
    file.promised = numFile;

    AlbumRows &rows = file.rows;
    // The count is only a promise: room is made for the rows actually present.
    // A row takes at least its key, its ten bars and a line end.
    rows.reserve(int(qMin<qint64>(numFile, bytes.size() / 16 + 1)));
    rows.reserveText(bytes.size());
    for (int i = 0; i < numFile && !lines.atEnd(); ++i) {
        const QByteArrayView row = lines.next();
        const QByteArrayView text = row.sliced(qMin<qsizetype>(5, row.size()));
        if (lines.utf8())
            rows.appendFromFileUtf8(text);
        else
            rows.appendFromFile(lines.text(text));
    }
    rows.squeeze();
    // The last row read without its line end (every row is written with one): the file
    // was cut in the middle of a row, which would be read wrong and written back cut.
    file.rowsRead = true;
    const bool ended = bytes.endsWith('\n') || bytes.endsWith('\r');
    if (!ended && (rows.count() < numFile || (rows.count() > 0 && lines.atEnd())))
        return damaged(QStringLiteral("it is cut short in the middle of a row"));
    // More rows than counted: those past the count would be dropped by the next write.
    while (!lines.atEnd()) {
        if (lines.next().startsWith("File="))
            return damaged(QStringLiteral("it holds more rows than its \"NumFile=\" line counts"));
    }
    file.state = FileState::Loaded;
    return file;
}

bool PlayList::takeFile(AlbumFile &&file, QString *from)
{
    setFileState(file.state, file.damage);
    if (from && file.headerRead)
        *from = file.from;
    if (file.state != FileState::Loaded) {
        // Rows read from a file found damaged after them are not kept; a file that
        // could not be begun leaves the album as it was.
        if (file.rowsRead)
            storedRows().reset();
        return false;
    }
    storedRows() = std::move(file.rows);
    m_kivDir = file.kivDir;
    m_title = file.title;
    m_dirty = file.dirty != kTrue;
    m_creationDate = QDate::fromString(file.created, Qt::ISODate);
    return true;
}

void PlayList::setPendingRows(std::shared_ptr<RowSource> source, int job, int promised)
{
    m_rowSource = std::move(source);
    m_rowJob = job;
    m_promised = promised;
}

void PlayList::takePendingRows() const
{
    if (!m_rowSource)
        return;
    // The album is not const, only this use of it: its rows were simply read late.
    auto *self = const_cast<PlayList *>(this);
    // Let go first: what the arrival does with the album finds its rows in.
    const std::shared_ptr<RowSource> source = std::move(self->m_rowSource);
    self->m_rowSource.reset();
    self->takeRows(source->take(m_rowJob));
    source->arrived(self);
}

void PlayList::takeRows(AlbumFile &&file)
{
    // The header's texts were taken when the header was read (and may have been changed
    // since): only the rows and the file's state come now.
    setFileState(file.state, file.damage);
    if (file.state != FileState::Loaded || !file.rowsRead) {
        m_rows.reset();
        if (file.state == FileState::Loaded)
            setFileState(FileState::Damaged, QStringLiteral("its rows could not be read"));
        return;
    }
    m_rows = std::move(file.rows);
    presetContentKind(file.contentKind);
}

PlayList::AlbumFile PlayList::readHeader(const QString &path, const QString &suffix, bool withFolder, int folderFd)
{
    // A header is a few short lines; a file this small is read whole at once.
    constexpr qint64 kHeaderBytes = 4096;
    // A link, anything but a plain file, a file that small or one that cannot be opened
    // is read whole (which says what is wrong). One open, one look at what was opened and
    // one read: exactly the header's bytes, not a buffer's worth more.
    const QByteArray name =
        QFile::encodeName(folderFd >= 0 ? path.sliced(path.lastIndexOf(QLatin1Char('/')) + 1) : path);
    const int fd = ::openat(folderFd >= 0 ? folderFd : AT_FDCWD, name.constData(),
                            O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
    if (fd < 0)
        return readFile(path, suffix, withFolder);
    struct stat opened;
    QByteArray head(kHeaderBytes, Qt::Uninitialized);
    // A plain file's read gives all it is asked for; anything less (an error) is left to
    // the whole file's reading.
    ssize_t got = 0;
    if (::fstat(fd, &opened) == 0 && S_ISREG(opened.st_mode) && opened.st_size > kHeaderBytes)
        got = ::read(fd, head.data(), size_t(kHeaderBytes));
    ::close(fd);
    if (got != kHeaderBytes)
        return readFile(path, suffix, withFolder);
    // The header's lines, each ended, all within the bytes read, and plain ASCII (read
    // the same whichever way the whole file turns out to be encoded).
    const int lines = withFolder ? 6 : 5;
    qsizetype end = 0;
    for (int i = 0; i < lines && end >= 0; ++i) {
        end = head.indexOf('\n', end);
        if (end >= 0)
            ++end;
    }
    if (end < 0 || std::any_of(head.begin(), head.begin() + end, [](char c) { return (c & 0x80) != 0; }))
        return readFile(path, suffix, withFolder);
    AlbumFile header = parseFile(head.left(end), path, suffix, withFolder);
    // Anything but a header that reads well and promises rows is left to the whole
    // file's reading, which says what is wrong with it exactly as at any other time.
    if (header.state != FileState::Loaded || header.rows.count() != 0 || header.promised <= 0)
        return readFile(path, suffix, withFolder);
    header.headerOnly = true;
    header.rowsRead = false;
    return header;
}

bool PlayList::readAlbumFile(const QString &path, QString *from)
{
    return takeFile(readFile(path, fileSuffix(), from != nullptr), from);
}

bool PlayList::save(const QString &kivDir)
{
    return writeAlbumFile(kivDir, nullptr);
}

bool PlayList::load(const QString &path)
{
    return readAlbumFile(path, nullptr);
}

const AlbumRows &PlayList::rows()
{
    return storedRows();
}

bool PlayList::removeAlbumFolder() const
{
    const QString folder = albumFolder();
    if (!isSafeKivDir(m_kivDir) || folder.isEmpty() || albumFolderEscapes())
        return false;
    QDir dir(folder);
    const QStringList filter{QStringLiteral("*.kiv"), QStringLiteral("*.jpg"), QStringLiteral("*.bmp"),
                             QStringLiteral("*.gif"), QStringLiteral("*.png"), QStringLiteral("*.mng"),
                             QStringLiteral("*.xbm"), QStringLiteral("*.xpm")};
    for (const QString &name : dir.entryList(filter, QDir::Files)) {
        if (!name.contains(QLatin1String(".dir")) && !name.contains(QLatin1String(".db")))
            dir.remove(name);
    }
    QDir().rmdir(folder);
    return true;
}

bool PlayList::removeFiles()
{
    if (!writeRefusal().isEmpty())
        return false;
    if (!m_kivDir.isEmpty() && m_context) {
        const QString file = filePath(m_kivDir);
        if (QFileInfo(file).isFile() || QFileInfo(file).isSymLink())
            QFile::remove(file);
    }
    return removeAlbumFolder();
}

bool PlayList::addRecord(const KivViewItem *record)
{
    if (!record)
        return false;
    storedRows().append(rowFor(record));
    m_dirty = true;
    return true;
}

void PlayList::dropRow(const QString &fileName)
{
    const int index = storedRows().indexOfFile(fileName);
    if (index >= 0)
        storedRows().removeAt(index);
}

bool PlayList::removeRecord(const KivViewItem *record)
{
    if (!record)
        return false;
    const int index = storedRows().indexOfFile(record->fileName());
    if (index < 0)
        return false;
    storedRows().removeAt(index);
    m_dirty = true;
    return true;
}

bool PlayList::updateRow(const KivViewItem *record)
{
    if (!record)
        return false;
    const int index = storedRows().indexOfFile(record->fileName());
    if (index < 0)
        return false;
    const QStringList row = rowFor(record);
    // A changed row must reach the file: the album is saved only when dirty.
    if (storedRows().row(index) != row) {
        storedRows().replace(index, row);
        m_dirty = true;
    }
    return true;
}

bool PlayList::replaceRow(const QString &fileName, const KivViewItem *record)
{
    if (!record)
        return false;
    const int index = storedRows().indexOfFile(fileName);
    if (index < 0)
        return false;
    storedRows().replace(index, rowFor(record));
    m_dirty = true;
    return true;
}

bool PlayList::swapRows(const KivViewItem *a, const KivViewItem *b)
{
    if (!a || !b)
        return false;
    const int first = storedRows().indexOfFile(a->fileName());
    const int second = storedRows().indexOfFile(b->fileName());
    if (first < 0 || second < 0)
        return false;
    storedRows().swap(first, second);
    m_dirty = true;
    return true;
}

bool PlayList::moveRow(const KivViewItem *from, const KivViewItem *to)
{
    if (!from || !to)
        return false;
    const int first = storedRows().indexOfFile(from->fileName());
    const int second = storedRows().indexOfFile(to->fileName());
    if (first < 0 || second < 0)
        return false;
    storedRows().move(first, second);
    m_dirty = true;
    return true;
}

bool PlayList::clear()
{
    if (const QString refusal = writeRefusal(); !refusal.isEmpty()) {
        m_lastError = refusal;
        return false;
    }
    storedRows().reset();
    m_thumbCache.clear();
    const QString folder = albumFolder();
    if (!m_kivDir.isEmpty() && !folder.isEmpty()) {
        QDir dir(folder);
        for (const QString &name : dir.entryList(QDir::Files | QDir::Hidden | QDir::System))
            dir.remove(name);
        QDir().rmdir(folder);
    }
    m_dirty = true;
    // A failed save keeps the album dirty, so the next save tries again.
    return save(m_kivDir);
}

std::unique_ptr<KivViewItem> PlayList::createRecord(const QString &path)
{
    if (path.isEmpty() || !QFileInfo(path).isFile())
        return nullptr;
    const QString clean = QDir::fromNativeSeparators(path);
    const qsizetype cut = clean.lastIndexOf(QLatin1Char('/'));
    const QString fileName = clean.mid(cut + 1);
    auto record = std::make_unique<KivViewItem>(fileName);
    record->setFileName(fileName);
    record->setSourceFolder(cut < 0 ? QString() : clean.left(cut));
    m_dirty = true;
    return record;
}

void PlayList::putThumbCacheInRowOrder()
{
    if (m_thumbCache.isEmpty())
        return;
    // The first entry of each file name. The keys view the names held by
    // m_thumbCache, which stays as it is until `ordered` replaces it.
    QHash<QStringView, qsizetype> firstEntry;
    firstEntry.reserve(m_thumbCache.size());
    for (qsizetype i = m_thumbCache.size() - 1; i >= 0; --i)
        firstEntry.insert(m_thumbCache.at(i).fileName, i);
    QList<ThumbCacheEntry> ordered;
    ordered.reserve(m_thumbCache.size());
    for (int i = 0; i < storedRows().count(); ++i) {
        const qsizetype entry = firstEntry.value(storedRows().field(i, AlbumRows::FileName), -1);
        if (entry >= 0)
            ordered.append(m_thumbCache.at(entry));
    }
    m_thumbCache = ordered;
}

bool PlayList::syncRow(const KivViewItem *record)
{
    const bool updated = updateRow(record);
    putThumbCacheInRowOrder();
    return updated;
}

bool PlayList::commit()
{
    return save(m_kivDir);
}

const QPixmap &PlayList::missingThumbnail()
{
    static const QPixmap blank = QPixmap::fromImage(ThumbnailMaker::blank());
    return blank;
}

QPixmap PlayList::cachedThumbnail(const QList<ThumbCacheEntry> &cache, const QString &thumbnailFolder, int index,
                                  const QString &fileName)
{
    if (index >= 0 && index < cache.size() && cache.at(index).fileName == fileName && !cache.at(index).pixmap.isNull())
        return cache.at(index).pixmap;
    for (const ThumbCacheEntry &entry : cache) {
        if (entry.fileName == fileName && !entry.pixmap.isNull())
            return entry.pixmap;
    }
    if (!thumbnailFolder.isEmpty()) {
        const QString thumbnail = thumbnailFolder + QLatin1Char('/') + fileName;
        if (QFileInfo(thumbnail).isFile())
            return QPixmap(thumbnail);
    }
    return {};
}
