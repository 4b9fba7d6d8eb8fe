// The search over large catalogues: its case-insensitive matching against Qt's own,
// every query against a plain implementation over a generated 50,000-row catalogue
// read from album files, and the row table that holds them.
#include "albumrows.h"
#include "catalogueloader.h"
#include "playlist.h"
#include "searchengine.h"
#include "smartplaylist.h"
#include "textmatch.h"

#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <QtTest>

#include "testfiles.h"

namespace {

QString ucs4(char32_t c)
{
    return QString::fromUcs4(&c, 1);
}

// Words chosen for their case: accents, a German sharp s and its capital, final and
// medial sigma, the Kelvin sign and the long s (which fold to ASCII), a title-case
// digraph, a dotted capital I, a letter outside the BMP and an emoji.
const QStringList kWords{
    "Sunset", "SUNNY", "sun", "été", "ÉTÉ", "Straße", "STRASSE", "straẞe", "ΣΟΦΙΑ", "σοφιας", u"\u017Fun"_qs,
    u"\u212Aelvin"_qs, "Zoë", "ZOË", u"\u212Bngstr\u00F6m"_qs, u"\U0001F600smile"_qs, "naïve", u"\u0130stanbul"_qs,
    u"\u01C5ungla"_qs, u"\U00010400eseret"_qs, "beach", "img", ".JPG", "Anna", "family", "x", "K", "s",
};

QString someWords(QRandomGenerator &rng, int most)
{
    QStringList out;
    const int count = rng.bounded(most + 1);
    for (int i = 0; i < count; ++i)
        out << kWords.at(rng.bounded(int(kWords.size())));
    // Words run together as often as apart, so matches sit right at the texts' ends.
    return out.join(rng.bounded(2) ? QStringLiteral(" ") : QString());
}

// The plain implementation the search must agree with, written from the rules the
// user sees: each text of a row split out and compared with QString's own
// case-insensitive test.
struct Reference
{
    struct Album
    {
        QString id;
        QList<QStringList> rows;
    };
    QList<Album> albums;

    static QString text(const QStringList &row, int field) { return field < row.size() ? row.at(field) : QString(); }
    static bool has(const QString &text, const QString &value)
    {
        return value.isEmpty() || text.contains(value, Qt::CaseInsensitive);
    }

    template<typename Test>
    QStringList results(Test test, bool withViews = false) const
    {
        QStringList out;
        for (const Album &album : albums) {
            for (const QStringList &row : album.rows) {
                if (!test(row))
                    continue;
                QStringList result{text(row, 0), text(row, 1), text(row, 2), album.id};
                if (withViews)
                    result << text(row, 7);
                result << text(row, 8);
                out << result.join(QLatin1Char('|'));
            }
        }
        return out;
    }
    QStringList fullText(const QString &value) const
    {
        return results([&](const QStringList &row) {
            for (int f = 0; f < row.size(); ++f) {
                if (f != 1 && has(row.at(f), value))
                    return true;
            }
            return false;
        });
    }
    QStringList field(int field, const QString &value) const
    {
        return results([&](const QStringList &row) { return has(text(row, field), value); });
    }
    QStringList love(const QString &value, const QString &condition) const
    {
        const int digit = value.left(1).toInt();
        return results([&](const QStringList &row) {
            const int love = text(row, 6).toInt();
            const bool textMatch = has(text(row, 6), value);
            if (condition == QLatin1String("Equal To"))
                return textMatch;
            if (condition == QLatin1String("More Than"))
                return love > digit || textMatch;
            return love < digit || textMatch;
        });
    }
};

QStringList lines(const AlbumRows &rows)
{
    QStringList out;
    for (int i = 0; i < rows.count(); ++i)
        out << rows.line(i);
    return out;
}

// Where two result lists first differ, for a readable failure.
QString firstDifference(const QStringList &got, const QStringList &wanted)
{
    for (qsizetype i = 0; i < qMin(got.size(), wanted.size()); ++i) {
        if (got.at(i) != wanted.at(i))
            return QStringLiteral("row %1: got \"%2\", wanted \"%3\"").arg(i).arg(got.at(i), wanted.at(i));
    }
    if (got.size() != wanted.size())
        return QStringLiteral("got %1 rows, wanted %2").arg(got.size()).arg(wanted.size());
    return {};
}

} // namespace

