#include "searchengine.h"

#include "smartplaylist.h"
#include "textmatch.h"

#include <QThread>

#include <algorithm>
#include <array>
#include <thread>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace SearchEngine {

namespace {

// The places of the first `most` bars of `line`; returns how many there are.
int findBars(QByteArrayView line, qsizetype *bars, int most)
{
    const char *const data = line.data();
    const qsizetype size = line.size();
    int found = 0;
    qsizetype i = 0;
#if defined(__SSE2__)
    const __m128i bar = _mm_set1_epi8('|');
    for (; i + 16 <= size && found < most; i += 16) {
        const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i *>(data + i));
        unsigned mask = unsigned(_mm_movemask_epi8(_mm_cmpeq_epi8(block, bar)));
        for (; mask != 0 && found < most; mask &= mask - 1)
            bars[found++] = i + __builtin_ctz(mask);
    }
#endif
    for (; i < size && found < most; ++i) {
        if (data[i] == '|')
            bars[found++] = i;
    }
    return found;
}

// The texts of a joined row up to `Texts::Wanted`, located without copying.
struct Texts
{
    static constexpr int Wanted = AlbumRows::Badge + 1;

    explicit Texts(QByteArrayView joined)
        : line(joined)
        , bars(findBars(joined, ends.data(), Wanted))
    {
    }
    QByteArrayView at(int field) const
    {
        if (field > bars)
            return {};
        const qsizetype start = field == 0 ? 0 : ends[size_t(field - 1)] + 1;
        const qsizetype end = field < bars ? ends[size_t(field)] : line.size();
        return line.sliced(start, end - start);
    }
    // The file type, source folder and file name with their bars, as the row holds them.
    QByteArrayView head() const
    {
        return bars > AlbumRows::FileName ? line.first(ends[AlbumRows::FileName]) : QByteArrayView();
    }

    QByteArrayView line;
    std::array<qsizetype, Wanted> ends{};
    int bars;
};

// One text of a joined row; empty for a row with fewer texts.
QByteArrayView textOf(QByteArrayView line, int field)
{
    std::array<qsizetype, AlbumRows::FieldCount> bars{};
    const int found = findBars(line, bars.data(), field + 1);
    if (field > found)
        return {};
    const qsizetype start = field == 0 ? 0 : bars[size_t(field - 1)] + 1;
    const qsizetype end = field < found ? bars[size_t(field)] : line.size();
    return line.sliced(start, end - start);
}

// Appends the result row of one row: file type, source folder, file name, the
// album's id, the view count when asked for, the user badge.
void appendResult(QByteArrayView line, QByteArrayView kivDir, bool withViews, AlbumRows &out)
{
    const Texts texts(line);
    const QByteArrayView bar("|");
    const QByteArrayView head = texts.head();
    if (!head.isEmpty() && withViews)
        return out.appendParts({head, bar, kivDir, bar, texts.at(AlbumRows::Views), bar, texts.at(AlbumRows::Badge)});
    if (!head.isEmpty())
        return out.appendParts({head, bar, kivDir, bar, texts.at(AlbumRows::Badge)});
    // A damaged row of fewer texts: those it lacks are empty.
    if (withViews) {
        out.appendParts({texts.at(AlbumRows::FileType), bar, texts.at(AlbumRows::Folder), bar,
                         texts.at(AlbumRows::FileName), bar, kivDir, bar, texts.at(AlbumRows::Views), bar,
                         texts.at(AlbumRows::Badge)});
    } else {
        out.appendParts({texts.at(AlbumRows::FileType), bar, texts.at(AlbumRows::Folder), bar,
                         texts.at(AlbumRows::FileName), bar, kivDir, bar, texts.at(AlbumRows::Badge)});
    }
}

// The rows [from, to) of one table and where their results go.
struct Scan
{
    const AlbumRows &rows;
    QByteArray kivDir;
    int from;
    int to;
    AlbumRows &out;

    template<typename Test>
    void collect(bool withViews, Test test) const
    {
        for (int i = from; i < to; ++i) {
            const QByteArrayView line = rows.utf8(i);
            if (test(line))
                appendResult(line, kivDir, withViews, out);
        }
    }

    void containsField(int field, const QString &value) const
    {
        const TextMatch match(value);
        if (match.matchesEverything())
            return collect(false, [](QByteArrayView) { return true; });
        collect(false, [&](QByteArrayView line) { return match.in(textOf(line, field)); });
    }
};

Scan scanOf(const AlbumRows &rows, const QString &kivDir, AlbumRows &out, int from, int to)
{
    const int count = rows.count();
    from = qBound(0, from, count);
    to = to < 0 ? count : qBound(from, to, count);
    return Scan{rows, kivDir.toUtf8(), from, to, out};
}

int loveOf(QByteArrayView line)
{
    const QByteArrayView love = textOf(line, AlbumRows::Love);
    if (love.size() == 1 && love.at(0) >= '0' && love.at(0) <= '9')
        return love.at(0) - '0';
    return QString::fromUtf8(love).toInt();
}

int leadingDigit(const QString &value)
{
    return value.left(1).toInt();
}

} // namespace

