// Scanned pages as bitmap files: the files' own bytes, and `vellaro-cli scan` against
// SANE's test scanner through a private configuration (the machine's scanners are never
// asked).
#include "clirun.h"
#include "scanner.h"
#include "testfiles.h"

#include <QImageReader>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QtEndian>
#include <QtTest>

class TestScan : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void bitmapHeaders();
    void namesOfABatch();
    void scanFromTheCommandLine();
    void everyKindOfPageMatchesTheScannersOwnTool();

private:
    // A SANE configuration of the test backend only, with `extra` lines for its config.
    QString saneConfig(const QString &name, const QByteArray &extra = QByteArray());
    CliOutput scan(const QString &config, const QStringList &args);
    QString path(const QString &name) const { return m_dir->filePath(name); }

    std::unique_ptr<QTemporaryDir> m_dir;
};

void TestScan::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
}

QString TestScan::saneConfig(const QString &name, const QByteArray &extra)
{
    const QString folder = path(name);
    writeFile(folder + "/dll.conf", "test\n");
    writeFile(folder + "/test.conf", readAll("/etc/sane.d/test.conf") + "\n" + extra);
    return folder;
}

CliOutput TestScan::scan(const QString &config, const QStringList &args)
{
    // SANE's test backend now and then keeps a read buffer of its reader thread, inside
    // the backend, which is unloaded before the leak check could name it: the check is
    // off for the scanning process (the tests' own processes keep it).
    return runCli(path("home"), path("install"), QStringList{"scan"} + args, 0,
                  {"SANE_CONFIG_DIR=" + config, "ASAN_OPTIONS=detect_leaks=0"});
}

void TestScan::bitmapHeaders()
{
    // Worked out by hand from the bitmap format: 14-byte file header, 40-byte info
    // header, 4 bytes a palette entry, rows padded to 4 bytes, bottom row first.
    struct Case
    {
        QImage image;
        quint16 bits;
        quint32 colours, stride;
    };
    QImage mono(10, 3, QImage::Format_Mono);
    mono.setColorTable({qRgb(0, 0, 0), qRgb(255, 255, 255)});
    mono.fill(1);
    mono.setPixel(0, 2, 0);  // bottom left black
    QImage grey(5, 2, QImage::Format_Grayscale8);
    grey.fill(200);
    grey.setPixel(4, 1, qRgb(7, 7, 7));
    QImage colour(3, 2, QImage::Format_RGB32);
    colour.fill(qRgb(10, 20, 30));
    colour.setPixel(0, 1, qRgb(1, 2, 3));
    // An all-black colour page is still a colour file.
    QImage black(3, 2, QImage::Format_RGB32);
    black.fill(Qt::black);
    for (const Case &c : {Case{mono, 1, 2, 4}, Case{grey, 8, 256, 8}, Case{colour, 24, 0, 12}, Case{black, 24, 0, 12}}) {
        const QByteArray bytes = ScanFile::encode(c.image);
        const auto u16 = [&bytes](int at) { return qFromLittleEndian<quint16>(bytes.constData() + at); };
        const auto u32 = [&bytes](int at) { return qFromLittleEndian<quint32>(bytes.constData() + at); };
        const quint32 offset = 54 + 4 * c.colours;
        const quint32 size = c.stride * quint32(c.image.height());
        QCOMPARE(bytes.left(2), QByteArray("BM"));
        QCOMPARE(u32(2), offset + size);
        QCOMPARE(u32(6), 0u);
        QCOMPARE(u32(10), offset);
        QCOMPARE(u32(14), 40u);
        QCOMPARE(u32(18), quint32(c.image.width()));
        QCOMPARE(u32(22), quint32(c.image.height()));
        QCOMPARE(u16(26), quint16(1));
        QCOMPARE(u16(28), c.bits);
        QCOMPARE(u32(30), 0u);
        QCOMPARE(u32(34), size);
        QCOMPARE(u32(46), c.colours);
        QCOMPARE(bytes.size(), qsizetype(offset + size));
        // Read back by Qt's own reader: the same pixels.
        QImage back;
        QVERIFY(back.loadFromData(bytes, "BMP"));
        QCOMPARE(back.size(), c.image.size());
        for (int y = 0; y < c.image.height(); ++y)
            for (int x = 0; x < c.image.width(); ++x)
                QCOMPARE(qGray(back.pixel(x, y)), qGray(c.image.pixel(x, y)));
    }
    // The first stored row is the picture's last: its first pixel, bottom left.
    const QByteArray colourBytes = ScanFile::encode(colour);
    QCOMPARE(colourBytes.mid(54, 3), QByteArray("\x03\x02\x01", 3));
    const QByteArray monoBytes = ScanFile::encode(mono);
    QCOMPARE(uchar(monoBytes.at(54 + 8)) & 0x80, 0);  // black: palette entry 0
    QCOMPARE(monoBytes.mid(54, 8), QByteArray("\0\0\0\0\xff\xff\xff\0", 8));
}