class TestLargeSearch : public QObject
{
    Q_OBJECT

private slots:
    void matchingAgreesWithQtOverEveryCasedCodePoint();
    void matchingAgreesWithQtOverRandomTexts();
    void everyQueryAgreesWithAPlainSearchOverFiftyThousandRows();
    void rowTableKeepsRowsThroughEveryChange();
};

void TestLargeSearch::matchingAgreesWithQtOverEveryCasedCodePoint()
{
    // Every code point whose case maps somewhere, and a sample of the others: each of
    // its case forms looked for in each other form, between two letters.
    QStringList wrong;
    for (char32_t c = 0; c < 0x20000; ++c) {
        if (c >= 0xD800 && c <= 0xDFFF)
            continue;
        const char32_t upper = QChar::toUpper(c), lower = QChar::toLower(c), title = QChar::toTitleCase(c),
                       folded = QChar::toCaseFolded(c);
        if (upper == c && lower == c && title == c && folded == c && c % 61 != 0)
            continue;
        const QList<char32_t> forms{c, upper, lower, title, folded};
        for (const char32_t needle : forms) {
            for (const char32_t inText : forms) {
                const QString text = QStringLiteral("a") + ucs4(inText) + QStringLiteral("b");
                const QString value = ucs4(needle);
                const bool qt = text.contains(value, Qt::CaseInsensitive);
                if (TextMatch(value).in(text.toUtf8()) != qt && wrong.size() < 20)
                    wrong << QStringLiteral("U+%1 in U+%2").arg(uint(needle), 4, 16).arg(uint(inText), 4, 16);
            }
        }
    }
    QCOMPARE(wrong, QStringList());
    // The Kelvin sign and the long s fold to ASCII letters, so an ASCII value finds them.
    QVERIFY(TextMatch(u"kelvin").in(u"\u212Aelvin"_qs.toUtf8()));
    QVERIFY(TextMatch(u"SUN").in(u"\u017Fun"_qs.toUtf8()));
    QVERIFY(!TextMatch(u"ss").in(QStringLiteral("Straße").toUtf8()));  // one letter never folds to two
}

void TestLargeSearch::matchingAgreesWithQtOverRandomTexts()
{
    QRandomGenerator rng(7);
    const QString alphabet = u"aAbBkKsSzZ|. \u00E9\u00C9\u00DF\u1E9E\u03C3\u03A3\u03C2\u212A\u017F\u00F6\u00D6\u0130i"_qs
                             + u"\U0001F600\U00010400\U00010428"_qs;
    // Letters outside the BMP take two units: pick whole code points.
    const QList<uint> points = alphabet.toUcs4();
    auto randomText = [&](int most) {
        QList<uint> out;
        const int size = rng.bounded(most + 1);
        for (int i = 0; i < size; ++i)
            out << points.at(rng.bounded(int(points.size())));
        return QString::fromUcs4(reinterpret_cast<const char32_t *>(out.constData()), out.size());
    };
    int found = 0;
    for (int round = 0; round < 20000; ++round) {
        const QString text = randomText(40);
        QString value;
        if (round % 2 && !text.isEmpty()) {
            // A piece of the text itself, its case changed one way or the other.
            const qsizetype from = rng.bounded(int(text.size()));
            value = text.mid(from, 1 + rng.bounded(6));
            value = round % 4 == 1 ? value.toUpper() : value.toLower();
        } else {
            value = randomText(3);
        }
        const bool qt = text.contains(value, Qt::CaseInsensitive);
        found += qt;
        QVERIFY2(TextMatch(value).in(text.toUtf8()) == qt,
                 qPrintable(QStringLiteral("\"%1\" in \"%2\"").arg(value, text)));
    }
    QVERIFY(found > 5000);  // the rounds did test matches, not only misses
    // A lone surrogate (no UTF-8 text can hold one) is judged as Qt would judge it.
    const QString lone(QChar(0xD83D));
    QCOMPARE(TextMatch(lone).in(u"\U0001F600"_qs.toUtf8()), u"\U0001F600"_qs.contains(lone, Qt::CaseInsensitive));
}

