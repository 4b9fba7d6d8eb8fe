#pragma once

#include <QByteArrayView>
#include <QString>
#include <QStringView>

#include <array>
#include <vector>

// A case-insensitive substring test over UTF-8 text whose outcome is exactly that of
// QStringView::contains(value, Qt::CaseInsensitive) on the decoded text: code point by
// code point, each compared by its simple case folding. The text is never decoded, so
// a catalogue's rows are searched where they lie in memory.
//
// The text looked in must be valid UTF-8 (every row of an AlbumRows is).
class TextMatch
{
public:
    explicit TextMatch(QStringView value);

    // An empty value is in every text.
    bool matchesEverything() const { return m_everything; }
    bool in(QByteArrayView utf8) const;

    // The code points whose folding is `folded`, `folded` itself included when it
    // folds to itself, in increasing order.
    static std::vector<char32_t> foldClass(char32_t folded);

private:
    // Whether the value starts at `at`.
    bool startsAt(const uchar *at, const uchar *end) const;
    const uchar *nextLead(const uchar *from, const uchar *end) const;

    bool m_everything = false;
    // The value holds a lone surrogate, which no UTF-8 text can: such a value is
    // judged on the decoded text, as Qt would.
    bool m_decoded = false;
    QString m_value;
    std::vector<char32_t> m_folded;
    // The first bytes a match can start with, and the same as a table.
    std::array<uchar, 4> m_leads{};
    int m_leadCount = 0;
    std::array<bool, 256> m_isLead{};
};
