// Printing, checked on paper: every print goes to a PDF file that Ghostscript (not Qt)
// renders, and the pages' pixels are read where the layout puts each picture. Sample
// points are worked out from the A4 page at 96 dpi (793 x 1123 dots) and the 8-dot
// margins, by hand.
#include "ambriomainwindow.h"
#include "fulldisk.h"
#include "organiserfixture.h"
#include "organisermenus.h"
#include "pagecomposition.h"
#include "pixmaplookup.h"
#include "printerdialog.h"
#include "printrun.h"
#include "progressloadprinter.h"
#include "scriptedprompter.h"
#include "testfiles.h"
#include "thumbsview.h"
#include "traybarphoto.h"
#include "kivviewitem.h"
#include "librarylist.h"
#include "picturecommands.h"
#include "playlist.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QMenu>
#include <QPrinter>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>

using PageComposition::Dimension;
using PageComposition::Layout;

namespace {

// Picture i's colour: ten reds by ten greens, 25 apart, so a rendered pixel names its
// picture by the nearest colour.
QColor colourOf(int i)
{
    return QColor(10 + i % 10 * 25, 10 + i / 10 % 10 * 25, 128);
}

void makePicture(const QString &path, const QColor &colour, QSize size = QSize(400, 300))
{
    QDir().mkpath(QFileInfo(path).path());
    QImage image(size, QImage::Format_RGB32);
    image.fill(colour);
    QVERIFY(image.save(path));
}

// The picture whose colour is nearest to `pixel`; -1 for the page's white.
int pictureAt(const QImage &page, QPoint at)
{
    const QColor pixel = page.pixelColor(at);
    if (pixel.red() > 235 && pixel.green() > 235 && pixel.blue() > 235)
        return -1;
    int best = -2, bestDistance = 1 << 30;
    for (int i = 0; i < 100; ++i) {
        const QColor c = colourOf(i);
        const int d = (c.red() - pixel.red()) * (c.red() - pixel.red())
                      + (c.green() - pixel.green()) * (c.green() - pixel.green())
                      + (c.blue() - pixel.blue()) * (c.blue() - pixel.blue());
        if (d < bestDistance) {
            bestDistance = d;
            best = i;
        }
    }
    return bestDistance < 3 * 12 * 12 ? best : -2;
}

bool near(const QColor &a, const QColor &b)
{
    return qAbs(a.red() - b.red()) < 24 && qAbs(a.green() - b.green()) < 24 && qAbs(a.blue() - b.blue()) < 24;
}

// The pages of `pdf` as Ghostscript draws them at `dpi`.
QList<QImage> render(const QString &pdf, int dpi = 96)
{
    QTemporaryDir out;
    QProcess gs;
    gs.start(QStringLiteral("gs"), {"-q", "-dNOPAUSE", "-dBATCH", "-dSAFER", "-sDEVICE=png16m",
                                    "-r" + QString::number(dpi), "-o", out.filePath("page-%03d.png"), pdf});
    if (!gs.waitForFinished(120000) || gs.exitCode() != 0)
        return {};
    QList<QImage> pages;
    for (const QString &name : QDir(out.path()).entryList({"page-*.png"}, QDir::Files, QDir::Name))
        pages << QImage(out.filePath(name)).convertToFormat(QImage::Format_RGB32);
    return pages;
}

// Sample points (at 96 dpi) well inside the pictures of 400 x 300 that the layouts place.
const QPoint kFour[] = {{95, 112}, {95, 667}, {500, 112}, {500, 667}};
const QPoint kTwo[] = {{400, 300}, {400, 860}};
QPoint sheetCell(int index) { return {8 + index % 9 * 86 + 40, 8 + index / 9 * 140 + 30}; }

} // namespace

class TestPrinting : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();
    void everyPageHoldsEachPictureOnce();
    void dimensionModes();
    void failedPrintsKeepWhatWasThere();
    void copiesOrderLinksAndUnreadable();
    void commandLine();
    void dialogButtonsAndPreviews();
    void loadingCanBeCancelled();
    void printedFromTheOrganiser();

private:
    // `count` pictures of colourOf(i) in the pictures folder.
    QStringList pictures(int count, QSize size = QSize(400, 300));
    // Prints into a PDF and returns its pages rendered at `dpi`.
    QList<QImage> printed(const QStringList &paths, Layout layout, Dimension mode, int copies = 1, int dpi = 96);
    QString pdfPath() const { return m_dir->filePath("out/print.pdf"); }

    std::unique_ptr<QTemporaryDir> m_dir;
};