void TestScan::namesOfABatch()
{
    const QTime at(14, 5, 9, 123);
    QCOMPARE(ScanFile::name(at, 2), QStringLiteral("import14-05-09-1232.bmp"));
    QSet<QString> names;
    for (int i = 0; i < 12; ++i)
        names << ScanFile::name(at, i);
    QCOMPARE(names.size(), 12);
}

void TestScan::scanFromTheCommandLine()
{
    const QString config = saneConfig("sane");
    CliOutput out = scan(config, {"--list"});
    QVERIFY2(out.code == 0, qPrintable(out.err));
    QVERIFY(out.out.startsWith("test:0\t"));
    // The size the scanner's own tool reports for the same page is the size written.
    QProcess scanimage;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("SANE_CONFIG_DIR", config);
    scanimage.setProcessEnvironment(environment);
    scanimage.start("scanimage", {"-d", "test:0", "--format=pnm", "--mode", "Color"});
    QVERIFY(scanimage.waitForFinished(60000));
    QImage reference;
    QVERIFY(reference.loadFromData(scanimage.readAllStandardOutput()));

    for (const QString &mode : {QStringLiteral("color"), QStringLiteral("gray")}) {
        out = scan(config, {"--mode", mode, "--resolution", "50"});
        QVERIFY2(out.code == 0, qPrintable(out.err));
        const QString file = QString::fromUtf8(out.out).trimmed();
        QVERIFY2(QFileInfo(file).fileName().startsWith("import") && file.endsWith(".bmp"), qPrintable(file));
        QCOMPARE(QFileInfo(file).path(), path("install/LastImport"));
        QImageReader reader(file);
        QCOMPARE(reader.format(), QByteArray("bmp"));
        QCOMPARE(reader.size(), reference.size());
        QCOMPARE(qFromLittleEndian<quint16>(readAll(file).constData() + 28), quint16(mode == "color" ? 24 : 8));
    }
    out = runCli(path("home"), path("install"), {"--json", "scan", "--mode", "gray"}, 0,
                 {"SANE_CONFIG_DIR=" + config, "ASAN_OPTIONS=detect_leaks=0"});
    QCOMPARE(QJsonDocument::fromJson(out.out).object()["files"].toArray().size(), 1);

    // The feeder: every sheet (the test scanner's holds ten), each its own file.
    out = runCli(path("home"), path("install"), {"--json", "scan", "--source", "adf", "--mode", "color"}, 0,
                 {"SANE_CONFIG_DIR=" + config, "ASAN_OPTIONS=detect_leaks=0"});
    QCOMPARE(out.code, 0);
    const QJsonArray sheets = QJsonDocument::fromJson(out.out).object()["files"].toArray();
    QCOMPARE(sheets.size(), 10);
    QSet<QString> names;
    for (const QJsonValue &sheet : sheets) {
        names << sheet.toString();
        QImage page;
        QVERIFY(page.load(sheet.toString(), "BMP"));
        QCOMPARE(page.size(), reference.size());
    }
    QCOMPARE(names.size(), 10);

    // A jammed scanner: its own words, exit 1, and no file.
    const QString jammed = saneConfig("jammed", "read-status-code \"SANE_STATUS_JAMMED\"\n");
    const int before = QDir(path("install/LastImport")).count();
    out = scan(jammed, {});
    QCOMPARE(out.code, 1);
    QVERIFY2(out.err.startsWith("Scanner Error: Document feeder jammed"), qPrintable(out.err));
    QCOMPARE(QDir(path("install/LastImport")).count(), before);
    // A disk too full for the page: told, exit 1, no half file nor temporary left.
    out = runCli(path("home"), path("install"), {"scan", "--resolution", "50"}, 10000,
                 {"SANE_CONFIG_DIR=" + config, "ASAN_OPTIONS=detect_leaks=0"});
    QCOMPARE(out.code, 1);
    QVERIFY2(out.err.startsWith("Scanner Error: The scanned picture could not be written to " + path("install/LastImport")),
             qPrintable(out.err));
    QCOMPARE(QDir(path("install/LastImport")).count(), before);
    // Cancelled by the scanner, not by the user: a failure, told, nothing written.
    out = scan(saneConfig("cancelled", "read-status-code \"SANE_STATUS_CANCELLED\"\n"), {});
    QCOMPARE(out.code, 1);
    QVERIFY2(out.err.startsWith("Scanner Error: Operation was canceled"), qPrintable(out.err));
    QCOMPARE(QDir(path("install/LastImport")).count(), before);
    // Wrong command lines; a resolution past what a scanner is asked (32767) among them.
    // The highest is asked (the test scanner gives its own highest, 1200).
    out = scan(config, {"--resolution", "32767"});
    QCOMPARE(out.code, 0);
    for (const char *dpi : {"0", "32768", "99999"}) {
        out = scan(config, {"--resolution", dpi});
        QCOMPARE(out.code, 2);
        QVERIFY2(out.err.contains("from 1 to 32767"), qPrintable(out.err));
    }
    QCOMPARE(scan(config, {"--mode", "sepia"}).code, 2);
    QCOMPARE(scan(config, {"--source", "tray"}).code, 2);
    QCOMPARE(scan(config, {"--resolution", "many"}).code, 2);
    QCOMPARE(scan(config, {"extra"}).code, 2);
    // A device that is not there.
    out = scan(config, {"--device", "test:9"});
    QCOMPARE(out.code, 1);
    QVERIFY(out.err.startsWith("Scanner Error: "));
}

