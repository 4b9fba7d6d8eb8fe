#include "albumrows.h"

#include <algorithm>
#include <limits>

namespace {

const QChar kBar(u'|');

QString joinRow(const QStringList &row)
{
    return row.join(kBar);
}

// Where the text `field` of a joined row starts and ends.
bool fieldSpan(QStringView line, int field, qsizetype *start, qsizetype *end)
{
    qsizetype from = 0;
    for (int f = 0; f < field; ++f) {
        const qsizetype bar = line.indexOf(kBar, from);
        if (bar < 0)
            return false;
        from = bar + 1;
    }
    const qsizetype bar = line.indexOf(kBar, from);
    *start = from;
    *end = bar < 0 ? line.size() : bar;
    return true;
}

} // namespace

QStringList AlbumRows::row(int index) const
{
    return m_lines.at(index).split(kBar);
}

QStringView AlbumRows::field(int index, int field) const
{
    qsizetype start = 0, end = 0;
    const QString &text = m_lines.at(index);
    if (!fieldSpan(text, field, &start, &end))
        return {};
    return QStringView(text).mid(start, end - start);
}

int AlbumRows::indexOfFile(QStringView fileName) const
{
    if (!m_indexed) {
        m_firstRow.clear();
        m_firstRow.reserve(count());
        // From the last row up: a name held by several rows ends on its first.
        for (int i = count() - 1; i >= 0; --i)
            m_firstRow.insert(fileNameAt(i), i);
        m_indexed = true;
    }
    return m_firstRow.value(fileName.toString(), -1);
}

void AlbumRows::dropIndex() const
{
    m_indexed = false;
    m_firstRow.clear();
}

int AlbumRows::nextRowOf(QStringView fileName, int from) const
{
    for (int i = from; i < count(); ++i) {
        if (field(i, FileName) == fileName)
            return i;
    }
    return -1;
}

void AlbumRows::forgetFirst(const QString &fileName, int index, bool distinct)
{
    const auto it = m_firstRow.find(fileName);
    if (it == m_firstRow.end() || *it != index)
        return;
    const int next = distinct ? -1 : nextRowOf(fileName, index);
    if (next < 0)
        m_firstRow.erase(it);
    else
        *it = next;
}

void AlbumRows::noteRow(int index)
{
    const QString name = fileNameAt(index);
    const auto it = m_firstRow.find(name);
    if (it == m_firstRow.end())
        m_firstRow.insert(name, index);
    else if (*it > index)
        *it = index;
}

void AlbumRows::grow()
{
    if (count() >= m_capacity)
        m_capacity += Growth;
}

void AlbumRows::append(const QStringList &row)
{
    appendLine(joinRow(row));
}

void AlbumRows::appendLine(const QString &joined)
{
    grow();
    m_lines.append(joined);
    if (m_indexed)
        noteRow(count() - 1);
}

void AlbumRows::insert(int index, const QStringList &row)
{
    grow();
    m_lines.insert(index, joinRow(row));
    if (!m_indexed)
        return;
    for (int &first : m_firstRow) {
        if (first >= index)
            ++first;
    }
    noteRow(index);
}

void AlbumRows::replace(int index, const QStringList &row)
{
    if (!m_indexed) {
        m_lines[index] = joinRow(row);
        return;
    }
    const QString before = fileNameAt(index);
    const bool distinct = namesDistinct();
    m_lines[index] = joinRow(row);
    if (field(index, FileName) == before)
        return;
    forgetFirst(before, index, distinct);
    noteRow(index);
}

void AlbumRows::removeAt(int index)
{
    if (!m_indexed) {
        m_lines.removeAt(index);
        return;
    }
    const QString name = fileNameAt(index);
    const bool distinct = namesDistinct();
    m_lines.removeAt(index);
    for (int &first : m_firstRow) {
        if (first > index)
            --first;
    }
    // The rows after `index` have moved up one, so a later row of that name is now
    // looked for from `index` itself.
    forgetFirst(name, index, distinct);
}