void TestLargeSearch::everyQueryAgreesWithAPlainSearchOverFiftyThousandRows()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QRandomGenerator rng(2026);
    Reference reference;
    const QList<int> sizes{30000, 1, 0, 9000, 6999, 4000};
    QTreeWidget list;
    int number = 0;
    for (const int size : sizes) {
        const QString id = QStringLiteral("Album%1").arg(number++);
        Reference::Album album{id, {}};
        QByteArray file = "KivDir=" + id.toUtf8() + "\r\nTitle=" + id.toUtf8() + "\r\nDirty=False\r\n"
                          + "CreationDate=2003-01-05\r\nNumFile=" + QByteArray::number(size) + "\r\n";
        for (int r = 0; r < size; ++r) {
            QStringList row{
                r % 7 ? QStringLiteral("Photo") : QStringLiteral("Undefined"),
                // Folders hold search words too: they are never searched.
                QStringLiteral("/home/%1/été %2").arg(r % 3 ? "sun" : "Anna").arg(r % 50),
                QStringLiteral("%1_%2.%3").arg(r % 5 ? "IMG" : "Été").arg(r).arg(r % 2 ? "jpg" : "JPG"),
                someWords(rng, 3),
                r % 3 ? QStringLiteral("Family") : QStringLiteral("holidays"),
                someWords(rng, 4),
                QString::number(rng.bounded(6)),
                QString::number(rng.bounded(30)),
                QString::number(rng.bounded(8) - 1),
                QStringLiteral("3264*2448"),
                r % 4 ? QString() : QStringLiteral("Anna,Zoë"),
            };
            // Empty texts are written as " ", as the program writes them.
            for (int f = 0; f < 10; ++f) {
                if (row[f].isEmpty())
                    row[f] = QStringLiteral(" ");
            }
            // A few damaged rows, with fewer texts than a picture's.
            if (r % 997 == 5)
                row = row.mid(0, 1 + r % 9);
            album.rows << row;
            file += "File=" + row.join(QLatin1Char('|')).toUtf8() + "\r\n";
        }
        reference.albums << album;
        const QString path = dir.filePath(id + QStringLiteral(".db"));
        writeFile(path, file);
        auto *stored = new PlayList(&list);
        QVERIFY(stored->load(path));
        QCOMPARE(stored->rowCount(), size);
    }
    const QList<PlayList *> top = CatalogueLoader::topLevelAlbums(&list);

    auto check = [&](SmartPlaylist &album, const QStringList &wanted, const QString &what, int shares) {
        QVERIFY(SearchEngine::fill(&album, top, shares));
        const QStringList got = lines(album.rowTable());
        QVERIFY2(got == wanted, qPrintable(what + QStringLiteral(" in %1 parts: ").arg(shares)
                                           + firstDifference(got, wanted)));
    };
    const QStringList values{"sun",   "SUN",     "sunset", "été",   "ETE",   "ÉTÉ",  "straße", "STRASSE",
                             "σοφια", "ΣΟΦΙΑΣ", "ς",      u"\u212A"_qs, u"\u017F"_qs, "k", "ö",
                             u"\U0001F600"_qs, u"\U00010428"_qs, "img_1", ".jpg", "n|s", "|", "ySUN", "Anna,",
                             "family", "3", " ", "nothing-like-it", "e"};
    int shares = 1;
    for (const QString &value : values) {
        Search search;
        search.setKeyword(value);
        // The parts a search is cut into are varied: every cut must join back in order.
        shares = shares % 7 + 1;
        check(search, value.isEmpty() ? QStringList() : reference.fullText(value), QStringLiteral("\"%1\"").arg(value),
              shares);
    }
    const QList<QPair<QString, int>> attributes{
        {"Title", 3}, {"Filename", 2}, {"Category", 4}, {"Comment", 5}, {"Subject", 10}, {"Nonsense", 3}};
    for (const auto &[attribute, field] : attributes) {
        for (const QString &value : {u"sun"_qs, u"ÉTÉ"_qs, u"\u212Aelvin"_qs, u"img_2"_qs, u"zoë,"_qs, u"o"_qs}) {
            Search search;
            search.setKeyword(value);
            search.setAttribute(attribute);
            check(search, reference.field(field, value), attribute + QStringLiteral(" \"%1\"").arg(value), 2);
        }
    }
    for (const QString &condition : {u"Equal To"_qs, u"More Than"_qs, u"Less Than"_qs}) {
        for (const QString &value : {u"3"_qs, u"0"_qs, u"5x"_qs}) {
            Search search;
            search.setKeyword(value);
            search.setAttribute(QStringLiteral("Love"));
            search.setCondition(condition);
            check(search, reference.love(value, condition), condition + QLatin1Char(' ') + value, 3);
        }
    }
    AllPhoto all;
    check(all, reference.results([](const QStringList &) { return true; }), QStringLiteral("All Photos"), 2);
    check(all, reference.results([](const QStringList &) { return true; }), QStringLiteral("All Photos"), 1);
    Favorites favourites;
    check(favourites, reference.results([](const QStringList &row) { return Reference::text(row, 6).toInt() == 5; }),
          QStringLiteral("Favorites"), 2);
    BySubject person;
    person.setKeyword(QStringLiteral("ZOË"));
    check(person, reference.field(10, QStringLiteral("ZOË")), QStringLiteral("a person"), 2);
    CategoryPl category;
    category.setKeyword(QStringLiteral("HOLI"));
    check(category, reference.field(4, QStringLiteral("HOLI")), QStringLiteral("a category"), 2);
    Search viewed;
    viewed.setKeyword(QStringLiteral("x"));
    viewed.setAttribute(QStringLiteral("MostViewed"));
    check(viewed, reference.results([](const QStringList &) { return true; }, true), QStringLiteral("MostViewed"), 3);
}

