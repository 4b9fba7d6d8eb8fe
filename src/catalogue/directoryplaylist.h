#pragma once

#include "playlist.h"

// A dynamic album: it mirrors one disk folder. Its rows are rebuilt from the folder
// when the number of files there changes, and its picture commands act on the files
// of that folder themselves.
class DirectoryPlaylist : public PlayList
{
public:
    KIV_ALBUM_CONSTRUCTORS(DirectoryPlaylist, PlayList)

    QString className() const override { return QStringLiteral("DirectoryPlaylist"); }
    int indexOfPath(const QString &path) const override;
    bool save(const QString &kivDir) override;
    bool load(const QString &path) override;
    const AlbumRows &rows() override;
    bool removeFiles() override;
    // Copies the picture into the bound folder first; a different file of the same
    // name there is never overwritten (the record is refused).
    bool addRecord(const KivViewItem *record) override;
    // Deletes the picture file first; when it cannot be deleted the row stays.
    bool removeRecord(const KivViewItem *record) override;
    bool clear() override;
    bool syncRow(const KivViewItem *record) override;
    bool commit() override;

    QString from() const { return m_from; }
    void setFrom(const QString &folder) { m_from = folder; }
    bool isFolderMissing() const { return m_folderMissing; }
    void setFolderMissing(bool missing) { m_folderMissing = missing; }
    // True when the bound folder does not exist.
    bool folderGone() const;
    // Deletes every file of the bound folder.
    void emptyFolder();

protected:
    QString emptyIconName() const override { return QStringLiteral("directory-playlist.png"); }
    QString filledIconName() const override { return QStringLiteral("directory-playlist-photo.png"); }
    QString fileSuffix() const override { return QStringLiteral(".dir"); }

private:
    void init() {}

    QString m_from;
    bool m_folderMissing = false;
};
