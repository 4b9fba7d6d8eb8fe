#pragma once

#include "albumrows.h"

#include <QColor>
#include <QDate>
#include <QDateTime>
#include <QPixmap>
#include <QTreeWidgetItem>
#include <memory>
#include <optional>

struct CatalogueContext;
class KivViewItem;
class PhotoItem;

// A plain album: a named, ordered set of pictures, kept as one text row per picture
// (the album does not hold picture records) in the file <id>.db of the catalogue
// folder, with its thumbnails and property files in the folder <id>. Every kind of
// album is an item of the album list and derives from this class.
class PlayList : public QTreeWidgetItem
{
public:
    struct ThumbCacheEntry
    {
        QPixmap pixmap;
        QString fileName;
        QDateTime time;
    };

    // What loading found. A damaged album file (unreadable, not a regular file, junk)
    // is never replaced: the album is invalid and refuses every write.
    enum class FileState { NotLoaded, Loaded, Missing, Damaged };

    // What a plain or dynamic album file holds, read apart from any album (on any
    // thread): its state, and when it was read whole, its header's texts and its rows.
    struct AlbumFile
    {
        FileState state = FileState::NotLoaded;
        QString damage;
        bool headerRead = false;  // its folder's line read
        bool rowsRead = false;
        QString kivDir, from, title, dirty, created;
        // Only the header was read (readHeader): the rows are still to be read.
        bool headerOnly = false;
        int promised = 0;  // the "NumFile=" count
        AlbumRows rows;
        // The rows' content kind, when the reader was asked for it (kindOfRows).
        QString contentKind;
        // The album folder the reader looked at (the KivDir the album will have), when
        // it was asked to, and whether it found a symbolic link there (folderIsLink).
        QString folderLooked;
        bool folderIsLink = false;
    };
    // `suffix` is the album kind's file suffix, which the file's name must end in; a
    // dynamic album's file has its folder's line (`withFolder`).
    static AlbumFile readFile(const QString &path, const QString &suffix, bool withFolder);
    // The same for a file whose rows can wait: its header alone when the file is larger
    // than its first few kilobytes and they hold a plain (ASCII) header that reads well;
    // else the whole file, as readFile. With `folderFd`, an open descriptor of the folder
    // `path` is in, the file is opened by its name in that folder (thousands of albums are
    // read at a start: a look up of the whole path each time is most of the reading).
    static AlbumFile readHeader(const QString &path, const QString &suffix, bool withFolder, int folderFd = -1);

    // Where the rows of an album whose header alone was read come from (the window reads
    // them once it shows). Any use of the album's rows, its file state or its validity
    // takes them first, waiting for them when they are not read yet.
    class RowSource
    {
    public:
        virtual ~RowSource() = default;
        // The whole file of job `job`: read now, or waited for.
        virtual AlbumFile take(int job) = 0;
        // The rows of `album` are in (or its file was found damaged).
        virtual void arrived(PlayList *album) = 0;
    };
    void setPendingRows(std::shared_ptr<RowSource> source, int job, int promised);
    bool rowsPending() const { return bool(m_rowSource); }
    // Takes the rows in when they are still to come (on the window's thread only).
    void takePendingRows() const;
    // Whether the album holds rows, or while they are still to come, whether its file
    // promises some: answered without waiting for them.
    bool promisesRows() const { return m_rowSource ? m_promised > 0 : !m_rows.isEmpty(); }

    explicit PlayList(QTreeWidget *view = nullptr);
    explicit PlayList(QTreeWidgetItem *parent);
    PlayList(QTreeWidgetItem *parent, QTreeWidgetItem *after);
    PlayList(QTreeWidget *view, QTreeWidgetItem *after);
    ~PlayList() override;

    // The list's order. Stored albums of one day (the year view sorts by date) stand in
    // the order they were made, by the time of day their ids end in: the same order
    // after every start, whatever order they were loaded or inserted in.
    bool operator<(const QTreeWidgetItem &other) const override;
    // While the list sorts thousands of albums at once: the text the album shows in
    // `column`, fetched once before the sort rather than twice at each of its
    // comparisons. Dropped once sorted (a later change of the text would not be seen).
    void holdSortText(int column);
    void dropSortText();
    // The row's colours come from the album (not stored in each column of each of
    // thousands of rows).
    QVariant data(int column, int role) const override;

    // Today's date, as QDate::currentDate() gives it, without working the local time out
    // again for each of thousands of albums made at start.
    static QDate today();

    // The id format: name followed by "dd.MM.yyyy.hh.mm.ss.zzz".
    static QString idFor(const QString &name, const QDateTime &created);

    void setContext(const CatalogueContext *context) { m_context = context; }
    const CatalogueContext *context() const { return m_context; }

