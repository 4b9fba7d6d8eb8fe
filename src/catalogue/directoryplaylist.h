#pragma once

#include "playlist.h"

// A dynamic album: it mirrors one disk folder. When the folder's files change, the
// rows follow them (the rows of files still there are kept with their tags), and its
// picture commands act on the files of that folder themselves.
class DirectoryPlaylist : public PlayList
{
public:
    KIV_ALBUM_CONSTRUCTORS(DirectoryPlaylist, PlayList)

    QString className() const override { return QStringLiteral("DirectoryPlaylist"); }
    int indexOfPath(const QString &path) const override;
    bool save(const QString &kivDir) override;
    bool load(const QString &path) override;
    bool loadRead(AlbumFile &&file) override { return takeFile(std::move(file), &m_from); }
    const AlbumRows &rows() override;
    bool removeFiles() override;
    // Copies the picture into the bound folder first; a different file of the same
    // name there is never overwritten (the record is refused).
    bool addRecord(const KivViewItem *record) override;
    // Moves the picture file to the trash first; when it cannot be removed the row stays.
    bool removeRecord(const KivViewItem *record) override;
    // Moves the pictures its rows name to the trash (never other files of the folder),
    // then empties the album as a plain one does.
    bool clear() override;
    bool syncRow(const KivViewItem *record) override;
    bool commit() override;

    QString from() const { return m_from; }
    void setFrom(const QString &folder) { m_from = folder; }
    bool isFolderMissing() const { return m_folderMissing; }
    void setFolderMissing(bool missing) { m_folderMissing = missing; }
    // True when the bound folder does not exist.
    bool folderGone() const;
    // Moves the picture files the rows name to the trash; `summary` says what happened.
    bool emptyFolder(QString *summary = nullptr);
    // Files of the folder whose names cannot stand in a row ("|", a line end): the
    // last rescan skipped them.
    QStringList skippedFiles() const { return m_skipped; }
    // What the last clear did with the pictures ("3 picture(s) moved to the trash").
    QString clearSummary() const { return m_clearSummary; }
    // A folder a dynamic album cannot be made of: its path holds "|" or a line end.
    // Returns the refusal, or an empty text.
    static QString folderRefusal(const QString &folder);

protected:
    QString emptyIconName() const override { return QStringLiteral("directory-playlist.png"); }
    QString filledIconName() const override { return QStringLiteral("directory-playlist-photo.png"); }
    QString fileSuffix() const override { return QStringLiteral(".dir"); }

private:
    void init() {}

    QString m_from;
    bool m_folderMissing = false;
    QStringList m_skipped;
    QString m_clearSummary;
};
