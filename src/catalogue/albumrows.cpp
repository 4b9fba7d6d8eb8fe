#include "albumrows.h"

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
    for (int i = 0; i < count(); ++i) {
        if (field(i, FileName) == fileName)
            return i;
    }
    return -1;
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
}

void AlbumRows::insert(int index, const QStringList &row)
{
    grow();
    m_lines.insert(index, joinRow(row));
}

void AlbumRows::replace(int index, const QStringList &row)
{
    m_lines[index] = joinRow(row);
}

void AlbumRows::removeAt(int index)
{
    m_lines.removeAt(index);
}

void AlbumRows::move(int from, int to)
{
    m_lines.move(from, to);
}

void AlbumRows::swap(int a, int b)
{
    m_lines.swapItemsAt(a, b);
}

void AlbumRows::reset()
{
    m_lines.clear();
    m_capacity = Growth;
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

void AlbumRows::appendFromFile(const QString &text)
{
    appendLine(text);
}