    virtual QString id() const { return m_id; }
    virtual void setId(const QDateTime &created);
    // An id from `created` (a millisecond later, and so on) that no album of the catalogue
    // uses yet.
    void setFreshId(const QDateTime &created);
    virtual bool isDirty() const { return m_dirty; }
    virtual void setDirty(bool dirty) { m_dirty = dirty; }
    virtual QString title() const { return m_title; }
    virtual QString kivDir() const { return m_kivDir; }
    virtual void setKivDir(const QString &kivDir) { m_kivDir = kivDir; }
    virtual QString className() const { return QStringLiteral("Playlist"); }
    virtual const AlbumRows &rowTable() const { return storedRows(); }
    virtual void resetRows();
    virtual QPixmap icon(bool open);
    // The album list shows the kind's own picture until it has fitted the first
    // picture's thumbnail as the icon (it reads thousands of them after showing).
    bool iconPending() const { return m_iconPending; }
    void setIconPending(bool pending) { m_iconPending = pending; }
    virtual int indexOfPath(const QString &path) const;
    virtual bool save(const QString &kivDir);
    virtual bool load(const QString &path);
    // The same from a file read already (readFile), with this kind's suffix and folder
    // line: the catalogue's files are read on several threads at once.
    virtual bool loadRead(AlbumFile &&file) { return takeFile(std::move(file), nullptr); }
    // The album's rows as they are to be shown: stored rows, a folder's rescan, a query.
    virtual const AlbumRows &rows();
    virtual bool removeFiles();
    virtual bool addRecord(const KivViewItem *record);
    virtual bool removeRecord(const KivViewItem *record);
    virtual bool updateRow(const KivViewItem *record);
    virtual bool replaceRow(const QString &fileName, const KivViewItem *record);
    virtual bool swapRows(const KivViewItem *a, const KivViewItem *b);
    virtual bool moveRow(const KivViewItem *from, const KivViewItem *to);
    virtual bool clear();
    // A record for a picture file, or none when the path is empty or the file missing.
    virtual std::unique_ptr<KivViewItem> createRecord(const QString &path);
    virtual bool syncRow(const KivViewItem *record);
    virtual bool commit();
    // Whether the album's thumbnails were loaded from the catalogue folder.
    virtual bool isLoaded() const { return m_loaded; }
    virtual void setLoaded(bool loaded) { m_loaded = loaded; }

    QString name() const { return m_name; }
    void setName(const QString &name) { m_name = name; }
    void setTitle(const QString &title) { m_title = title; }
    QString group() const { return m_group; }
    void setGroup(const QString &group) { m_group = group; }
    int rowCount() const { return storedRows().count(); }
    QDate creationDate() const { return m_creationDate; }
    void setCreationDate(const QDate &date) { m_creationDate = date; }
    int indexOfFile(const QString &fileName) const { return storedRows().indexOfFile(fileName); }
    // Takes the row of a file name out of the table only (no file is touched).
    void dropRow(const QString &fileName);
    // Puts the texts of one row, changed by the caller, back at `index`.
    void setRow(int index, const QStringList &row)
    {
        storedRows().replace(index, row);
        m_dirty = true;
    }
    QString typeOfFile(const QString &fileName) const;
    QString contentKind();
    // The content kind of a set of rows ("UNKNOW" for none): their one file type, or
    // "media" when they mix kinds.
    static QString kindOfRows(const AlbumRows &rows);
    // Takes a content kind worked out from the rows as they were loaded (on the thread
    // that read them), unless the album has one already.
    void presetContentKind(const QString &kind);
    QString storedContentKind() const { return m_contentKind; }
    // The colours of the album's row, its three columns alike (a colour set on one
    // column alone, as a highlight, stands until the row's colour is set again).
    QColor backgroundColour() const { return m_background; }
    void setBackgroundColour(const QColor &colour);
    QColor textColour() const { return m_text; }
    void setTextColour(const QColor &colour);
    bool isSmart() const { return m_smart; }
    // An album made in memory for pictures opened from outside the catalogue (the
    // command line): shown and stepped through, never written, and its pictures keep
    // no tags until they are added to a stored album.
    bool isHeldInMemory() const { return m_heldInMemory; }
    void setHeldInMemory(bool held) { m_heldInMemory = held; }
    bool isValid() const
    {
        takePendingRows();
        return m_valid;
    }
    void setValid(bool valid) { m_valid = valid; }

    FileState fileState() const
    {
        takePendingRows();
        return m_fileState;
    }
    // Why the album file was found damaged, in a few words.
    QString damage() const { return m_damage; }
    // Why the album cannot be written or deleted through, or an empty text. Covers a
    // damaged file and a `KivDir` that would lead out of the catalogue folder.
    // `folderIsLink`, when given, is what a look at the album's folder found a moment
    // ago (at start, on a reading thread): that look is not made again.
    QString writeRefusal(std::optional<bool> folderIsLink = std::nullopt) const;
    // Why the last save failed, in a sentence; empty after a successful one.
    QString lastError() const { return m_lastError; }
    void setLastError(const QString &error) { m_lastError = error; }
    // A `KivDir` names one file and one folder inside the catalogue folder: not empty,
    // no separator, not "." or "..", no line end.
    static bool isSafeKivDir(const QString &kivDir);
    // The album folder exists as a symbolic link, or resolves outside the catalogue
    // folder: nothing may be written or deleted through it. `folderIsLink` as above.
    bool albumFolderEscapes(std::optional<bool> folderIsLink = std::nullopt) const;
    // There is a symbolic link at `path` (not followed; nothing there is no link).
    static bool isLink(const QString &path);
    // The same for the entry `name` of the folder open as `folderFd`.
    static bool isLinkAt(int folderFd, const QString &name);

