#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

#include <initializer_list>

// The rows of an album: one row of 11 texts per picture (filetype, source folder,
// file name, title, category, comment, love, view count, user badge, format,
// persons), or the 5 or 6 texts of a search result.
//
// A row is kept as its texts joined with "|", the way the album file holds it, in
// UTF-8, and the rows of a table lie one after the other in a few large buffers
// (chunks): a catalogue of half a million pictures then costs little more than its
// text, loading copies bytes, and a search scans contiguous memory. Tables joined
// share their chunks instead of copying them. Texts are decoded on demand.
class AlbumRows
{
public:
    enum Field { FileType, Folder, FileName, Title, Category, Comment, Love, Views, Badge, Format, Persons };
    static constexpr int FieldCount = 11;
    static constexpr int Growth = 100;

    int count() const { return int(m_spans.size()); }
    bool isEmpty() const { return m_spans.isEmpty(); }
    // Room in the table: 100 at first, 100 more whenever a row is added to a full table.
    int capacity() const { return m_capacity; }

    QStringList row(int index) const;
    // One text of a row; empty for a row with fewer texts.
    QString field(int index, int field) const { return QString::fromUtf8(fieldUtf8(index, field)); }
    QString fieldText(int index, int which) const { return field(index, which); }
    // The row's texts joined with "|".
    QString line(int index) const { return QString::fromUtf8(utf8(index)); }
    // The same in UTF-8, valid until the table changes.
    QByteArrayView utf8(int index) const
    {
        const Span &span = m_spans.at(index);
        return QByteArrayView(m_chunks.at(span.chunk).constData() + span.offset, span.size);
    }
    QByteArrayView fieldUtf8(int index, int field) const;

    // The first row whose file name equals `fileName` (case-sensitive), or -1. The
    // first look-up indexes the file names; the changes below keep the index up to
    // date where that is cheap and drop it otherwise, for the next look-up to rebuild.
    // Being a write, a look-up is no more thread-safe than a change.
    int indexOfFile(QStringView fileName) const;
    // Lets the index indexOfFile made go (made again when next asked).
    void dropIndex() const;

    void append(const QStringList &row);
    void appendLine(const QString &joined);
    void appendUtf8(QByteArrayView joined);
    // One row made of `parts` one after the other (bars included by the caller); no
    // part may lie in this table.
    void appendParts(std::initializer_list<QByteArrayView> parts);
    // Every row of `other`, after these.
    void appendRows(const AlbumRows &other);
    void insert(int index, const QStringList &row);
    void replace(int index, const QStringList &row);
    void removeAt(int index);
    void move(int from, int to);
    void swap(int a, int b);
    // An empty table with room for 100 rows.
    void reset();
    void reserve(int rows);
    // Room for this many bytes of text, and giving back what a loaded table does not use.
    void reserveText(qsizetype bytes);
    void squeeze();

    // A row as its album file writes it: each of the first 10 texts that is empty
    // becomes " "; the 11th is written unchanged.
    QString fileText(int index) const;
    static QString fileText(const QStringList &row);
    // The same in UTF-8, put at the end of `out`.
    void appendFileText(int index, QByteArray &out) const;

    // Takes one row as read from an album file (after "File="). Empty texts are
    // written as " " and come back as " "; a text "n" is the text "n" (no writer ever
    // stored "n" for an empty text, so a title "n" survives a save).
    void appendFromFile(const QString &text);
    // The same for a row already valid UTF-8, as a UTF-8 album file holds it.
    void appendFromFileUtf8(QByteArrayView text);
    // Bytes held by the table (its text, spent text included, and its row list).
    qsizetype memoryUse() const;

private:
    void grow();
    // Room for `rows` rows, grown as adding them one by one would.
    void growTo(int rows);
    struct Span {
        qsizetype offset;
        quint32 size;
        quint32 chunk;
    };
    // Adds `bytes` bytes at the end of the text; returns where they start, and their
    // place in `span`.
    char *extend(qsizetype bytes, Span *span);
    // Every row's text copied into one new chunk, spent text left out.
    void compact();
    qsizetype textBytes() const;
    // Whether `bytes` lie in one of this table's chunks.
    bool holds(QByteArrayView bytes) const;
    QString fileNameAt(int index) const { return field(index, FileName); }
    // Every name held by one row only: each name is then its own first row.
    bool namesDistinct() const { return m_firstRow.size() == m_spans.size(); }
    // The first row from `from` on whose file name is `fileName`, or -1 (a plain scan).
    int nextRowOf(QStringView fileName, int from) const;
    // Row `index` no longer holds `fileName`: when it was that name's first row, the
    // next row of the name (looked for from `index` on) takes its place. `distinct`
    // says whether every name was held by one row only before the change.
    void forgetFirst(const QString &fileName, int index, bool distinct);
    // Row `index` holds its file name now: it becomes that name's first row unless an
    // earlier row holds the name.
    void noteRow(int index);

    // Row `index` becomes `joined`, written over its old text when it fits.
    void setText(int index, QByteArrayView joined);
    // The text of rows removed or replaced is spent; once it is most of the text,
    // the live rows are copied into a new chunk.
    void spend(qsizetype bytes);

    // Rows are appended to the last chunk while no other table shares it.
    QList<QByteArray> m_chunks;
    QList<Span> m_spans;
    qsizetype m_spent = 0;
    int m_capacity = Growth;
    // File name -> first row holding it, for every row, while m_indexed. Built by
    // indexOfFile, so an album only read or searched never pays for it.
    mutable QHash<QString, int> m_firstRow;
    mutable bool m_indexed = false;
};
