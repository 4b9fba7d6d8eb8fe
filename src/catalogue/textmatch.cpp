#include "textmatch.h"

#include <QChar>

#include <algorithm>
#include <utility>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

char32_t fold(char32_t c)
{
    if (c < 0x80)
        return (c >= 'A' && c <= 'Z') ? c + 32 : c;
    return QChar::toCaseFolded(c);
}

// Decodes the code point at `p` (valid UTF-8) and moves past it. A sequence cut
// short by `end` reads as U+FFFD, which no folded value holds where the text ended.
char32_t decode(const uchar *&p, const uchar *end)
{
    const uchar b = *p++;
    if (b < 0x80)
        return b;
    int more = b >= 0xF0 ? 3 : b >= 0xE0 ? 2 : 1;
    char32_t c = b & (0x3F >> more);
    if (end - p < more) {
        p = end;
        return 0xFFFD;
    }
    while (more-- > 0)
        c = (c << 6) | (*p++ & 0x3F);
    return c;
}

uchar leadByte(char32_t c)
{
    if (c < 0x80)
        return uchar(c);
    if (c < 0x800)
        return uchar(0xC0 | (c >> 6));
    if (c < 0x10000)
        return uchar(0xE0 | (c >> 12));
    return uchar(0xF0 | (c >> 18));
}

// Every code point that does not fold to itself, as (folding, code point), sorted.
const std::vector<std::pair<char32_t, char32_t>> &unfolded()
{
    static const std::vector<std::pair<char32_t, char32_t>> table = [] {
        std::vector<std::pair<char32_t, char32_t>> pairs;
        for (char32_t c = 0; c <= 0x10FFFF; ++c) {
            if (c >= 0xD800 && c <= 0xDFFF)
                continue;
            const char32_t f = QChar::toCaseFolded(c);
            if (f != c)
                pairs.emplace_back(f, c);
        }
        std::sort(pairs.begin(), pairs.end());
        return pairs;
    }();
    return table;
}

} // namespace

std::vector<char32_t> TextMatch::foldClass(char32_t folded)
{
    std::vector<char32_t> members;
    if (QChar::toCaseFolded(folded) == folded)
        members.push_back(folded);
    const auto &table = unfolded();
    auto it = std::lower_bound(table.begin(), table.end(), std::make_pair(folded, char32_t(0)));
    for (; it != table.end() && it->first == folded; ++it)
        members.push_back(it->second);
    std::sort(members.begin(), members.end());
    return members;
}

TextMatch::TextMatch(QStringView value)
{
    if (value.isEmpty()) {
        m_everything = true;
        return;
    }
    for (qsizetype i = 0; i < value.size(); ++i) {
        const QChar unit = value.at(i);
        char32_t c = unit.unicode();
        if (unit.isHighSurrogate() && i + 1 < value.size() && value.at(i + 1).isLowSurrogate()) {
            c = QChar::surrogateToUcs4(unit, value.at(i + 1));
            ++i;
        } else if (unit.isSurrogate()) {
            m_decoded = true;
            m_value = value.toString();
            return;
        }
        m_folded.push_back(fold(c));
    }
    for (const char32_t member : foldClass(m_folded.front())) {
        const uchar lead = leadByte(member);
        if (m_isLead[lead])
            continue;
        m_isLead[lead] = true;
        if (m_leadCount < int(m_leads.size()))
            m_leads[m_leadCount] = lead;
        ++m_leadCount;
    }
}

bool TextMatch::startsAt(const uchar *at, const uchar *end) const
{
    for (const char32_t wanted : m_folded) {
        if (at >= end)
            return false;
        const uchar b = *at;
        // ASCII, the common case, without the table.
        if (b < 0x80) {
            const char32_t c = (b >= 'A' && b <= 'Z') ? b + 32 : b;
            if (c != wanted)
                return false;
            ++at;
            continue;
        }
        if (fold(decode(at, end)) != wanted)
            return false;
    }
    return true;
}

const uchar *TextMatch::nextLead(const uchar *p, const uchar *end) const
{
#if defined(__SSE2__)
    if (m_leadCount <= int(m_leads.size())) {
        __m128i leads[4];
        for (int k = 0; k < 4; ++k)
            leads[k] = _mm_set1_epi8(char(m_leads[size_t(k < m_leadCount ? k : 0)]));
        while (end - p >= 16) {
            const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i *>(p));
            __m128i hit = _mm_cmpeq_epi8(block, leads[0]);
            hit = _mm_or_si128(hit, _mm_cmpeq_epi8(block, leads[1]));
            hit = _mm_or_si128(hit, _mm_cmpeq_epi8(block, leads[2]));
            hit = _mm_or_si128(hit, _mm_cmpeq_epi8(block, leads[3]));
            const int mask = _mm_movemask_epi8(hit);
            if (mask != 0)
                return p + __builtin_ctz(unsigned(mask));
            p += 16;
        }
    }
#endif
    while (p < end && !m_isLead[*p])
        ++p;
    return p;
}

bool TextMatch::in(QByteArrayView utf8) const
{
    if (m_everything)
        return true;
    if (m_decoded)
        return QString::fromUtf8(utf8).contains(m_value, Qt::CaseInsensitive);
    // A match is at least one byte per code point long.
    if (utf8.size() < qsizetype(m_folded.size()))
        return false;
    const uchar *p = reinterpret_cast<const uchar *>(utf8.data());
    const uchar *const end = p + utf8.size();
    const uchar *const last = end - qsizetype(m_folded.size());
    while (p <= last) {
        p = nextLead(p, end);
        if (p > last)
            return false;
        if (startsAt(p, end))
            return true;
        ++p;
    }
    return false;
}