void query(const AlbumRows &rows, const QString &kivDir, int attribute, const QString &value, AlbumRows &out,
           int from, int to)
{
    const Scan scan = scanOf(rows, kivDir, out, from, to);
    switch (attribute) {
    case 0:
        return scan.containsField(AlbumRows::FileName, value);
    case 1:
        return scan.containsField(AlbumRows::Title, value);
    case 3:
        return scan.containsField(AlbumRows::Category, value);
    case 4:
        return scan.containsField(AlbumRows::Comment, value);
    case 5: {
        const int digit = leadingDigit(value);
        const QString word = value.mid(1, 10);
        const int kind = word == QLatin1String("Equal") ? 0 : word == QLatin1String("More") ? 1 : 2;
        scan.collect(false, [&](QByteArrayView line) {
            const int love = loveOf(line);
            return kind == 0 ? love == digit : kind == 1 ? love >= digit : love <= digit;
        });
        return;
    }
    case 6:
        return scan.collect(false, [](QByteArrayView) { return true; });
    case 7:
        return scan.collect(true, [](QByteArrayView) { return true; });
    case 8:
        return scan.containsField(AlbumRows::Persons, value);
    default:
        return;
    }
}

void find(const AlbumRows &rows, const QString &kivDir, const QString &value, const QString &attribute,
          const QString &condition, AlbumRows &out, int from, int to)
{
    const Scan scan = scanOf(rows, kivDir, out, from, to);
    if (attribute == QLatin1String("Filename"))
        return scan.containsField(AlbumRows::FileName, value);
    if (attribute == QLatin1String("Category"))
        return scan.containsField(AlbumRows::Category, value);
    if (attribute == QLatin1String("Comment"))
        return scan.containsField(AlbumRows::Comment, value);
    if (attribute == QLatin1String("Subject"))
        return scan.containsField(AlbumRows::Persons, value);
    if (attribute == QLatin1String("All"))
        return scan.collect(false, [](QByteArrayView) { return true; });
    if (attribute == QLatin1String("MostViewed"))
        return scan.collect(true, [](QByteArrayView) { return true; });
    if (attribute == QLatin1String("Love")) {
        const int digit = leadingDigit(value);
        const TextMatch match(value);
        const int kind = condition == QLatin1String("Equal To") ? 0 : condition == QLatin1String("More Than") ? 1 : 2;
        scan.collect(false, [&](QByteArrayView line) {
            const bool textMatch = match.in(textOf(line, AlbumRows::Love));
            if (kind == 0)
                return textMatch;
            if (kind == 1)
                return loveOf(line) > digit || textMatch;
            return loveOf(line) < digit || textMatch;
        });
        return;
    }
    scan.containsField(AlbumRows::Title, value);
}

void findText(const AlbumRows &rows, const QString &kivDir, const QString &value, AlbumRows &out, int from, int to)
{
    // The texts of a row never hold a "|" (it parts them), so a value with one is in
    // none of them.
    if (value.contains(QLatin1Char('|')))
        return;
    const Scan scan = scanOf(rows, kivDir, out, from, to);
    const TextMatch match(value);
    if (match.matchesEverything())
        return scan.collect(false, [](QByteArrayView) { return true; });
    // Without "|" a match never spans two texts: search the joined row on both sides
    // of the source folder.
    scan.collect(false, [&](QByteArrayView line) {
        qsizetype bars[2];
        const int found = findBars(line, bars, 2);
        if (found == 0)
            return match.in(line);
        if (match.in(line.first(bars[0])))
            return true;
        return found == 2 && match.in(line.sliced(bars[1] + 1));
    });
}

bool fill(SmartPlaylist *album, const QList<PlayList *> &topLevel, int shares)
{
    for (const PlayList *candidate : topLevel) {
        if (!candidate->isValid())
            return false;
    }
    // The rows to search, as pieces of albums, cut into one share per core: each
    // share is searched on its own thread into its own table, and the tables joined
    // in catalogue order.
    struct Piece
    {
        const PlayList *source;
        int from;
        int to;
    };
    std::vector<Piece> pieces;
    qint64 total = 0;
    for (const PlayList *candidate : topLevel) {
        if (candidate->isSmart() || candidate->className() == QLatin1String("SmartPlaylist")
            || candidate->className() == QLatin1String("GroupYear"))
            continue;
        const int count = candidate->rowTable().count();
        if (count > 0)
            pieces.push_back({candidate, 0, count});
        total += count;
    }
    // Below this many rows a thread costs more than it saves.
    constexpr qint64 rowsPerShare = 16384;
    if (shares <= 0)
        shares = int(std::clamp<qint64>(qMin<qint64>(QThread::idealThreadCount(), total / rowsPerShare), 1, 8));
    std::vector<std::vector<Piece>> shareOf(static_cast<size_t>(shares));
    const qint64 perShare = (total + shares - 1) / shares;
    size_t share = 0;
    qint64 room = perShare;
    for (Piece piece : pieces) {
        while (piece.from < piece.to) {
            const int take = int(qMin<qint64>(room, piece.to - piece.from));
            shareOf[share].push_back({piece.source, piece.from, piece.from + take});
            piece.from += take;
            room -= take;
            if (room == 0 && share + 1 < shareOf.size()) {
                ++share;
                room = perShare;
            }
        }
    }
    std::vector<AlbumRows> found(static_cast<size_t>(shares));
    auto search = [&](size_t s) {
        for (const Piece &piece : shareOf[s])
            album->evaluateInto(*piece.source, piece.from, piece.to, found[s]);
    };
    std::vector<std::thread> threads;
    for (size_t s = 1; s < size_t(shares); ++s)
        threads.emplace_back(search, s);
    search(0);
    for (std::thread &thread : threads)
        thread.join();
    // The shares' text is shared by the joined table, not copied.
    AlbumRows joined;
    for (const AlbumRows &part : found)
        joined.appendRows(part);
    album->setSource(nullptr);
    album->setRowTable(joined);
    return true;
}

} // namespace SearchEngine
