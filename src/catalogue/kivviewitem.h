#pragma once

#include <QDateTime>
#include <QPixmap>
#include <QString>
#include <QStringList>

#include <memory>

class PlayList;

// A text of a record takes a new value only when it differs. Every change of several
// pictures reads their property files again first: the same texts read back keep the
// strings the records hold, often one shared by thousands of records, instead of each
// record taking a copy of its own among the change's short-lived data (which would pin
// that memory once the change is over).
inline void takeText(QString &field, const QString &value)
{
    if (field.isNull() != value.isNull() || field != value)
        field = value;
}

// The record of one catalogued file: its properties, its thumbnail and its view state.
// The picture itself stays in its source folder; the record's property file and
// thumbnail live in the album folder of the album that holds it. The view that shows
// a record owns it; an album keeps the same data as a text row.
class KivViewItem
{
public:
    // Outcome of rename(); every refusal leaves all files and the record untouched.
    enum class RenameResult {
        Renamed,
        NoSourceFolder,   // the source folder is gone: nothing happens, silently
        InvalidName,      // empty, ".", "..", a path separator, "|" or a line end
        NameExists,       // a file of that name is already in the source folder
        PictureNotMoved,  // the picture file could not be renamed
    };

    explicit KivViewItem(const QString &fileName = QString());
    virtual ~KivViewItem();

    KivViewItem(const KivViewItem &) = delete;
    KivViewItem &operator=(const KivViewItem &) = delete;

    // The caption shown with the thumbnail: the file name, shortened to its first 18
    // characters and "..." when it is longer than 21.
    static QString captionFor(const QString &fileName);
    // The property file's name: the whole file name and ".kiv" (IMG_0001.JPG.kiv), so
    // IMG_0001.JPG and IMG_0001.TIF, or 2019.06.01_a.jpg and 2019.07.15_b.jpg, each
    // keep their own tags.
    static QString propertyFileNameFor(const QString &fileName);
    // The name older catalogues used: the file name up to its first "." and ".kiv".
    // It is read when the file of the new name does not exist yet.
    static QString legacyPropertyFileNameFor(const QString &fileName);
    // "Photo", "Music" or "Undefined" for a file, from its name's type, whatever its size.
    static QString kindOfFile(const QString &path);
    // The highest user badge; badges run from -1 (none) to this.
    static constexpr int MaxBadge = 6;
    static constexpr int MaxLove = 5;
    // Why a new file name is refused, or an empty string when it is acceptable.
    static QString renameRefusal(RenameResult result);

    virtual int rtti() const { return 0; }
    virtual QPixmap makeThumbnail(bool fast);
    // A property file that is not one (empty, cut short, junk, not a regular file) is
    // not applied: the record keeps its row's values, and the file is never written
    // over; `propertiesDamage()` says why.
    virtual void readProperties();
    virtual bool writeProperties() const;
    QString propertiesDamage() const { return rareText(&Rare::propertiesDamage); }
    // Title, love, view count and user badge from an album row (11 texts).
    void loadFromRow(const QStringList &row);
    // Whether `oldFileName` of `sourceFolder` may take `newFileName`: Renamed when it may.
    static RenameResult checkRename(const QString &sourceFolder, const QString &oldFileName,
                                    const QString &newFileName);
    RenameResult rename(const QString &newFileName);
    // The picture was renamed elsewhere: this record's property file and thumbnail take
    // the new name in its album folder, and so does the record.
    void followRename(const QString &newFileName);
    bool removeProperties() const;
    bool removeThumbnail() const;
    bool removePictureFile() const;
    bool propertiesExist() const;
    // Has property file: like propertiesExist(), but once found it is not looked up again.
    bool hasProperties();

    // The date from the picture file's creation time, else from the owner album's
    // creation date (given by the caller), else left as it is.
    void takeDate(const QDate &ownerAlbumCreated = QDate());

    // Where the properties are written: always the file of the whole name.
    QString propertyFilePath() const;
    // Where they are read from: that file, else the older shared name when it exists.
    QString propertyReadPath() const;
    QString legacyPropertyFilePath() const;
    QString picturePath() const;
    QString thumbnailPath() const;

    QString title() const { return m_title; }
    void setTitle(const QString &title);
    QString format() const { return m_format; }
    void setFormat(const QString &format);
    QString category() const { return m_category; }
    void setCategory(const QString &category) { takeText(m_category, category); }
    QString comment() const { return m_comment; }
    void setComment(const QString &comment) { takeText(m_comment, comment); }
    int love() const { return m_love == 0 ? 1 : m_love; }
    void setLove(int love);
    QString author() const { return rareText(&Rare::author); }
    void setAuthor(const QString &author) { setRareText(&Rare::author, author); }
    QString from() const { return rareText(&Rare::from); }
    void setFrom(const QString &from) { setRareText(&Rare::from, from); }
    QString date() const { return rareText(&Rare::date); }
    void setDate(const QString &date) { setRareText(&Rare::date, date); }
    QString fileType() const { return m_fileType; }
    void setFileType(const QString &fileType) { takeText(m_fileType, fileType); }
    int userBadge() const { return m_userBadge; }
    // Out of range (a damaged file) reads as no badge.
    void setUserBadge(int badge) { m_userBadge = (badge < -1 || badge > MaxBadge) ? -1 : badge; }
    int viewCount() const { return m_viewCount; }
    void setViewCount(int count) { m_viewCount = qMax(0, count); }
    void incrementViewCount() { ++m_viewCount; }