void TestScan::everyKindOfPageMatchesTheScannersOwnTool()
{
    // Colour in three passes, grey of 16 bits, line art of 1 bit, each of a patterned
    // page: the file written holds the pixels SANE's own scanimage gets for the same scan.
    struct Kind
    {
        const char *name;
        QByteArray config;
        QStringList scanimage;
        quint16 bits;
    };
    const QList<Kind> kinds{
        {"threepass", "mode Color\nthree-pass true\ntest-picture \"Color pattern\"\n", {"--mode", "Color"}, 24},
        {"grey16", "mode Gray\ndepth 16\ntest-picture \"Grid\"\n", {"--mode", "Gray", "--depth", "16"}, 8},
        {"lineart", "mode Gray\ndepth 1\ntest-picture \"Grid\"\n", {"--mode", "Gray", "--depth", "1"}, 1},
    };
    for (const Kind &kind : kinds) {
        const QString config = saneConfig(QString::fromLatin1(kind.name), kind.config);
        QProcess scanimage;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("SANE_CONFIG_DIR", config);
        scanimage.setProcessEnvironment(environment);
        scanimage.start("scanimage", QStringList{"-d", "test:0", "--format=pnm"} + kind.scanimage);
        QVERIFY(scanimage.waitForFinished(60000));
        QImage reference;
        QVERIFY2(reference.loadFromData(scanimage.readAllStandardOutput()), kind.name);
        const CliOutput out = scan(config, {});
        QCOMPARE(out.code, 0);
        const QString file = QString::fromUtf8(out.out).trimmed();
        QCOMPARE(qFromLittleEndian<quint16>(readAll(file).constData() + 28), kind.bits);
        QImage written;
        QVERIFY(written.load(file, "BMP"));
        QCOMPARE(written.size(), reference.size());
        int different = 0;
        for (int y = 0; y < written.height(); ++y)
            for (int x = 0; x < written.width(); ++x) {
                const QRgb a = written.pixel(x, y), b = reference.pixel(x, y);
                different += qAbs(qRed(a) - qRed(b)) > 1 || qAbs(qGreen(a) - qGreen(b)) > 1 || qAbs(qBlue(a) - qBlue(b)) > 1;
            }
        QVERIFY2(different == 0, qPrintable(QStringLiteral("%1: %2 pixels differ").arg(kind.name).arg(different)));
    }
}

QTEST_GUILESS_MAIN(TestScan)
#include "tst_scan.moc"