    // The album's folder of thumbnails and property files.
    QString albumFolder() const;
    // The album's file in the catalogue folder (under its `KivDir`).
    QString storedFilePath() const { return filePath(m_kivDir); }
    // The row of a record, in the order of the row table.
    static QStringList rowFor(const KivViewItem *record);
    // The picture of row `index` as the window shows it: the row's values, then its
    // property file's, which hold the last word.
    std::unique_ptr<PhotoItem> recordAt(int index);

    QList<ThumbCacheEntry> &thumbCache() { return m_thumbCache; }
    // The folder of the album's thumbnail files; empty for an album without one (a query
    // album, an album made in memory).
    QString thumbnailFolder() const { return m_context && !isSmart() ? albumFolder() : QString(); }
    // The thumbnail of row `index`, file `fileName`: from `cache` (in row order when it is
    // whole, else searched by name), else the file in `thumbnailFolder`; null when neither
    // holds it.
    // The thumbnail every missing picture shares (the blank canvas).
    static const QPixmap &missingThumbnail();
    static QPixmap cachedThumbnail(const QList<ThumbCacheEntry> &cache, const QString &thumbnailFolder, int index,
                                   const QString &fileName);
    const QList<ThumbCacheEntry> &thumbCache() const { return m_thumbCache; }

protected:
    // The pictures of an empty and of a filled album.
    virtual QString emptyIconName() const { return QStringLiteral("playlist.png"); }
    virtual QString filledIconName() const { return QStringLiteral("playlist-photo.png"); }
    virtual QString fileSuffix() const { return QStringLiteral(".db"); }
    QString filePath(const QString &kivDir) const;
    void setSmart(bool smart) { m_smart = smart; }
protected:
    // An album file's text, as readFile reads it (`path` names the file it came from).
    static AlbumFile parseFile(const QByteArray &bytes, const QString &path, const QString &suffix, bool withFolder);
    // Takes what readFile found as the album's own (`from` gets the dynamic album's
    // folder); false when the file was missing or damaged.
    bool takeFile(AlbumFile &&file, QString *from);
    // Reads or writes a plain or dynamic album file (the dynamic one with From=).
    bool writeAlbumFile(const QString &kivDir, const QString *from);
    bool readAlbumFile(const QString &path, QString *from);
    // Deletes the album's catalogue files (thumbnails, property files) and its folder.
    // False when the folder is not safely inside the catalogue folder.
    bool removeAlbumFolder() const;
    void setFileState(FileState state, const QString &why = QString())
    {
        m_fileState = state;
        m_damage = why;
    }

    void putThumbCacheInRowOrder();

    // The album's stored rows, taken in first when they are still to come.
    AlbumRows &storedRows()
    {
        takePendingRows();
        return m_rows;
    }
    const AlbumRows &storedRows() const
    {
        takePendingRows();
        return m_rows;
    }

private:
    void init();
    void setRowColour(QColor *member, int role, const QColor &colour);
    // The rows (or the damage) of a file read whole after its header.
    void takeRows(AlbumFile &&file);

    AlbumRows m_rows;
    std::shared_ptr<RowSource> m_rowSource;
    int m_rowJob = -1;
    int m_promised = 0;

    const CatalogueContext *m_context = nullptr;
    QString m_name;
    QString m_id;
    QString m_kivDir;
    QString m_sortText;
    int m_sortColumn = -1;
    QString m_title;
    QString m_group = QStringLiteral("NONE");
    QString m_contentKind = QStringLiteral("UNKNOW");
    bool m_dirty = false;
    QDate m_creationDate = today();
    QColor m_background = QColor(231, 228, 231);
    QColor m_text = Qt::black;
    bool m_smart = false;
    bool m_heldInMemory = false;
    bool m_valid = true;
    bool m_loaded = false;
    FileState m_fileState = FileState::NotLoaded;
    QString m_damage;
    QString m_lastError;
    QList<ThumbCacheEntry> m_thumbCache;
    // The first picture's thumbnail as the album's icon, read from its thumbnail file
    // once (the album need not have been opened); with the file name it is of.
    bool m_iconPending = false;
};

// Forwards the four album-list constructors of a base class and runs the subclass's
// own set-up after them.
#define KIV_ALBUM_CONSTRUCTORS(Class, Base)                                                               \
    explicit Class(QTreeWidget *view = nullptr) : Base(view) { init(); }                                 \
    explicit Class(QTreeWidgetItem *parent) : Base(parent) { init(); }                                   \
    Class(QTreeWidgetItem *parent, QTreeWidgetItem *after) : Base(parent, after) { init(); }             \
    Class(QTreeWidget *view, QTreeWidgetItem *after) : Base(view, after) { init(); }
