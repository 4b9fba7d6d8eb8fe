#include "albumrows.h"

#include <algorithm>
#include <cstring>
#include <limits>

namespace {

const QChar kBar(u'|');

QByteArray joinRow(const QStringList &row)
{
    return row.join(kBar).toUtf8();
}

// Where the text `field` of a joined row starts and ends.
bool fieldSpan(QByteArrayView line, int field, qsizetype *start, qsizetype *end)
{
    qsizetype from = 0;
    for (int f = 0; f < field; ++f) {
        const qsizetype bar = line.indexOf('|', from);
        if (bar < 0)
            return false;
        from = bar + 1;
    }
    const qsizetype bar = line.indexOf('|', from);
    *start = from;
    *end = bar < 0 ? line.size() : bar;
    return true;
}

} // namespace

QStringList AlbumRows::row(int index) const
{
    return line(index).split(kBar);
}

QByteArrayView AlbumRows::fieldUtf8(int index, int field) const
{
    qsizetype start = 0, end = 0;
    const QByteArrayView text = utf8(index);
    if (!fieldSpan(text, field, &start, &end))
        return {};
    return text.sliced(start, end - start);
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
    const QByteArray name = fileName.toUtf8();
    for (int i = from; i < count(); ++i) {
        if (fieldUtf8(i, FileName) == name)
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

void AlbumRows::growTo(int rows)
{
    if (rows > m_capacity)
        m_capacity += (rows - m_capacity + Growth - 1) / Growth * Growth;
}

char *AlbumRows::extend(qsizetype bytes, Span *span)
{
    // A chunk shared with another table is never written into: the rows go to a new one.
    if (m_chunks.isEmpty() || (!m_chunks.last().isEmpty() && !m_chunks.last().isDetached())) {
        // Many chunks (a table copied and added to, again and again) become one.
        if (m_chunks.size() >= 64)
            compact();
        else
            m_chunks.append(QByteArray());
    }
    QByteArray &text = m_chunks.last();
    const qsizetype old = text.size();
    // Doubling keeps appends linear; QByteArray's own growth would too, but one
    // reserve here spares a capacity check for every part copied.
    if (old + bytes > text.capacity())
        text.reserve(qMax(old + bytes, 2 * text.capacity()));
    text.resize(old + bytes);
    span->offset = old;
    span->size = quint32(bytes);
    span->chunk = quint32(m_chunks.size() - 1);
    return text.data() + old;
}

qsizetype AlbumRows::textBytes() const
{
    qsizetype bytes = 0;
    for (const QByteArray &chunk : m_chunks)
        bytes += chunk.size();
    return bytes;
}

qsizetype AlbumRows::memoryUse() const
{
    qsizetype bytes = m_spans.capacity() * qsizetype(sizeof(Span));
    for (const QByteArray &chunk : m_chunks)
        bytes += chunk.capacity();
    return bytes;
}

void AlbumRows::compact()
{
    QByteArray text;
    text.reserve(textBytes() - m_spent);
    for (Span &span : m_spans) {
        const qsizetype offset = text.size();
        text.append(m_chunks.at(span.chunk).constData() + span.offset, span.size);
        span.offset = offset;
        span.chunk = 0;
    }
    m_chunks = {text};
    m_spent = 0;
}

void AlbumRows::spend(qsizetype bytes)
{
    m_spent += bytes;
    if (m_spent >= 4096 && m_spent * 2 >= textBytes())
        compact();
}

void AlbumRows::setText(int index, QByteArrayView joined)
{
    Span &span = m_spans[index];
    QByteArray &chunk = m_chunks[span.chunk];
    if (joined.size() <= span.size && chunk.isDetached()) {
        std::memcpy(chunk.data() + span.offset, joined.data(), size_t(joined.size()));
        const qsizetype freed = span.size - joined.size();
        span.size = quint32(joined.size());
        if (freed > 0)
            spend(freed);
        return;
    }
    const qsizetype old = span.size;
    Span moved{};
    char *to = extend(joined.size(), &moved);
    if (!joined.isEmpty())
        std::memcpy(to, joined.data(), size_t(joined.size()));
    m_spans[index] = moved;
    spend(old);
}

void AlbumRows::append(const QStringList &row)
{
    appendUtf8(joinRow(row));
}

void AlbumRows::appendLine(const QString &joined)
{
    appendUtf8(joined.toUtf8());
}

bool AlbumRows::holds(QByteArrayView bytes) const
{
    for (const QByteArray &chunk : m_chunks) {
        if (!chunk.isEmpty() && bytes.data() >= chunk.constData() && bytes.data() < chunk.constData() + chunk.size())
            return true;
    }
    return false;
}

void AlbumRows::appendUtf8(QByteArrayView joined)
{
    // A row of this very table is copied before its chunk may move.
    if (holds(joined)) {
        appendUtf8(joined.toByteArray());
        return;
    }
    appendParts({joined});
}

void AlbumRows::appendParts(std::initializer_list<QByteArrayView> parts)
{
    qsizetype size = 0;
    for (const QByteArrayView part : parts)
        size += part.size();
    grow();
    Span span{};
    char *to = extend(size, &span);
    for (const QByteArrayView part : parts) {
        if (!part.isEmpty())
            std::memcpy(to, part.data(), size_t(part.size()));
        to += part.size();
    }
    m_spans.append(span);
    if (m_indexed)
        noteRow(count() - 1);
}

void AlbumRows::appendRows(const AlbumRows &other)
{
    if (other.isEmpty())
        return;
    if (&other == this) {
        const AlbumRows copy = other;
        appendRows(copy);
        return;
    }
    // The other table's chunks are shared, not copied; neither table writes into a
    // shared chunk again.
    const quint32 base = quint32(m_chunks.size());
    const int first = count();
    m_chunks.append(other.m_chunks);
    m_spent += other.m_spent;
    m_spans.reserve(m_spans.size() + other.m_spans.size());
    for (const Span &span : other.m_spans)
        m_spans.append(Span{span.offset, span.size, base + span.chunk});
    growTo(count());
    if (m_indexed) {
        for (int i = first; i < count(); ++i)
            noteRow(i);
    }
}

void AlbumRows::reserveText(qsizetype bytes)
{
    if (m_chunks.isEmpty())
        m_chunks.append(QByteArray());
    m_chunks.last().reserve(bytes);
}

void AlbumRows::squeeze()
{
    for (QByteArray &chunk : m_chunks)
        chunk.squeeze();
    m_spans.squeeze();
}

void AlbumRows::insert(int index, const QStringList &row)
{
    grow();
    const QByteArray joined = joinRow(row);
    Span span{};
    std::memcpy(extend(joined.size(), &span), joined.constData(), size_t(joined.size()));
    m_spans.insert(index, span);
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
        setText(index, joinRow(row));
        return;
    }
    const QString before = fileNameAt(index);
    const bool distinct = namesDistinct();
    setText(index, joinRow(row));
    if (field(index, FileName) == before)
        return;
    forgetFirst(before, index, distinct);
    noteRow(index);
}

void AlbumRows::removeAt(int index)
{
    const qsizetype size = m_spans.at(index).size;
    if (!m_indexed) {
        m_spans.removeAt(index);
        spend(size);
        return;
    }
    const QString name = fileNameAt(index);
    const bool distinct = namesDistinct();
    m_spans.removeAt(index);
    spend(size);
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
    m_spans.move(from, to);
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
    m_spans.swapItemsAt(a, b);
    if (!m_indexed || fieldUtf8(a, FileName) == fieldUtf8(b, FileName))
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
    m_chunks.clear();
    m_spans.clear();
    m_spent = 0;
    m_capacity = Growth;
    dropIndex();
}

void AlbumRows::reserve(int rows)
{
    m_spans.reserve(rows);
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

namespace {

// Rows without an empty text among the first 10 are written as they are held.
bool writtenAsHeld(QByteArrayView text)
{
    return !(text.isEmpty() || text.startsWith('|') || text.contains("||")
             || (text.endsWith('|') && text.count('|') < 10));
}

} // namespace

QString AlbumRows::fileText(int index) const
{
    const QByteArrayView text = utf8(index);
    if (writtenAsHeld(text))
        return QString::fromUtf8(text);
    return fileText(row(index));
}

void AlbumRows::appendFileText(int index, QByteArray &out) const
{
    const QByteArrayView text = utf8(index);
    // Held text that is not UTF-8 goes through the conversion, as fileText gives it.
    if (writtenAsHeld(text) && text.isValidUtf8())
        out += text;
    else
        out += fileText(index).toUtf8();
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

bool plainDigit(QByteArrayView text, char low, char high)
{
    return text.size() == 1 && text.at(0) >= low && text.at(0) <= high;
}

} // namespace

void AlbumRows::appendFromFile(const QString &text)
{
    appendFromFileUtf8(text.toUtf8());
}

void AlbumRows::appendFromFileUtf8(QByteArrayView line)
{
    // The bars before and after the love, views and badge fields, found in one pass.
    qsizetype bars[Badge + 1];
    qsizetype from = 0;
    for (int f = 0; f <= Badge; ++f) {
        const qsizetype bar = line.indexOf('|', from);
        if (bar < 0 && f < Badge) {
            appendUtf8(line);
            return;
        }
        bars[f] = bar < 0 ? line.size() : bar;
        from = bars[f] + 1;
    }
    auto field = [&line, &bars](int f) { return line.sliced(bars[f - 1] + 1, bars[f] - bars[f - 1] - 1); };
    const QByteArrayView love = field(Love);
    const QByteArrayView views = field(Views);
    const QByteArrayView badge = field(Badge);
    // The common case costs no allocation: one digit, a few digits, one digit or "-1".
    const bool viewsFit = !views.isEmpty() && views.size() <= 9
                          && std::all_of(views.begin(), views.end(), [](char c) { return c >= '0' && c <= '9'; });
    if (plainDigit(love, '0', '5') && viewsFit && (plainDigit(badge, '0', '6') || badge == "-1")) {
        appendUtf8(line);
        return;
    }
    QStringList texts = QString::fromUtf8(line).split(u'|');
    texts[Love] = clamped(texts.at(Love), 0, 5);
    texts[Views] = clamped(texts.at(Views), 0, std::numeric_limits<int>::max());
    // A badge out of range is no badge.
    bool ok = false;
    const qint64 storedBadge = QString::fromUtf8(badge).trimmed().toLongLong(&ok);
    if (ok && (storedBadge < -1 || storedBadge > 6))
        texts[Badge] = QStringLiteral("-1");
    appendLine(texts.join(u'|'));
}
