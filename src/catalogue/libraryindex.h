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

    enum class State {
        Missing,   // no file: an empty catalogue
        Empty,     // a count of 0 and no row
        Read,
        Damaged,   // unreadable, junk, a count that disagrees with its rows, a broken row
    };

    // False when the file is missing, holds no album, or is damaged. A damaged index
    // keeps every row it could read, so the albums can still be shown, and refuses to
    // be written until it is repaired: a write would drop the albums it cannot read.
    bool load();
    // True when written or clean; false when the file cannot be written or is damaged.
    bool save();
    State state() const { return m_state; }
    bool isDamaged() const { return m_state == State::Damaged; }
    // Why the index is damaged, in a sentence.
    QString damage() const { return m_damage; }

    // One "LIBRARY=" row's five texts. Names of dynamic albums come from folder names,
    // which may hold ",": the row is split around its class, and the id, which is the
    // name followed by a 23-character time stamp, tells where the name ends.
    static QStringList parseRow(QStringView joined);

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
    // Repair: these rows become the index, which is clean again and dirty (to be
    // saved). Used to rebuild a damaged index from the album files present.
    void replaceRows(const QList<QStringList> &rows);
    // Repair: one more row, last (an album file the index did not list).
    void appendRow(const QStringList &row);

private:
    QString m_root;
    QList<QStringList> m_rows;
    bool m_dirty = false;
    State m_state = State::Missing;
    QString m_damage;
};