void TestLargeSearch::rowTableKeepsRowsThroughEveryChange()
{
    // Random changes made to the table and to a plain list side by side: the rows,
    // their file-name look-up and the memory held must follow.
    QRandomGenerator rng(11);
    AlbumRows rows;
    QList<QStringList> model;
    auto makeRow = [&](int size) {
        const QString name = QStringLiteral("n%1.jpg").arg(rng.bounded(40));
        return QStringList{"Photo", "/p", name, QString(size, QLatin1Char('t')), "é", "", "1", "0", "-1", "", ""};
    };
    {
        // The first row appended to its own table again and again: each time the text
        // has to move to grow, while the row being copied lies at its very start.
        AlbumRows own;
        const QStringList first{"Photo", "/p", "first.jpg", QString(300, QLatin1Char('t')), "é", "", "1", "0", "-1", "", ""};
        own.append(first);
        for (int i = 0; i < 8; ++i)
            own.appendUtf8(own.utf8(0));
        QCOMPARE(own.count(), 9);
        for (int i = 0; i < own.count(); ++i)
            QCOMPARE(own.row(i), first);
    }
    for (int step = 0; step < 20000; ++step) {
        const int op = rng.bounded(100);
        const int at = model.isEmpty() ? 0 : rng.bounded(int(model.size()));
        // Titles of very different lengths: a row is rewritten in place or moved to the end.
        const QStringList row = makeRow(rng.bounded(3) ? rng.bounded(10) : rng.bounded(400));
        if (op < 25 || model.size() < 5) {
            rows.append(row);
            model.append(row);
        } else if (op < 30) {
            // A row of the table itself, often the first (at the start of its block),
            // appended while the table may have to move its text.
            const int from = rng.bounded(2) ? 0 : at;
            rows.appendUtf8(rows.utf8(from));
            model.append(model.at(from));
        } else if (op < 40) {
            rows.insert(at, row);
            model.insert(at, row);
        } else if (op < 65) {
            rows.replace(at, row);
            model[at] = row;
        } else if (op < 85) {
            rows.removeAt(at);
            model.removeAt(at);
        } else if (op < 92) {
            const int to = rng.bounded(int(model.size()));
            rows.move(at, to);
            model.move(at, to);
        } else if (op < 98) {
            const int other = rng.bounded(int(model.size()));
            rows.swap(at, other);
            model.swapItemsAt(at, other);
        } else if (model.size() < 200) {
            rows.appendRows(rows);
            model += QList<QStringList>(model);
        }
        if (step % 97 == 0 || step == 19999) {
            QCOMPARE(rows.count(), int(model.size()));
            for (int i = 0; i < rows.count(); ++i)
                QCOMPARE(rows.row(i), model.at(i));
            for (int n = 0; n < 40; ++n) {
                const QString name = QStringLiteral("n%1.jpg").arg(n);
                int first = -1;
                for (int i = 0; i < model.size() && first < 0; ++i)
                    first = model.at(i).at(2) == name ? i : -1;
                QCOMPARE(rows.indexOfFile(name), first);
            }
        }
    }
    // Spent text is given back: what is held stays within a few times the live text.
    qsizetype live = 0;
    for (const QStringList &row : model)
        live += row.join(QLatin1Char('|')).toUtf8().size();
    QVERIFY2(rows.memoryUse() < 3 * live + 64 * 1024,
             qPrintable(QStringLiteral("%1 bytes held for %2 live").arg(rows.memoryUse()).arg(live)));
}

QTEST_MAIN(TestLargeSearch)
#include "tst_largesearch.moc"
