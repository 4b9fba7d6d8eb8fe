#pragma once

#include <QList>
#include <QStringList>

class PlayList;

// The ordered list of stored albums, in "library.db" of the catalogue root: one row of
// five texts per album (group, content kind, name, class, id). Row changes only mark
// the index dirty; the caller saves it.
class LibraryIndex
{
public:
    void setRoot(const QString &catalogueRoot) { m_root = catalogueRoot; }
    QString filePath() const;

    // False when the file is missing or holds no album.
    bool load();
    // True when written or clean; false when the file cannot be written.
    bool save();

    bool contains(const QString &name) const;
    // Puts the new album's row before the current album's row, or last.
    void insertAlbum(PlayList *album, const PlayList *current);
    void updateAlbum(PlayList *album);
    void removeAlbum(const PlayList *album);
    void moveUp(const PlayList *album);
    void moveDown(const PlayList *album);

    int rowCount() const { return int(m_rows.size()); }
    QStringList row(int index) const { return m_rows.at(index); }
    int indexOf(const QString &id) const;
    bool isDirty() const { return m_dirty; }
    void setDirty(bool dirty) { m_dirty = dirty; }

    static QStringList rowFor(PlayList *album);

private:
    QString m_root;
    QList<QStringList> m_rows;
    bool m_dirty = false;
};