void TestPrinting::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QDir().mkpath(m_dir->filePath("out"));
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, m_dir->filePath("settings"));
    PixmapLookup::configure(m_dir->filePath("install"), false);
}

void TestPrinting::cleanup()
{
    m_dir.reset();
}

QStringList TestPrinting::pictures(int count, QSize size)
{
    QStringList paths;
    for (int i = 0; i < count; ++i) {
        paths << m_dir->filePath(QStringLiteral("pics/p%1.png").arg(i, 3, 10, QLatin1Char('0')));
        makePicture(paths.last(), colourOf(i), size);
    }
    return paths;
}

QList<QImage> TestPrinting::printed(const QStringList &paths, Layout layout, Dimension mode, int copies, int dpi)
{
    QPrinter printer(QPrinter::ScreenResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(pdfPath());
    printer.setPageSize(QPageSize(QPageSize::A4));
    printer.setPageMargins(QMarginsF(0, 0, 0, 0));
    const PrintRun::Result result = PrintRun(paths, layout, mode, copies).print(printer);
    if (!result.printed) {
        qWarning() << result.error;
        return {};
    }
    return render(pdfPath(), dpi);
}

void TestPrinting::everyPageHoldsEachPictureOnce()
{
    // Three pictures four to a page: each in its own cell (down the left half, then the
    // right), the fourth cell blank; below a picture kept in shape, the cell is white.
    QStringList paths = pictures(40);
    QList<QImage> pages = printed(paths.mid(0, 3), Layout::FourPerPage, Dimension::PreserveRatio);
    QCOMPARE(pages.size(), 1);
    QCOMPARE(pages[0].size(), QSize(793, 1123));
    QCOMPARE(pictureAt(pages[0], kFour[0]), 0);
    QCOMPARE(pictureAt(pages[0], kFour[1]), 1);
    QCOMPARE(pictureAt(pages[0], kFour[2]), 2);
    QCOMPARE(pictureAt(pages[0], kFour[3]), -1);
    QCOMPARE(pictureAt(pages[0], {95, 400}), -1);
    QCOMPARE(pictureAt(pages[0], {4, 4}), -1);  // the margin

    // Forty pictures four to a page: ten pages, picture 4p + c in cell c of page p.
    pages = printed(paths, Layout::FourPerPage, Dimension::PreserveRatio, 1, 48);
    QCOMPARE(pages.size(), 10);
    for (int p = 0; p < 10; ++p) {
        for (int c = 0; c < 4; ++c)
            QCOMPARE(pictureAt(pages[p], kFour[c] / 2), 4 * p + c);
    }

    // Two a page; five pictures, two copies: each copy whole, one after the other.
    pages = printed(paths.mid(0, 5), Layout::TwoPerPage, Dimension::PreserveRatio, 2, 48);
    QCOMPARE(pages.size(), 6);
    const int expected[6][2] = {{0, 1}, {2, 3}, {4, -1}, {0, 1}, {2, 3}, {4, -1}};
    for (int p = 0; p < 6; ++p) {
        QCOMPARE(pictureAt(pages[p], kTwo[0] / 2), expected[p][0]);
        QCOMPARE(pictureAt(pages[p], kTwo[1] / 2), expected[p][1]);
    }
    QCOMPARE(pictureAt(pages[0], QPoint(775, 300) / 2), -1);  // right of a picture kept in shape

    // A hundred pictures as miniature sheets: 9 a row, 8 rows, so a second page from the
    // 73rd picture; the rest of that page blank.
    paths << pictures(100).mid(40);
    pages = printed(paths, Layout::MiniatureSheet, Dimension::PreserveRatio);
    QCOMPARE(pages.size(), 2);
    QCOMPARE(pictureAt(pages[0], sheetCell(0)), 0);
    QCOMPARE(pictureAt(pages[0], sheetCell(8)), 8);
    QCOMPARE(pictureAt(pages[0], sheetCell(9)), 9);
    QCOMPARE(pictureAt(pages[0], sheetCell(71)), 71);
    QCOMPARE(pictureAt(pages[1], sheetCell(0)), 72);
    QCOMPARE(pictureAt(pages[1], sheetCell(27)), 99);
    QCOMPARE(pictureAt(pages[1], sheetCell(28)), -1);

    // A picture that cannot be read leaves its cell blank; the others keep their cells.
    writeFile(m_dir->filePath("pics/damaged.jpg"), QByteArray("\xff\xd8\xff\xe0 not a picture"));
    pages = printed({paths[0], m_dir->filePath("pics/damaged.jpg"), paths[2]}, Layout::FourPerPage,
                    Dimension::PreserveRatio);
    QCOMPARE(pages.size(), 1);
    QCOMPARE(pictureAt(pages[0], kFour[0]), 0);
    QCOMPARE(pictureAt(pages[0], kFour[1]), -1);
    QCOMPARE(pictureAt(pages[0], kFour[2]), 2);
}

void TestPrinting::dimensionModes()
{
    const QStringList paths = pictures(1);
    // Stretched to the page inside its margins, or kept in shape (777 x 583 from the top).
    QList<QImage> pages = printed(paths, Layout::OnePerPage, Dimension::FullPage);
    QCOMPARE(pictureAt(pages.value(0), {400, 1000}), 0);
    QCOMPARE(pictureAt(pages.value(0), {780, 1110}), 0);
    QCOMPARE(pictureAt(pages.value(0), {4, 500}), -1);
    QCOMPARE(pictureAt(pages.value(0), {789, 500}), -1);
    pages = printed(paths, Layout::OnePerPage, Dimension::PreserveRatio);
    QCOMPARE(pictureAt(pages.value(0), {400, 500}), 0);
    QCOMPARE(pictureAt(pages.value(0), {400, 1000}), -1);
    // Four a page, stretched: the cell is filled.
    pages = printed(paths, Layout::FourPerPage, Dimension::FullPage);
    QCOMPARE(pictureAt(pages.value(0), {300, 500}), 0);

    // "No change": the picture at its own size from the top-left margin, pixel for
    // pixel (its left half red, its right half blue, 200 x 100).
    QImage halves(200, 100, QImage::Format_RGB32);
    halves.fill(Qt::red);
    for (int y = 0; y < 100; ++y)
        for (int x = 100; x < 200; ++x)
            halves.setPixelColor(x, y, Qt::blue);
    QVERIFY(halves.save(m_dir->filePath("pics/halves.png")));
    pages = printed({m_dir->filePath("pics/halves.png")}, Layout::OnePerPage, Dimension::NoChange);
    QCOMPARE(pages.size(), 1);
    QVERIFY(near(pages[0].pixelColor(58, 58), Qt::red));
    QVERIFY(near(pages[0].pixelColor(104, 58), Qt::red));
    QVERIFY(near(pages[0].pixelColor(112, 58), Qt::blue));
    QVERIFY(near(pages[0].pixelColor(205, 105), Qt::blue));
    QVERIFY(near(pages[0].pixelColor(211, 58), Qt::white));
    QVERIFY(near(pages[0].pixelColor(58, 111), Qt::white));
    QVERIFY(near(pages[0].pixelColor(5, 5), Qt::white));

    // A picture larger than the page: its top-left part, cut at the margins (a green
    // corner of 100 x 100 in a red picture of 3000 x 2000).
    QImage large(3000, 2000, QImage::Format_RGB32);
    large.fill(Qt::red);
    for (int y = 0; y < 100; ++y)
        for (int x = 0; x < 100; ++x)
            large.setPixelColor(x, y, Qt::green);
    QVERIFY(large.save(m_dir->filePath("pics/large.jpg"), "JPEG", 95));
    pages = printed({m_dir->filePath("pics/large.jpg")}, Layout::OnePerPage, Dimension::NoChange);
    QVERIFY(near(pages.value(0).pixelColor(50, 50), Qt::green));
    QVERIFY(near(pages.value(0).pixelColor(150, 50), Qt::red));
    QVERIFY(near(pages.value(0).pixelColor(700, 1100), Qt::red));
    QVERIFY(near(pages.value(0).pixelColor(790, 500), Qt::white));
    QVERIFY(near(pages.value(0).pixelColor(400, 1119), Qt::white));
}

void TestPrinting::failedPrintsKeepWhatWasThere()
{
    const QStringList paths = pictures(8);
    // Noise pictures make a PDF too large for a disk of 60 KB.
    QStringList noisy;
    for (int i = 0; i < 4; ++i) {
        QImage noise(300, 300, QImage::Format_RGB32);
        for (int y = 0; y < 300; ++y)
            for (int x = 0; x < 300; ++x)
                noise.setPixel(x, y, qRgb((x * 7919 + y * 104729 + i) % 251, (x * y + i * 31) % 253, (x ^ y) & 255));
        noisy << m_dir->filePath(QStringLiteral("pics/noise%1.png").arg(i));
        QVERIFY(noise.save(noisy.last()));
    }
    const QByteArray old = "an older PDF the user keeps";
    writeFile(pdfPath(), old);
    auto pdfPrinter = [this](QPrinter &printer, const QString &file) {
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(file);
    };
    auto folderHoldsOnly = [this](const QStringList &names) {
        return QDir(m_dir->filePath("out")).entryList(QDir::Files | QDir::Hidden) == names;
    };

    {
        // A full disk: the print fails and says so; the older file is as it was.
        QPrinter printer(QPrinter::ScreenResolution);
        pdfPrinter(printer, pdfPath());
        PrintRun::Result result;
        {
            FullDisk disk(60 * 1024);
            result = PrintRun(noisy, Layout::OnePerPage, Dimension::FullPage).print(printer);
        }
        QVERIFY(!result.printed);
        QVERIFY2(result.error.contains("disk full"), qPrintable(result.error));
        QCOMPARE(readAll(pdfPath()), old);
        QVERIFY(folderHoldsOnly({"print.pdf"}));
        QCOMPARE(printer.outputFileName(), pdfPath());
    }
    {
        // Cancelled after the second of eight pages: nothing replaces the older file.
        QPrinter printer(QPrinter::ScreenResolution);
        pdfPrinter(printer, pdfPath());
        QList<int> told;
        const PrintRun::Result result =
            PrintRun(paths, Layout::OnePerPage, Dimension::PreserveRatio).print(printer, [&told](int done, int total) {
                told << done;
                return !(done == 2 && total == 8);
            });
        QVERIFY(result.cancelled);
        QVERIFY(!result.printed);
        QCOMPARE(told, (QList<int>{1, 2}));
        QCOMPARE(readAll(pdfPath()), old);
        QVERIFY(folderHoldsOnly({"print.pdf"}));
    }
    {
        // Printed whole, it takes the older file's place.
        QPrinter printer(QPrinter::ScreenResolution);
        pdfPrinter(printer, pdfPath());
        const PrintRun::Result result = PrintRun(paths, Layout::FourPerPage, Dimension::PreserveRatio).print(printer);
        QVERIFY(result.printed);
        QCOMPARE(result.pages, 2);
        QVERIFY(readAll(pdfPath()).startsWith("%PDF"));
        QVERIFY(folderHoldsOnly({"print.pdf"}));
    }
    // Nowhere to write, nothing to print, no printer: each says so.
    const struct {
        QString file;
        QStringList paths;
        const char *says;
    } refusals[] = {
        {m_dir->filePath("nowhere/x.pdf"), paths, "Cannot write a PDF file in"},
        {m_dir->filePath("out"), paths, "it is a folder"},
        {pdfPath(), {}, "no picture to print"},
        {QString(), paths, "Select and setup printer"},
    };
    for (const auto &refusal : refusals) {
        QPrinter printer(QPrinter::ScreenResolution);
        pdfPrinter(printer, refusal.file);
        const PrintRun::Result result = PrintRun(refusal.paths, Layout::OnePerPage, Dimension::FullPage).print(printer);
        QVERIFY(!result.printed);
        QVERIFY2(result.error.contains(refusal.says), qPrintable(result.error));
    }
    QVERIFY(!QFileInfo::exists(m_dir->filePath("nowhere")));
}

void TestPrinting::copiesOrderLinksAndUnreadable()
{
    const QStringList paths = pictures(3);
    auto sequence = [this, &paths](bool collate, QPrinter::PageOrder order) {
        QPrinter printer(QPrinter::ScreenResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(pdfPath());
        printer.setCollateCopies(collate);
        printer.setPageOrder(order);
        const PrintRun::Result result = PrintRun(paths, Layout::OnePerPage, Dimension::FullPage, 2).print(printer);
        QList<int> shown;
        if (!result.printed)
            return shown;
        for (const QImage &page : render(pdfPath(), 12))
            shown << pictureAt(page, {50, 70});
        return shown;
    };
    QCOMPARE(sequence(true, QPrinter::FirstPageFirst), (QList<int>{0, 1, 2, 0, 1, 2}));
    QCOMPARE(sequence(false, QPrinter::FirstPageFirst), (QList<int>{0, 0, 1, 1, 2, 2}));
    QCOMPARE(sequence(true, QPrinter::LastPageFirst), (QList<int>{2, 1, 0, 2, 1, 0}));
    QCOMPARE(sequence(false, QPrinter::LastPageFirst), (QList<int>{2, 2, 1, 1, 0, 0}));

    // Into a link: the file it leads to takes the print, and the link stays a link.
    const QString real = m_dir->filePath("out/real.pdf"), link = m_dir->filePath("out/link.pdf");
    writeFile(real, "older");
    QVERIFY(QFile::link(real, link));
    // A picture that cannot be read is named in the result, once.
    writeFile(m_dir->filePath("pics/junk.jpg"), "no picture here");
    QPrinter printer(QPrinter::ScreenResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(link);
    const QStringList withJunk{paths[0], m_dir->filePath("pics/junk.jpg"), paths[1]};
    const PrintRun::Result result = PrintRun(withJunk, Layout::OnePerPage, Dimension::FullPage, 2).print(printer);
    QVERIFY(result.printed);
    QCOMPARE(result.unreadable, QStringList{m_dir->filePath("pics/junk.jpg")});
    QVERIFY(QFileInfo(link).isSymLink());
    QVERIFY(readAll(real).startsWith("%PDF"));
    QCOMPARE(printer.outputFileName(), link);
    QCOMPARE(render(link, 12).size(), 6);
}

void TestPrinting::commandLine()
{
    const QString install = m_dir->filePath("install");
    auto cli = [&](const QStringList &args, QByteArray *out = nullptr) {
        QProcess process;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("XDG_CONFIG_HOME", m_dir->filePath("config"));
        env.remove("DISPLAY");
        process.setProcessEnvironment(env);
        process.start(QStringLiteral(VELLARO_CLI), QStringList{"--install-dir", install} + args);
        if (!process.waitForFinished(120000))
            return -1;
        if (out)
            *out = process.readAllStandardOutput();
        return process.exitCode();
    };
    const QStringList paths = pictures(9);
    QCOMPARE(cli({"new-album", "Trip"}), 0);
    QCOMPARE(cli({"new-album", "Empty"}), 0);
    QCOMPARE(cli(QStringList{"add", "Trip"} + paths), 0);
    auto pageCount = [this] { return int(render(pdfPath(), 12).size()); };

    QByteArray out;
    QCOMPARE(cli({"--json", "print", "Trip", "--pdf", pdfPath()}, &out), 0);
    const QJsonObject written = QJsonDocument::fromJson(out).object();
    QCOMPARE(written.value("pages").toInt(), 3);
    QCOMPARE(written.value("pdf").toString(), pdfPath());
    QCOMPARE(pageCount(), 3);
    QCOMPARE(cli({"print", "Trip", "--pdf", pdfPath(), "--layout", "sheet"}), 0);
    QCOMPARE(pageCount(), 1);
    QCOMPARE(cli({"print", "Trip", "--pdf", pdfPath(), "--layout", "two", "--copies", "2", "--mode", "fullpage"}), 0);
    QCOMPARE(pageCount(), 10);
    // One a page on Letter paper (816 x 1056 at 96 dpi), unchanged in size.
    QCOMPARE(cli({"print", "Trip", "--pdf", pdfPath(), "--layout", "one", "--page-size", "Letter", "--mode",
                  "nochange"}),
             0);
    const QList<QImage> letter = render(pdfPath());
    QCOMPARE(letter.size(), 9);
    QCOMPARE(letter[0].size(), QSize(816, 1056));
    QCOMPARE(pictureAt(letter[8], {400, 300}), 8);
    QCOMPARE(pictureAt(letter[8], {420, 300}), -1);

    // Usage faults exit 2 and write nothing; refusals exit 1.
    QFile::remove(pdfPath());
    for (const QStringList &wrong : {QStringList{"print", "Trip"}, {"print", "Trip", "--pdf", pdfPath(), "--layout", "six"},
                                     {"print", "Trip", "--pdf", pdfPath(), "--mode", "crop"},
                                     {"print", "Trip", "--pdf", pdfPath(), "--page-size", "A3"},
                                     {"print", "Trip", "--pdf", pdfPath(), "--copies", "0"},
                                     {"print", "--pdf", pdfPath()}})
        QCOMPARE(cli(wrong), 2);
    QCOMPARE(cli({"print", "Empty", "--pdf", pdfPath()}), 1);
    QCOMPARE(cli({"print", "Nobody", "--pdf", pdfPath()}), 1);
    QCOMPARE(cli({"print", "Trip", "--pdf", m_dir->filePath("nowhere/x.pdf")}), 1);
    QVERIFY(!QFileInfo::exists(pdfPath()));
}

void TestPrinting::dialogButtonsAndPreviews()
{
    ScriptedPrompter prompter;
    PrinterDialog dialog(&prompter);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    auto button = [&dialog](const char *name) { return dialog.findChild<QPushButton *>(name); };
    auto label = [&dialog](const char *name) { return dialog.findChild<QLabel *>(name)->text(); };

    // Copies: "-" at one copy changes nothing, "+" twice gives three.
    QTest::mouseClick(button("pushButtonCopyMinus"), Qt::LeftButton);
    QCOMPARE(label("textLabelCopy"), QStringLiteral("1 Copy"));
    QTest::mouseClick(button("pushButtonCopyPlus"), Qt::LeftButton);
    QTest::mouseClick(button("pushButtonCopyPlus"), Qt::LeftButton);
    QCOMPARE(label("textLabelCopy"), QStringLiteral("3 Copy"));
    QCOMPARE(dialog.copies(), 3);
    QTest::mouseClick(button("pushButtonCopyMinus"), Qt::LeftButton);
    QCOMPARE(label("textLabelCopy"), QStringLiteral("2 Copy"));
    // No more than the printer set-up dialog allows.
    for (int i = 0; i < 1000; ++i)
        dialog.slot_minusCopypage();
    QCOMPARE(label("textLabelCopy"), QStringLiteral("999 Copy"));
    for (int i = 0; i < 997; ++i)
        QTest::mouseClick(button("pushButtonCopyMinus"), Qt::LeftButton);
    QCOMPARE(label("textLabelCopy"), QStringLiteral("2 Copy"));

    // Print with nowhere to print to: the user is told and asked for a printer; the
    // dialog stays, its choices kept.
    dialog.printer().setOutputFormat(QPrinter::PdfFormat);
    dialog.printer().setOutputFileName(QString());
    QStringList asked;
    prompter.onExec = [&asked](QDialog *setup) { asked << setup->metaObject()->className(); };
    QTest::mouseClick(button("pushButtonPrint"), Qt::LeftButton);
    QCOMPARE(asked, QStringList{"QPrintDialog"});
    QCOMPARE(prompter.messages.size(), 1);
    QVERIFY(prompter.messages.first().text.contains("No printer"));
    QVERIFY(dialog.isVisible());
    QCOMPARE(dialog.result(), int(QDialog::Rejected));
    QCOMPARE(dialog.copies(), 2);
    // A file chosen in the set-up dialog: Print then goes on.
    prompter.onExec = [&dialog, this](QDialog *) { dialog.printer().setOutputFileName(pdfPath()); };
    prompter.dialogResults << QDialog::Accepted;
    QTest::mouseClick(button("pushButtonPrint"), Qt::LeftButton);
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    prompter.onExec = nullptr;
    dialog.show();

    // Forty pictures four to a page: "+" goes up to page 10 and no further, "-" back.
    QStringList paths = pictures(40);
    dialog.setPictures(paths.mid(0, 1), {PageComposition::loadPreview(paths[0], 64)});
    QVERIFY(!button("pushButtonPagePlus")->isEnabled());
    QVERIFY(!button("pushButtonPageMinus")->isEnabled());
    QList<PageComposition::Picture> previews;
    for (const QString &path : std::as_const(paths))
        previews << PageComposition::loadPreview(path, 64);
    dialog.setPictures(paths, previews);
    QCOMPARE(label("textLabelPage"), QStringLiteral("Page : 1"));
    QTest::mouseClick(dialog.findChild<QRadioButton *>("radioButtonFour"), Qt::LeftButton);
    QCOMPARE(dialog.layout(), Layout::FourPerPage);
    for (int i = 0; i < 12; ++i)
        QTest::mouseClick(button("pushButtonPagePlus"), Qt::LeftButton);
    QCOMPARE(label("textLabelPage"), QStringLiteral("Page : 10"));
    QTest::mouseClick(button("pushButtonPageMinus"), Qt::LeftButton);
    QCOMPARE(label("textLabelPage"), QStringLiteral("Page : 9"));
    // One a page keeps the page's first picture (the 33rd) in view.
    QTest::mouseClick(dialog.findChild<QRadioButton *>("radioButtonFull"), Qt::LeftButton);
    QCOMPARE(label("textLabelPage"), QStringLiteral("Page : 33"));
    QTest::mouseClick(dialog.findChild<QRadioButton *>("radioButtonContact"), Qt::LeftButton);
    QCOMPARE(label("textLabelPage"), QStringLiteral("Page : 1"));
    QVERIFY(!button("pushButtonPagePlus")->isEnabled());
    QTest::mouseClick(dialog.findChild<QRadioButton *>("radioButtonCrop"), Qt::LeftButton);
    QCOMPARE(dialog.mode(), Dimension::FullPage);
    QCOMPARE(dialog.printRun().copies(), 2);
    QCOMPARE(dialog.printRun().paths(), paths);

    // Three pictures four to a page. The big preview shows each once, the fourth cell
    // blank; the small picture of the layout shows the first one in the third and
    // fourth cells (only a list of more than three fills them).
    dialog.setPictures(paths.mid(0, 3), previews.mid(0, 3));
    QTest::mouseClick(dialog.findChild<QRadioButton *>("radioButtonFour"), Qt::LeftButton);
    QTest::mouseClick(dialog.findChild<QRadioButton *>("radioButtonShrink"), Qt::LeftButton);
    const QImage big = dialog.findChild<QLabel *>("previewPixmap")->pixmap().toImage();
    const QImage small = dialog.findChild<QLabel *>("pixmapFour")->pixmap().toImage();
    QVERIFY(!big.isNull() && !small.isNull());
    auto at = [](const QImage &page, QPointF fraction) {
        return pictureAt(page, QPoint(int(fraction.x() * page.width()), int(fraction.y() * page.height())));
    };
    const QPointF cells[] = {{0.12, 0.10}, {0.12, 0.59}, {0.63, 0.10}, {0.63, 0.59}};
    QCOMPARE(at(big, cells[0]), 0);
    QCOMPARE(at(big, cells[1]), 1);
    QCOMPARE(at(big, cells[2]), 2);
    QCOMPARE(at(big, cells[3]), -1);
    QCOMPARE(at(small, cells[0]), 0);
    QCOMPARE(at(small, cells[1]), 1);
    QCOMPARE(at(small, cells[2]), 0);
    QCOMPARE(at(small, cells[3]), 0);
    // Two pictures two to a page in the small picture: the second its own.
    const QImage two = dialog.findChild<QLabel *>("pixmapTwo")->pixmap().toImage();
    QCOMPARE(at(two, {0.5, 0.3}), 0);
    QCOMPARE(at(two, {0.5, 0.8}), 1);
}

void TestPrinting::loadingCanBeCancelled()
{
    // Large pictures take a while each: Cancel pressed once the first is read stops the
    // reading, and what was read is kept, in order, with its paths.
    const QStringList paths = pictures(24, QSize(3000, 2000));
    ProgressLoadPrinter loading;
    for (const QString &path : paths)
        loading.addPhoto(QFileInfo(path).path(), QFileInfo(path).fileName());
    QTimer poll;
    int seen = 0;
    connect(&poll, &QTimer::timeout, &loading, [&] {
        if (loading.isVisible() && loading.value() >= 1 && !seen) {
            seen = loading.value();
            QTest::mouseClick(loading.findChild<QPushButton *>(), Qt::LeftButton);
        }
    });
    poll.start(1);
    const QList<PageComposition::Picture> read = loading.load();
    QVERIFY(seen >= 1);
    QVERIFY2(read.size() < paths.size(), qPrintable(QString::number(read.size())));
    QVERIFY(read.size() >= seen);
    QCOMPARE(loading.paths(), paths.mid(0, read.size()));
    for (int i = 0; i < read.size(); ++i) {
        QCOMPARE(read[i].size, QSize(3000, 2000));
        QVERIFY(read[i].image.width() <= ProgressLoadPrinter::PreviewSide);
        QCOMPARE(pictureAt(read[i].image, {5, 5}), i);
    }
    QVERIFY(!loading.isVisible());
}

void TestPrinting::printedFromTheOrganiser()
{
    const QStringList paths = pictures(5);
    const QString install = m_dir->filePath("install");
    QByteArray rows;
    for (int i = 0; i < 5; ++i)
        rows += "File=Photo|" + m_dir->filePath("pics").toUtf8() + QStringLiteral("|p%1.png| | | |1|0|-1|400*300|\r\n")
                                                                        .arg(i, 3, 10, QLatin1Char('0'))
                                                                        .toUtf8();
    writeFile(install + "/DataBase/library.db",
              "NUMLIB=2\r\nLIBRARY=NONE,Photo,Trip,Playlist,Trip1\r\nLIBRARY=NONE,Photo,Sea,Playlist,Sea1\r\n");
    writeFile(install + "/DataBase/db/Sea1.db",
              "KivDir=Sea1\r\nTitle=Sea\r\nDirty=False\r\nCreationDate=2004-01-02\r\nNumFile=2\r\n" + rows.mid(0, rows.indexOf("File=", 10))
                  + rows.mid(rows.lastIndexOf("File=")));
    writeFile(install + "/DataBase/db/Trip1.db",
              "KivDir=Trip1\r\nTitle=Trip\r\nDirty=False\r\nCreationDate=2003-12-31\r\nNumFile=5\r\n" + rows);
    ScriptedPrompter prompter;
    OrganiserFixture fixture;
    AmbrioMainWindow *page = fixture.start(install, &prompter);
    QVERIFY(QTest::qWaitForWindowExposed(page));
    PlayList *trip = nullptr;
    for (PlayList *p : page->albumList()->storedAlbums())
        trip = p->name() == QLatin1String("Trip") ? p : trip;
    page->slot_selectLibrary(trip);
    QTRY_VERIFY(!page->pictures()->isLoading());
    page->clearCurrentItem();

    // The album's Print button with no picture chosen: four a page, two copies, as the
    // user sets them in the dialog.
    QStringList printedPaths;
    prompter.onExec = [&](QDialog *dialog) {
        auto *print = qobject_cast<PrinterDialog *>(dialog);
        QVERIFY(print);
        printedPaths = print->printRun().paths();
        QTest::mouseClick(print->findChild<QRadioButton *>("radioButtonFour"), Qt::LeftButton);
        QTest::mouseClick(print->findChild<QPushButton *>("pushButtonCopyPlus"), Qt::LeftButton);
        print->printer().setOutputFormat(QPrinter::PdfFormat);
        print->printer().setOutputFileName(pdfPath());
    };
    prompter.dialogResults << QDialog::Accepted;
    QPushButton *printButton = page->findChild<QPushButton *>("pushButtonSharePrint");
    QVERIFY(printButton);
    QTest::mouseClick(printButton, Qt::LeftButton);
    QCOMPARE(printedPaths, paths);
    QList<QImage> pages = render(pdfPath(), 48);
    QCOMPARE(pages.size(), 4);
    QCOMPARE(pictureAt(pages[1], kFour[0] / 2), 4);
    QCOMPARE(pictureAt(pages[3], kFour[0] / 2), 4);
    QCOMPARE(pictureAt(pages[2], kFour[3] / 2), 3);
    QCOMPARE(prompter.messages.size(), 0);

    // The current picture alone; then the tray's pictures when it holds two.
    auto click = [page](int index, Qt::KeyboardModifiers modifiers) {
        thumbsView *view = page->photoView();
        KivViewItem *item = view->items().at(index);
        const QRect cell = view->cellGeometry(item->row(), item->column());
        QTest::mouseClick(view->viewport(), Qt::LeftButton, modifiers,
                          cell.center() - QPoint(view->contentsX(), view->contentsY()));
    };
    click(2, {});
    QTRY_COMPARE(page->currentItem(), page->photoView()->items().at(2));
    prompter.dialogResults << QDialog::Accepted;
    page->slot_printPhoto();
    QCOMPARE(printedPaths, QStringList{paths[2]});
    QCOMPARE(render(pdfPath(), 12).size(), 2);  // one page, two copies
    click(4, Qt::ControlModifier);
    click(1, Qt::ControlModifier);
    QVERIFY(page->tray()->count() >= 2);
    prompter.dialogResults << QDialog::Rejected;
    page->slot_printPhoto();
    QCOMPARE(printedPaths.size(), page->tray()->count());
    QVERIFY(printedPaths.contains(paths[4]) && printedPaths.contains(paths[1]));
    // Cancelled: the PDF of the tray was not written over the earlier one.
    QCOMPARE(render(pdfPath(), 12).size(), 2);

    // Another album right-clicked: "Print all these album's pictures" prints its own,
    // whatever the tray and the open album hold.
    PlayList *sea = nullptr;
    for (PlayList *p : page->albumList()->storedAlbums())
        sea = p->name() == QLatin1String("Sea") ? p : sea;
    QVERIFY(sea);
    page->contextmenuLibrary(sea, page->mapToGlobal(QPoint(20, 20)), 0);
    QAction *printAll = nullptr;
    for (QAction *action : page->menus().album->findChildren<QAction *>())
        printAll = action->text() == QLatin1String("Print all these album's pictures") ? action : printAll;
    QVERIFY(printAll);
    prompter.dialogResults << QDialog::Rejected;
    printAll->trigger();
    page->menus().album->hide();
    QCOMPARE(printedPaths, (QStringList{paths[0], paths[4]}));
    fixture.reset();
}

QTEST_MAIN(TestPrinting)
#include "tst_printing.moc"
