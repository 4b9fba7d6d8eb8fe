#pragma once

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

// The rows of an album: one row of 11 texts per picture (filetype, source folder,
// file name, title, category, comment, love, view count, user badge, format,
// persons), or the 5 or 6 texts of a search result.
//
// A row is kept as its texts joined with "|", the way the album file holds it:
// loading a catalogue of tens of thousands of pictures then costs one string per
// picture, and a text search scans one string per row. Texts are split out on demand.
class AlbumRows
{
public:
    enum Field { FileType, Folder, FileName, Title, Category, Comment, Love, Views, Badge, Format, Persons };
    static constexpr int FieldCount = 11;
    static constexpr int Growth = 100;

    int count() const { return int(m_lines.size()); }
    bool isEmpty() const { return m_lines.isEmpty(); }
    // Room in the table: 100 at first, 100 more whenever a row is added to a full table.
    int capacity() const { return m_capacity; }

    QStringList row(int index) const;
    // One text of a row; empty for a row with fewer texts.
    QStringView field(int index, int field) const;
    QString fieldText(int index, int which) const { return field(index, which).toString(); }
    // The row's texts joined with "|".
    const QString &line(int index) const { return m_lines.at(index); }

    // The first row whose file name equals `fileName` (case-sensitive), or -1. The
    // first look-up indexes the file names; the changes below keep the index up to
    // date where that is cheap and drop it otherwise, for the next look-up to rebuild.
    // Being a write, a look-up is no more thread-safe than a change.
    int indexOfFile(QStringView fileName) const;

    void append(const QStringList &row);
    void appendLine(const QString &joined);
    void insert(int index, const QStringList &row);
    void replace(int index, const QStringList &row);
    void removeAt(int index);
    void move(int from, int to);
    void swap(int a, int b);
    // An empty table with room for 100 rows.
    void reset();
    void reserve(int rows);

    // A row as its album file writes it: each of the first 10 texts that is empty
    // becomes " "; the 11th is written unchanged.
    QString fileText(int index) const;
    static QString fileText(const QStringList &row);

    // Takes one row as read from an album file (after "File="). Empty texts are
    // written as " " and come back as " "; a text "n" is the text "n" (no writer ever
    // stored "n" for an empty text, so a title "n" survives a save).
    void appendFromFile(const QString &text);

private:
    void grow();
    QString fileNameAt(int index) const { return field(index, FileName).toString(); }
    // Every name held by one row only: each name is then its own first row.
    bool namesDistinct() const { return m_firstRow.size() == m_lines.size(); }
    void dropIndex() const;
    // The first row from `from` on whose file name is `fileName`, or -1 (a plain scan).
    int nextRowOf(QStringView fileName, int from) const;
    // Row `index` no longer holds `fileName`: when it was that name's first row, the
    // next row of the name (looked for from `index` on) takes its place. `distinct`
    // says whether every name was held by one row only before the change.
    void forgetFirst(const QString &fileName, int index, bool distinct);
    // Row `index` holds its file name now: it becomes that name's first row unless an
    // earlier row holds the name.
    void noteRow(int index);

    QList<QString> m_lines;
    int m_capacity = Growth;
    // File name -> first row holding it, for every row, while m_indexed. Built by
    // indexOfFile, so an album only read or searched never pays for it.
    mutable QHash<QString, int> m_firstRow;
    mutable bool m_indexed = false;
};