void AlbumRows::move(int from, int to)
{
    m_lines.move(from, to);
    if (!m_indexed || from == to)
        return;
    // With repeated names the first row of one could be anywhere in between: look
    // again at the next look-up.
    if (!namesDistinct()) {
        dropIndex();
        return;
    }
    for (int &first : m_firstRow) {
        if (from < to && first > from && first <= to)
            --first;
        else if (from > to && first >= to && first < from)
            ++first;
    }
    m_firstRow[fileNameAt(to)] = to;
}

void AlbumRows::swap(int a, int b)
{
    m_lines.swapItemsAt(a, b);
    if (!m_indexed || field(a, FileName) == field(b, FileName))
        return;
    if (!namesDistinct()) {
        dropIndex();
        return;
    }
    m_firstRow[fileNameAt(a)] = a;
    m_firstRow[fileNameAt(b)] = b;
}

void AlbumRows::reset()
{
    m_lines.clear();
    m_capacity = Growth;
    dropIndex();
}

void AlbumRows::reserve(int rows)
{
    m_lines.reserve(rows);
}

QString AlbumRows::fileText(const QStringList &row)
{
    QString out;
    for (int i = 0; i < row.size(); ++i) {
        if (i > 0)
            out += kBar;
        const QString &text = row.at(i);
        out += (i < 10 && text.isEmpty()) ? QStringLiteral(" ") : text;
    }
    return out;
}

QString AlbumRows::fileText(int index) const
{
    const QString &text = m_lines.at(index);
    // Rows without an empty text among the first 10 are written as they are held.
    const bool emptyAmongFirstTen = text.isEmpty() || text.startsWith(kBar) || text.contains(QLatin1String("||"))
                                    || (text.endsWith(kBar) && text.count(kBar) < 10);
    if (!emptyAmongFirstTen)
        return text;
    return fileText(row(index));
}

namespace {

// Love 0..5, views 0..INT_MAX, badge -1..6: what a damaged or hand-made file holds
// outside these is brought within them, so every reader (search, Favorites, the
// statistics, the command-line tool) sees the value the panel shows.
QString clamped(QStringView text, qint64 low, qint64 high)
{
    bool ok = false;
    const qint64 value = text.trimmed().toLongLong(&ok);
    if (!ok)
        return text.toString();  // no number reads as 0 anyway: left as written
    return QString::number(qBound(low, value, high));
}

bool plainDigit(QStringView text, QChar low, QChar high)
{
    return text.size() == 1 && text.at(0) >= low && text.at(0) <= high;
}

} // namespace

void AlbumRows::appendFromFile(const QString &text)
{
    qsizetype loveStart = 0, loveEnd = 0, viewsStart = 0, viewsEnd = 0, badgeStart = 0, badgeEnd = 0;
    const QStringView line(text);
    if (!fieldSpan(line, Love, &loveStart, &loveEnd) || !fieldSpan(line, Views, &viewsStart, &viewsEnd)
        || !fieldSpan(line, Badge, &badgeStart, &badgeEnd)) {
        appendLine(text);
        return;
    }
    const QStringView love = line.mid(loveStart, loveEnd - loveStart);
    const QStringView views = line.mid(viewsStart, viewsEnd - viewsStart);
    const QStringView badge = line.mid(badgeStart, badgeEnd - badgeStart);
    // The common case costs no allocation: one digit, a few digits, one digit or "-1".
    const bool viewsFit = !views.isEmpty() && views.size() <= 9
                          && std::all_of(views.begin(), views.end(), [](QChar c) { return c.isDigit(); });
    if (plainDigit(love, u'0', u'5') && viewsFit && (plainDigit(badge, u'0', u'6') || badge == u"-1")) {
        appendLine(text);
        return;
    }
    QStringList texts = text.split(u'|');
    texts[Love] = clamped(texts.at(Love), 0, 5);
    texts[Views] = clamped(texts.at(Views), 0, std::numeric_limits<int>::max());
    // A badge out of range is no badge.
    bool ok = false;
    const qint64 storedBadge = badge.trimmed().toLongLong(&ok);
    if (ok && (storedBadge < -1 || storedBadge > 6))
        texts[Badge] = QStringLiteral("-1");
    appendLine(texts.join(u'|'));
}