    QString caption() const { return m_caption; }
    void setCaption(const QString &caption) { m_caption = caption; }
    QString fileName() const { return m_fileName; }
    void setFileName(const QString &fileName) { m_fileName = fileName; }
    QString sourceFolder() const { return m_sourceFolder; }
    void setSourceFolder(const QString &folder) { m_sourceFolder = folder; }
    QString albumFolder() const { return m_albumFolder; }
    // Creates the folder (one level) when it does not exist yet.
    void setAlbumFolder(const QString &folder);
    // Names the album folder without creating it (for reading only).
    void setAlbumFolderPath(const QString &folder) { m_albumFolder = folder; }
    PlayList *ownerAlbum() const { return m_ownerAlbum; }
    void setOwnerAlbum(PlayList *album) { m_ownerAlbum = album; }
    QDateTime fileTime() const { return m_fileTime; }
    void setFileTime(const QDateTime &time) { m_fileTime = time; }
    QPixmap thumbnail() const { return m_thumbnail; }
    void setThumbnail(const QPixmap &pixmap) { m_thumbnail = pixmap; }
    bool isModified() const { return m_modified; }
    void setModified(bool modified) { m_modified = modified; }

    // View state, owned by the thumbnail view.
    int column() const { return m_column; }
    int row() const { return m_row; }
    void setCell(int column, int row)
    {
        m_column = column;
        m_row = row;
    }
    bool isSelected() const { return m_selected; }
    void setSelected(bool selected) { m_selected = selected; }
    bool isHighlighted() const { return m_highlighted; }
    void setHighlighted(bool highlighted) { m_highlighted = highlighted; }
    // The picture last copied to the clipboard carries the copied mark.
    // Held in the pictures tray.
    bool isHeld() const { return m_held; }
    void setHeld(bool held) { m_held = held; }
    bool isCopied() const { return m_copied; }
    void setCopied(bool copied) { m_copied = copied; }

    // What the property file keeps, as its lines: to take a record back to how it was
    // before a change that was not saved.
    QStringList tagLines() const { return propertyLines(); }
    void setTagLines(const QStringList &lines) { applyPropertyLines(lines); }
    // The same lines packed in one block of UTF-8, far smaller than a list: what each of
    // half a million pictures keeps of itself while a change of them is being made.
    QByteArray packedTagLines() const;
    void setPackedTagLines(const QByteArray &packed);

protected:
    // The property file's lines, in their fixed order; subclasses add their own.
    virtual QStringList propertyLines() const;
    virtual void applyPropertyLines(const QStringList &lines);
    QStringList commonLines() const;
    void applyCommonLines(const QStringList &lines);
    static QString lineValue(const QStringList &lines, int index, const char *key);
    // True when another picture of the owner album maps to the same older property
    // file name (or the album is not known, so it cannot be ruled out).
    bool legacySharedInAlbum() const;

    // Texts only a property file holds, which most leave empty, kept apart: a record
    // without them stays small, and All Photos of a large catalogue holds one record
    // per picture.
    struct Rare {
        QString author;
        QString from;
        QString date;
        QString propertiesDamage;
        QString event;
        QString place;
    };
    QString rareText(QString Rare::*text) const { return m_rare ? (*m_rare).*text : QString(); }
    void setRareText(QString Rare::*text, const QString &value)
    {
        if (!m_rare) {
            if (value.isEmpty())
                return;
            m_rare = std::make_unique<Rare>();
        }
        takeText((*m_rare).*text, value);
    }

private:
    std::unique_ptr<Rare> m_rare;
    QString m_title;
    QString m_format;
    QString m_category;
    QString m_comment;
    int m_love = 1;
    int m_userBadge = -1;
    int m_viewCount = 0;
    QString m_fileType;
    QString m_caption;
    QString m_fileName;
    QString m_sourceFolder;
    QString m_albumFolder;
    PlayList *m_ownerAlbum = nullptr;
    QDateTime m_fileTime;
    QPixmap m_thumbnail;
    bool m_modified = false;
    bool m_propertiesKnown = false;
    int m_column = 0;
    int m_row = 0;
    bool m_selected = false;
    bool m_highlighted = false;
    bool m_copied = false;
    bool m_held = false;
};
