#include "cataloguecli.h"

#include "albumadd.h"
#include "catalogueloader.h"
#include "cataloguebackup.h"
#include "cataloguecheck.h"
#include "metadataqueue.h"
#include "tagmetadata.h"
#include "picturerename.h"
#include "pagecomposition.h"
#include "printrun.h"
#include "cataloguecontext.h"
#include "cataloguelock.h"
#include "cataloguefile.h"
#include "cataloguesave.h"
#include "cataloguetext.h"
#include "directoryplaylist.h"
#include "libraryindex.h"
#include "locatorwalk.h"
#include "namelist.h"
#include "scanjob.h"
#include "scanner.h"
#include "playlistgroup.h"
#include "prefimplementation.h"
#include "prompter.h"
#include "settingsstore.h"
#include "smartplaylist.h"
#include "imageeffects.h"
#include "picturewriter.h"
#include "thumbnailmaker.h"
#include "searchengine.h"
#include "version.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QImageReader>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QHash>
#include <QPageSize>
#include <QPrinter>
#include <QTreeWidget>
#include <memory>

namespace {

enum Exit { Done = 0, Refused = 1, Usage = 2 };

// Refusals go to standard error, in the program's own words.
class StreamPrompter : public Prompter
{
public:
    explicit StreamPrompter(QTextStream &err)
        : m_err(err)
    {
    }
    int message(QWidget *, const Message &box) override
    {
        m_err << box.text.trimmed() << Qt::endl;
        return box.escapeButton;
    }
    QString openFileName(QWidget *, const QString &, const QString &, const QString &) override { return {}; }
    QStringList openFileNames(QWidget *, const QString &, const QString &, const QString &) override { return {}; }
    QString saveFileName(QWidget *, const QString &, const QString &, const QString &) override { return {}; }
    QString existingDirectory(QWidget *, const QString &, const QString &) override { return {}; }
    int exec(QDialog *) override { return 0; }

private:
    QTextStream &m_err;
};

// The stored catalogue, loaded as the program loads it.
struct Loaded
{
    CatalogueContext context;
    LibraryIndex library;
    QTreeWidget list;
    QList<PlayList *> albums;
    QStringList problems;  // albums listed as invalid, and why

    explicit Loaded(const QString &installDir)
        : context(CatalogueContext::forInstallation(installDir))
    {
        context.library = &library;
        library.setRoot(context.root);
    }
    void load()
    {
        library.load();
        // The loader's progress line belongs to the program's output, not the tool's.
        albums = CatalogueLoader::load(&list, library, context, QStringLiteral("media"), nullptr, &problems);
    }
};

QJsonValue number(QStringView text)
{
    return text.toInt();
}

QJsonObject rowObject(const QStringList &row)
{
    auto at = [&row](int i) { return i < row.size() ? row.at(i) : QString(); };
    return {{"filetype", at(0)}, {"folder", at(1)},   {"file", at(2)},         {"title", at(3)},
            {"category", at(4)}, {"comment", at(5)},  {"love", number(at(6))}, {"views", number(at(7))},
            {"badge", number(at(8))}, {"format", at(9)}, {"persons", at(10)}};
}

QJsonObject resultObject(const QStringList &row)
{
    auto at = [&row](int i) { return i < row.size() ? row.at(i) : QString(); };
    QJsonObject object{{"filetype", at(0)}, {"folder", at(1)}, {"file", at(2)}, {"album", at(3)}};
    if (row.size() >= 6) {
        object.insert("views", number(at(4)));
        object.insert("badge", number(at(5)));
    } else {
        object.insert("badge", number(at(4)));
    }
    return object;
}

} // namespace

struct CatalogueCli::Options
{
    QString installDir;
    bool json = false;
    bool fast = false;
    bool repair = false;
    QString attribute;
    QString condition;
    // print
    QString pdf;
    QString layout = QStringLiteral("four");
    QString mode = QStringLiteral("preserve");
    QString pageSize = QStringLiteral("A4");
    QString copies = QStringLiteral("1");
    // locate
    QStringList skips;
    bool add = false;
    // scan
    bool modeGiven = false;
    bool list = false;
    QString device;
    QString source;
    QString resolution;
    // export-metadata, import-metadata
    bool embed = false;
    bool overwrite = false;
    bool dryRun = false;
    QStringList positional;
};

namespace {

// The print command's choices, read from its options.
struct PrintChoice
{
    PageComposition::Layout layout = PageComposition::Layout::FourPerPage;
    PageComposition::Dimension mode = PageComposition::Dimension::PreserveRatio;
    QPageSize pageSize{QPageSize::A4};
    int copies = 1;

    template<typename Options>
    QString read(const Options &options)
    {
        if (options.pdf.isEmpty())
            return QStringLiteral("print needs --pdf OUT.pdf");
        static const QHash<QString, PageComposition::Layout> layouts{
            {"one", PageComposition::Layout::OnePerPage},
            {"two", PageComposition::Layout::TwoPerPage},
            {"four", PageComposition::Layout::FourPerPage},
            {"sheet", PageComposition::Layout::MiniatureSheet}};
        static const QHash<QString, PageComposition::Dimension> modes{
            {"nochange", PageComposition::Dimension::NoChange},
            {"fullpage", PageComposition::Dimension::FullPage},
            {"preserve", PageComposition::Dimension::PreserveRatio}};
        if (!layouts.contains(options.layout.toLower()))
            return QStringLiteral("unknown layout: ") + options.layout;
        layout = layouts.value(options.layout.toLower());
        if (!modes.contains(options.mode.toLower()))
            return QStringLiteral("unknown mode: ") + options.mode;
        mode = modes.value(options.mode.toLower());
        if (options.pageSize.compare(QLatin1String("A4"), Qt::CaseInsensitive) == 0)
            pageSize = QPageSize(QPageSize::A4);
        else if (options.pageSize.compare(QLatin1String("Letter"), Qt::CaseInsensitive) == 0)
            pageSize = QPageSize(QPageSize::Letter);
        else
            return QStringLiteral("unknown page size: ") + options.pageSize;
        bool number = false;
        copies = options.copies.toInt(&number);
        if (!number || copies < 1 || copies > 999)
            return QStringLiteral("--copies takes a number from 1 to 999: ") + options.copies;
        return {};
    }
};

} // namespace

CatalogueCli::CatalogueCli(QTextStream &out, QTextStream &err)
    : m_out(out)
    , m_err(err)
{
}

QString CatalogueCli::usage()
{
    return QStringLiteral(
        "usage: vellaro-cli [--install-dir DIR] [--json] COMMAND [ARGUMENTS]\n"
        "       vellaro-cli --help | --version\n"
        "  albums                          stored albums in library order\n"
        "  rows ALBUM                      an album's rows (ALBUM: an id, or a name naming one album)\n"
        "  smart KIND [KEYWORD]            AllPhoto, Favorites, Stats, Search, BySubject or CategoryPl\n"
        "  search TEXT [--attribute NAME] [--condition NAME]\n"
        "  props ALBUM FILE                a picture's properties\n"
        "  new-album NAME\n"
        "  new-dynamic-album FOLDER\n"
        "  remove-album ALBUM\n"
        "  add ALBUM FILE...\n"
        "  rename ALBUM FILE NEWNAME       rename a picture file; every album holding it follows\n"
        "  set ALBUM FILE KEY=VALUE...     title, category, comment, love, badge, persons, place,\n"
        "                                  event, date, author, from\n"
        "  fx INPUT OUTPUT EFFECT...       grey, mirror, rotate-cw, rotate-ccw, resize1024, resize640,\n"
        "                                  resize320, intensity=F, blend, to-blue, desaturate, contrast,\n"
        "                                  normalize, equalize, edge, noise, fade-to-black=N\n"
        "  thumb INPUT OUTPUT [--fast]     a 99 x 73 catalogue thumbnail\n"
        "  check [--repair]                the catalogue's problems (exit 0 none, 1 some, 2 unreadable);\n"
        "                                  --repair makes the safe repairs after a backup\n"
        "  export-metadata ALBUM [--embed] [--dry-run]\n"
        "                                  the album's tags into its pictures' XMP sidecars (NAME.EXT.xmp),\n"
        "                                  or --embed inside JPEG, TIFF and PNG pictures\n"
        "  import-metadata ALBUM [--overwrite] [--dry-run]\n"
        "                                  the pictures' own tags (EXIF, IPTC, XMP) into the album's empty\n"
        "                                  fields, or every field they give with --overwrite\n"
        "  backup [FILE]                   a snapshot of the catalogue (default: into Backups/)\n"
        "  restore ARCHIVE                 put a snapshot back (the present catalogue is backed up first)\n"
        "  print ALBUM --pdf OUT.pdf [--layout one|two|four|sheet] [--mode nochange|fullpage|preserve]\n"
        "        [--page-size A4|Letter] [--copies N]\n"
        "                                  the album's pictures laid out as the print dialog does, into a\n"
        "                                  PDF (defaults: four, preserve, A4, 1)\n"
        "  scan [--device NAME] [--source flatbed|adf] [--resolution DPI] [--mode color|gray|lineart]\n"
        "                                  pages from a scanner into the last-import folder, as bitmap files\n"
        "  scan --list                     the scanners SANE finds\n"
        "  locate [--skip DIR]... [--add] ROOT...\n"
        "                                  the picture folders below ROOT (a JPEG of 640 x 480 or more),\n"
        "                                  as they are found; the catalogue's hidden folders are skipped;\n"
        "                                  --add makes each a dynamic album\n");
}

int CatalogueCli::effects(const QStringList &args)
{
    if (args.size() < 3)
        return usageError(QStringLiteral("fx takes an input, an output and at least one effect"));
    static const QStringList known{"grey",      "mirror",   "rotate-cw", "rotate-ccw", "resize1024", "resize640",
                                   "resize320", "intensity", "blend",    "to-blue",    "desaturate", "contrast",
                                   "normalize", "equalize", "edge",      "noise",      "fade-to-black"};
    for (const QString &effect : args.mid(2)) {
        if (!known.contains(effect.section(QLatin1Char('='), 0, 0)))
            return usageError(QStringLiteral("unknown effect: ") + effect);
    }
    QImageReader reader(args.at(0));
    reader.setAutoTransform(true);
    QImage image = reader.read();
    if (image.isNull()) {
        m_err << "Could not open this file.\n" << args.at(0) << Qt::endl;
        return Refused;
    }
    for (const QString &effect : args.mid(2)) {
        const qsizetype eq = effect.indexOf(QLatin1Char('='));
        const QString name = eq < 0 ? effect : effect.left(eq);
        const QString value = eq < 0 ? QString() : effect.mid(eq + 1);
        bool ok = true;
        if (name == QLatin1String("grey"))
            ImageEffects::grey(image);
        else if (name == QLatin1String("mirror"))
            ImageEffects::mirror(image);
        else if (name == QLatin1String("rotate-cw"))
            ImageEffects::rotateClockwise(image);
        else if (name == QLatin1String("rotate-ccw"))
            ImageEffects::rotateCounterClockwise(image);
        else if (name == QLatin1String("resize1024"))
            ImageEffects::reduce(image, 1024);
        else if (name == QLatin1String("resize640"))
            ImageEffects::reduce(image, 640);
        else if (name == QLatin1String("resize320"))
            ImageEffects::reduce(image, 320);
        else if (name == QLatin1String("intensity"))
            ImageEffects::intensity(image, value.toFloat(&ok));
        else if (name == QLatin1String("blend"))
            ImageEffects::blend(image, Qt::black, 0.5f);
        else if (name == QLatin1String("to-blue"))
            ImageEffects::fade(image, QColor(0, 0, 255), 0.2);
        else if (name == QLatin1String("desaturate"))
            ImageEffects::desaturate(image, 0.5f);
        else if (name == QLatin1String("contrast"))
            ImageEffects::contrast(image, 1);
        else if (name == QLatin1String("normalize"))
            ImageEffects::normalize(image);
        else if (name == QLatin1String("equalize"))
            ImageEffects::equalize(image);
        else if (name == QLatin1String("edge"))
            image = ImageEffects::edge(image, 300.0);
        else if (name == QLatin1String("noise"))
            image = ImageEffects::noise(image);
        else if (name == QLatin1String("fade-to-black"))
            ImageEffects::fade(image, Qt::black, value.toInt(&ok) * 0.1);
        else
            return usageError(QStringLiteral("unknown effect: ") + effect);
        if (!ok)
            return usageError(QStringLiteral("not a number in: ") + effect);
    }
    const PictureWriter::Result result = PictureWriter::write(image, args.at(1));
    if (result != PictureWriter::Result::Written) {
        m_err << PictureWriter::message(result, args.at(1)).trimmed() << Qt::endl;
        return Refused;
    }
    return Done;
}

int CatalogueCli::thumbnail(const QStringList &args, bool fast)
{
    if (args.size() != 2)
        return usageError(QStringLiteral("thumb takes an input and an output"));
    const ThumbnailMaker::Result made = ThumbnailMaker::make(args.at(0), fast);
    if (!made.loaded) {
        m_err << "Could not open this file.\n" << args.at(0) << Qt::endl;
        return Refused;
    }
    if (!ThumbnailMaker::save(made.image, args.at(1))) {
        m_err << "The thumbnail could not be written: " << args.at(1) << Qt::endl;
        return Refused;
    }
    return Done;
}

int CatalogueCli::usageError(const QString &message)
{
    if (!message.isEmpty())
        m_err << message << Qt::endl;
    m_err << usage();
    m_err.flush();
    return Usage;
}

int CatalogueCli::run(const QStringList &arguments)
{
    Options options;
    for (int i = 0; i < arguments.size(); ++i) {
        const QString &arg = arguments.at(i);
        auto valueOf = [&](QString *target) {
            if (i + 1 >= arguments.size())
                return false;
            *target = arguments.at(++i);
            return true;
        };
        if (arg == QLatin1String("--json")) {
            options.json = true;
        } else if (arg == QLatin1String("--install-dir")) {
            if (!valueOf(&options.installDir))
                return usageError(QStringLiteral("--install-dir needs a folder"));
        } else if (arg == QLatin1String("--attribute")) {
            if (!valueOf(&options.attribute))
                return usageError(QStringLiteral("--attribute needs a name"));
        } else if (arg == QLatin1String("--condition")) {
            if (!valueOf(&options.condition))
                return usageError(QStringLiteral("--condition needs a name"));
        } else if (arg == QLatin1String("--pdf")) {
            if (!valueOf(&options.pdf))
                return usageError(QStringLiteral("--pdf needs a file name"));
        } else if (arg == QLatin1String("--layout")) {
            if (!valueOf(&options.layout))
                return usageError(QStringLiteral("--layout needs one, two, four or sheet"));
        } else if (arg == QLatin1String("--mode")) {
            if (!valueOf(&options.mode))
                return usageError(QStringLiteral("--mode needs nochange, fullpage or preserve (print), color, gray or "
                                                 "lineart (scan)"));
            options.modeGiven = true;
        } else if (arg == QLatin1String("--list")) {
            options.list = true;
        } else if (arg == QLatin1String("--device")) {
            if (!valueOf(&options.device))
                return usageError(QStringLiteral("--device needs a scanner's name"));
        } else if (arg == QLatin1String("--source")) {
            if (!valueOf(&options.source))
                return usageError(QStringLiteral("--source needs flatbed or adf"));
        } else if (arg == QLatin1String("--resolution")) {
            if (!valueOf(&options.resolution))
                return usageError(QStringLiteral("--resolution needs a number of dots per inch"));
        } else if (arg == QLatin1String("--page-size")) {
            if (!valueOf(&options.pageSize))
                return usageError(QStringLiteral("--page-size needs A4 or Letter"));
        } else if (arg == QLatin1String("--copies")) {
            if (!valueOf(&options.copies))
                return usageError(QStringLiteral("--copies needs a number"));
        } else if (arg == QLatin1String("--skip")) {
            QString skip;
            if (!valueOf(&skip))
                return usageError(QStringLiteral("--skip needs a folder"));
            options.skips << skip;
        } else if (arg == QLatin1String("--add")) {
            options.add = true;
        } else if (arg == QLatin1String("--fast")) {
            options.fast = true;
        } else if (arg == QLatin1String("--repair")) {
            options.repair = true;
        } else if (arg == QLatin1String("--embed")) {
            options.embed = true;
        } else if (arg == QLatin1String("--overwrite")) {
            options.overwrite = true;
        } else if (arg == QLatin1String("--dry-run")) {
            options.dryRun = true;
        } else if (arg == QLatin1String("--help") || arg == QLatin1String("-h")) {
            m_out << usage();
            return Done;
        } else if (arg == QLatin1String("--version")) {
            m_out << "vellaro-cli " VELLARO_VERSION "\n";
            m_out.flush();
            return Done;
        } else {
            options.positional << arg;
        }
    }
    if (options.positional.isEmpty())
        return usageError(QString());
    const QString command = options.positional.first();
    if (command == QLatin1String("fx") || command == QLatin1String("thumb")) {
        // Picture commands need no catalogue.
        const int code = command == QLatin1String("fx") ? effects(options.positional.mid(1))
                                                        : thumbnail(options.positional.mid(1), options.fast);
        m_out.flush();
        m_err.flush();
        return code;
    }
    if (options.installDir.isEmpty()) {
        const std::unique_ptr<QSettings> store = SettingsStore::open();
        options.installDir = store->value(QLatin1String(prefImplementation::installPathKey()),
                                          prefImplementation::defaultInstallPath())
                                 .toString();
        if (options.installDir.isEmpty()) {
            m_err << "The installation directory setting is empty: Vellaro is not installed." << Qt::endl;
            return Usage;
        }
    }
    // Paths the commands write and compare are whole, wherever the tool is started.
    options.installDir = QFileInfo(options.installDir).absoluteFilePath();
    const int code = dispatch(options);
    m_out.flush();
    m_err.flush();
    return code;
}

int CatalogueCli::locate(const Options &options, const std::function<bool(const QString &)> &add)
{
    const QStringList roots = options.positional.mid(1);
    if (roots.isEmpty())
        return usageError(QStringLiteral("locate needs at least one folder"));
    QStringList walked;
    for (const QString &root : roots) {
        if (root.startsWith(QLatin1String("--")))
            return usageError(QStringLiteral("unknown option: ") + root);
        if (!QFileInfo(root).isDir()) {
            m_err << "No such folder: " << root << Qt::endl;
            return Refused;
        }
        walked << QDir::cleanPath(QFileInfo(root).absoluteFilePath());
    }
    QStringList skips;
    for (const QString &skip : options.skips)
        skips << QDir::cleanPath(QFileInfo(skip).absoluteFilePath());
    // The folders the user took out of the catalogue stay out.
    QStringList hidden;
    NameList::load(NameList::hiddenDirsPath(CatalogueContext::forInstallation(options.installDir).root), hidden);
    skips << hidden;
    QJsonArray found;
    const std::atomic_bool never{false};
    LocatorWalk::walk(walked, skips, [&](const QString &folder) {
        if (options.json) {
            found.append(folder);
        } else {
            m_out << folder << '\n';
            m_out.flush();
        }
        return !add || add(folder);
    }, never);
    if (options.json)
        m_out << QJsonDocument(QJsonObject{{"folders", found}}).toJson(QJsonDocument::Indented);
    return Done;
}

int CatalogueCli::scan(const Options &options)
{
    if (options.positional.size() > 1)
        return usageError(QStringLiteral("scan takes no other argument: ") + options.positional.at(1));
    if (options.list) {
        QString error;
        const QList<Scanner::Device> found = Scanner::devices(&error);
        if (!error.isEmpty()) {
            m_err << "Scanner Error: " << error << Qt::endl;
            return Refused;
        }
        QJsonArray array;
        for (const Scanner::Device &device : found) {
            array.append(QJsonObject{{"name", device.name}, {"vendor", device.vendor}, {"model", device.model},
                                     {"type", device.type}});
            if (!options.json)
                m_out << device.name << '\t' << device.vendor << '\t' << device.model << '\t' << device.type << '\n';
        }
        if (options.json)
            m_out << QJsonDocument(QJsonObject{{"devices", array}}).toJson(QJsonDocument::Indented);
        return Done;
    }
    Scanner::Choice choice;
    choice.device = options.device;
    choice.source = options.source.toLower();
    if (!choice.source.isEmpty() && choice.source != QLatin1String("flatbed") && choice.source != QLatin1String("adf"))
        return usageError(QStringLiteral("--source needs flatbed or adf"));
    if (options.modeGiven) {
        choice.mode = options.mode.toLower();
        if (choice.mode != QLatin1String("color") && choice.mode != QLatin1String("gray")
            && choice.mode != QLatin1String("lineart"))
            return usageError(QStringLiteral("--mode needs color, gray or lineart"));
    }
    if (!options.resolution.isEmpty()) {
        bool number = false;
        choice.resolution = options.resolution.toInt(&number);
        if (!number || choice.resolution <= 0 || choice.resolution > Scanner::MaxResolution)
            return usageError(QStringLiteral("--resolution needs a number of dots per inch from 1 to %1")
                                  .arg(Scanner::MaxResolution));
    }
    const QString folder = options.installDir + QStringLiteral("/LastImport");
    if (!QDir().mkpath(folder)) {
        m_err << "Scanner Error: the folder " << folder << " cannot be made." << Qt::endl;
        return Refused;
    }
    // The window's own scan: each page written as it comes, and printed.
    ScanJob job(choice, folder);
    QObject::connect(
        &job, &ScanJob::pageWritten, &job,
        [this, &options](const QString &path) {
            if (!options.json) {
                m_out << path << '\n';
                m_out.flush();
            }
        },
        Qt::DirectConnection);
    job.start();
    job.wait();
    const Scanner::Outcome outcome = job.outcome();
    const QStringList written = job.files();
    if (options.json)
        m_out << QJsonDocument(QJsonObject{{"files", QJsonArray::fromStringList(written)}}).toJson(QJsonDocument::Indented);
    if (!outcome.error.isEmpty()) {
        m_err << "Scanner Error: " << outcome.error << Qt::endl;
        return Refused;
    }
    return Done;
}

int CatalogueCli::dispatch(const Options &options)
{
    const QString command = options.positional.first();
    const QStringList args = options.positional.mid(1);
    if (command == QLatin1String("check"))
        return check(options);
    if (command == QLatin1String("backup"))
        return backup(options);
    if (command == QLatin1String("restore"))
        return restore(options);
    if (command == QLatin1String("locate") && !options.add)
        return locate(options, nullptr);
    if (command == QLatin1String("scan"))
        return scan(options);
    static const QStringList writingCommands{"new-album", "new-dynamic-album", "remove-album", "add",
                                             "set",       "rename",            "locate",       "export-metadata",
                                             "import-metadata"};
    static const QStringList readingCommands{"albums", "rows", "smart", "search", "props", "print"};
    if (!writingCommands.contains(command) && !readingCommands.contains(command))
        return usageError(QStringLiteral("unknown command: ") + command);
    // A dry run changes nothing: it reads, even while the window has the catalogue.
    const bool dryRunOfMetadata = options.dryRun && command.endsWith(QLatin1String("-metadata"));
    QStringList writing = writingCommands;
    QStringList reading = readingCommands;
    if (dryRunOfMetadata) {
        writing.removeAll(command);
        reading << command;
    }
    if (options.dryRun && !command.endsWith(QLatin1String("-metadata")))
        return usageError(QStringLiteral("--dry-run is for export-metadata and import-metadata"));
    if (options.embed && command != QLatin1String("export-metadata"))
        return usageError(QStringLiteral("--embed is for export-metadata"));
    if (options.overwrite && command != QLatin1String("import-metadata"))
        return usageError(QStringLiteral("--overwrite is for import-metadata"));
    PrintChoice printChoice;
    if (command == QLatin1String("print")) {
        const QString wrong = printChoice.read(options);
        if (!wrong.isEmpty())
            return usageError(wrong);
    }

    Loaded cat(options.installDir);
    if (reading.contains(command)) {
        const QFileInfo libraryFile(cat.library.filePath());
        if (!QFileInfo(cat.context.root).isDir()) {
            m_err << "No catalogue in " << options.installDir << Qt::endl;
            return Usage;
        }
        if (libraryFile.exists() && !libraryFile.isReadable()) {
            m_err << "The library index cannot be read: " << libraryFile.filePath() << Qt::endl;
            return Usage;
        }
    }

    std::unique_ptr<CatalogueLock> lock;
    if (writing.contains(command)) {
        if (!QDir().mkpath(cat.context.folder)) {
            m_err << "Cannot create the catalogue folder " << cat.context.folder << Qt::endl;
            return Usage;
        }
        // A window that is starting, or another tool's write, is waited for; a window
        // that stays open keeps the catalogue for as long as it runs.
        lock = std::make_unique<CatalogueLock>(cat.context.root);
        switch (lock->lock(CatalogueLock::writerWaitMs())) {
        case CatalogueLock::Result::Locked:
            break;
        case CatalogueLock::Result::Busy:
            m_err << "The catalogue is open in Vellaro.\nClose Vellaro before changing the catalogue from the "
                     "command line."
                  << Qt::endl;
            return Refused;
        case CatalogueLock::Result::CannotCreate:
            m_err << lock->errorString() << "\nNothing is changed." << Qt::endl;
            return Refused;
        }
        // A change of many files cut short among its renames is finished; whatever a
        // writer killed between its last two steps left unused goes next.
        if (CatalogueFile::finishInterruptedBatch(cat.context.root) < 0)
            m_err << "The last change of several pictures was cut short and could not be finished: "
                  << CatalogueFile::lastWriteError() << Qt::endl;
        CatalogueFile::sweepUnfinished(cat.context.root);
    }
    cat.load();
    StreamPrompter prompter(m_err);
    // A damaged index is never written over: it would drop the albums it cannot read.
    if (cat.library.isDamaged()) {
        m_err << cat.library.damage() << Qt::endl;
        if (reading.contains(command))
            return Usage;
        m_err << "Nothing is changed until the library index is repaired." << Qt::endl;
        return Refused;
    }
    // A picture rename cut short is finished before anything else is changed.
    if (writing.contains(command)) {
        QString why;
        if (!PictureRename::finishInterrupted(cat.context.root, CatalogueLoader::storedAlbums(&cat.list), &cat.library,
                                              &why)) {
            m_err << "A picture rename cut short could not be finished: " << why << "\nNothing else is changed."
                  << Qt::endl;
            return Refused;
        }
    }

    auto print = [&](const QJsonValue &json, const QStringList &lines) {
        if (options.json) {
            m_out << (json.isArray() ? QJsonDocument(json.toArray()) : QJsonDocument(json.toObject()))
                         .toJson(QJsonDocument::Indented);
        } else {
            for (const QString &line : lines)
                m_out << line << '\n';
        }
    };
    auto findAlbum = [&](const QString &key, PlayList **found) {
        *found = nullptr;
        QList<PlayList *> byName;
        for (PlayList *album : std::as_const(cat.albums)) {
            if (album->kivDir() == key) {
                *found = album;
                return Done;
            }
            if (album->name() == key)
                byName << album;
        }
        if (byName.size() == 1) {
            *found = byName.first();
            return Done;
        }
        m_err << (byName.isEmpty() ? QStringLiteral("No stored album is named or has the id: ")
                                   : QStringLiteral("Several albums have the name (give its id): "))
              << key << Qt::endl;
        return Refused;
    };
    auto printResults = [&](const AlbumRows &rows) {
        QJsonArray array;
        QStringList lines;
        for (int i = 0; i < rows.count(); ++i) {
            array.append(resultObject(rows.row(i)));
            lines << rows.row(i).join(QLatin1Char('\t'));
        }
        print(array, lines);
    };
    auto evaluate = [&](SmartPlaylist &smart) {
        // The same albums the window's smart albums read, those inside groups included.
        const QList<PlayList *> stored = CatalogueLoader::storedAlbums(&cat.list);
        if (CatalogueLoader::refuseSmartAlbum(stored, prompter))
            return Refused;
        SearchEngine::fill(&smart, stored);
        printResults(smart.rowTable());
        return Done;
    };

    if (command == QLatin1String("albums")) {
        if (!args.isEmpty())
            return usageError(QStringLiteral("albums takes no argument"));
        for (const QString &problem : std::as_const(cat.problems))
            m_err << "warning: " << problem << Qt::endl;
        QJsonArray array;
        QStringList lines;
        for (PlayList *album : std::as_const(cat.albums)) {
            const QString kind = album->contentKind();
            array.append(QJsonObject{{"id", album->kivDir()},
                                     {"class", album->className()},
                                     {"name", album->name()},
                                     {"title", album->title()},
                                     {"group", album->group()},
                                     {"kind", kind},
                                     {"rows", album->rowCount()},
                                     {"valid", album->isValid()}});
            lines << QStringList{album->kivDir(), album->className(), album->name(), album->title(), album->group(),
                                 kind, QString::number(album->rowCount()),
                                 album->isValid() ? QStringLiteral("valid") : QStringLiteral("invalid")}
                         .join(QLatin1Char('\t'));
        }
        print(array, lines);
        return Done;
    }

    if (command == QLatin1String("rows")) {
        if (args.size() != 1)
            return usageError(QStringLiteral("rows takes one album"));
        PlayList *album = nullptr;
        if (const int code = findAlbum(args.first(), &album))
            return code;
        if (CatalogueLoader::refuseInvalidAlbum(album, prompter))
            return Refused;
        const AlbumRows &rows = album->rows();
        QJsonArray array;
        QStringList lines;
        for (int i = 0; i < rows.count(); ++i) {
            array.append(rowObject(rows.row(i)));
            lines << rows.row(i).join(QLatin1Char('\t'));
        }
        print(array, lines);
        return Done;
    }

    if (command == QLatin1String("smart")) {
        if (args.isEmpty() || args.size() > 2)
            return usageError(QStringLiteral("smart takes a kind and perhaps a keyword"));
        const QString kind = args.first();
        std::unique_ptr<SmartPlaylist> smart;
        if (kind == QLatin1String("AllPhoto"))
            smart = std::make_unique<AllPhoto>();
        else if (kind == QLatin1String("Favorites"))
            smart = std::make_unique<Favorites>();
        else if (kind == QLatin1String("Stats"))
            smart = std::make_unique<Stats>();
        else if (kind == QLatin1String("Search"))
            smart = std::make_unique<Search>();
        else if (kind == QLatin1String("BySubject"))
            smart = std::make_unique<BySubject>();
        else if (kind == QLatin1String("CategoryPl"))
            smart = std::make_unique<CategoryPl>();
        else
            return usageError(QStringLiteral("unknown smart album kind: ") + kind);
        smart->setKeyword(args.value(1));
        return evaluate(*smart);
    }

    if (command == QLatin1String("search")) {
        if (args.size() != 1)
            return usageError(QStringLiteral("search takes one text"));
        if (args.first().isEmpty()) {
            print(QJsonArray(), {});
            return Done;
        }
        Search last;
        last.setKeyword(args.first());
        last.setAttribute(options.attribute);
        last.setCondition(options.condition);
        return evaluate(last);
    }

    // The commands below name one picture of one album.
    auto pictureOf = [&](PlayList *album, const QString &file, std::unique_ptr<PhotoItem> *photo) {
        const int index = album->rowTable().indexOfFile(file);
        if (index < 0) {
            m_err << "The album " << album->kivDir() << " has no picture named " << file << Qt::endl;
            return Refused;
        }
        *photo = album->recordAt(index);
        return Done;
    };

    if (command == QLatin1String("props")) {
        if (args.size() != 2)
            return usageError(QStringLiteral("props takes an album and a file name"));
        PlayList *album = nullptr;
        if (const int code = findAlbum(args.at(0), &album))
            return code;
        std::unique_ptr<PhotoItem> p;
        if (const int code = pictureOf(album, args.at(1), &p))
            return code;
        if (!p->propertiesDamage().isEmpty())
            m_err << "warning: the property file of " << args.at(1) << " is damaged (" << p->propertiesDamage()
                  << "); the album row's values are shown." << Qt::endl;
        const QJsonObject object{{"title", p->title()},       {"format", p->format()},     {"category", p->category()},
                                 {"comment", p->comment()},   {"love", p->love()},         {"author", p->author()},
                                 {"from", p->from()},         {"date", p->date()},         {"filetype", p->fileType()},
                                 {"persons", p->personInit()}, {"event", p->event()},      {"place", p->place()},
                                 {"badge", p->userBadge()},   {"views", p->viewCount()},   {"caption", p->caption()}};
        QStringList lines;
        for (const char *key : {"title", "format", "category", "comment", "love", "author", "from", "date",
                                "filetype", "persons", "event", "place", "badge", "views", "caption"}) {
            const QJsonValue v = object.value(QLatin1String(key));
            lines << QLatin1String(key) + QLatin1Char('=') + (v.isDouble() ? QString::number(v.toInt()) : v.toString());
        }
        print(object, lines);
        return Done;
    }

    if (command == QLatin1String("print")) {
        for (const QString &arg : args) {
            if (arg.startsWith(QLatin1String("--")))
                return usageError(QStringLiteral("unknown option: ") + arg);
        }
        if (args.size() != 1)
            return usageError(QStringLiteral("print takes one album"));
        PlayList *album = nullptr;
        if (const int code = findAlbum(args.first(), &album))
            return code;
        if (CatalogueLoader::refuseInvalidAlbum(album, prompter))
            return Refused;
        const QStringList paths = PageComposition::picturePaths(album->rowTable());
        if (paths.isEmpty()) {
            m_err << "The album " << album->name() << " holds no picture to print: nothing is written." << Qt::endl;
            return Refused;
        }
        QPrinter printer(QPrinter::ScreenResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(QFileInfo(options.pdf).absoluteFilePath());
        printer.setPageSize(printChoice.pageSize);
        // The page's own margins are the only ones: the PDF's page is the whole sheet.
        printer.setPageMargins(QMarginsF(0, 0, 0, 0));
        printer.setCreator(QStringLiteral("Vellaro"));
        printer.setDocName(album->title().trimmed().isEmpty() ? album->name() : album->title());
        const PrintRun run(paths, printChoice.layout, printChoice.mode, printChoice.copies);
        const PrintRun::Result result = run.print(printer);
        if (!result.printed) {
            m_err << result.error << Qt::endl;
            return Refused;
        }
        for (const QString &unread : result.unreadable)
            m_err << "warning: cannot read " << unread << ": its place is left blank" << Qt::endl;
        print(QJsonObject{{"pdf", printer.outputFileName()}, {"pages", result.pages}, {"pictures", paths.size()}},
              {QStringLiteral("%1 %2 written to %3")
                   .arg(result.pages)
                   .arg(result.pages == 1 ? QStringLiteral("page") : QStringLiteral("pages"), printer.outputFileName())});
        return Done;
    }

    // Persons read from pictures join the list of persons the window offers.
    auto rememberPersons = [&](const QStringList &names) {
        const QString path = NameList::subjectsPath(cat.context.root);
        QStringList subjects;
        if (!NameList::load(path, subjects) && subjects.isEmpty() && QFileInfo::exists(path))
            return;
        if (subjects.isEmpty())
            subjects << QStringLiteral("Undefined");
        bool changed = false;
        for (const QString &name : names) {
            if (!name.trimmed().isEmpty() && !subjects.contains(name.trimmed())) {
                subjects << name.trimmed();
                changed = true;
            }
        }
        if (changed && !NameList::save(path, subjects))
            m_err << "warning: the list of persons could not be written: " << path << Qt::endl;
    };
    auto saveAlbumAndIndex = [&](PlayList *album) {
        const QString error = CatalogueSave::albumAndIndex(album, &cat.library);
        if (!error.isEmpty()) {
            m_err << error << Qt::endl;
            return false;
        }
        return true;
    };

    if (command == QLatin1String("new-album")) {
        if (args.size() != 1)
            return usageError(QStringLiteral("new-album takes one name"));
        if (const QString refusal = CatalogueText::albumNameRefusal(args.first()); !refusal.isEmpty()) {
            prompter.information(nullptr, refusal);
            return Refused;
        }
        auto *album = new PlayList(&cat.list);
        album->setContext(&cat.context);
        album->setName(args.first());
        album->setFreshId(QDateTime::currentDateTime());
        album->setKivDir(album->id());
        album->setTitle(args.first());
        album->setCreationDate(QDate::currentDate());
        album->setDirty(true);
        cat.library.insertAlbum(album, nullptr);
        if (!saveAlbumAndIndex(album)) {
            QDir().rmdir(album->albumFolder());
            return Refused;
        }
        print(QJsonObject{{"id", album->kivDir()}}, {album->kivDir()});
        return Done;
    }

    // The dynamic album bound to `folder`, if the catalogue holds one.
    auto boundAlbum = [&](const QString &folder) {
        // The same folder by another path (a link) is the same folder.
        const QString real = QFileInfo(folder).canonicalFilePath();
        for (PlayList *album : std::as_const(cat.albums)) {
            auto *dynamic = dynamic_cast<DirectoryPlaylist *>(album);
            if (dynamic
                && (QDir::cleanPath(dynamic->from()) == folder
                    || (!real.isEmpty() && QFileInfo(dynamic->from()).canonicalFilePath() == real)))
                return true;
        }
        return false;
    };
    // A new dynamic album of `folder`, stored; none when refused (told) or not written.
    auto addDynamicAlbum = [&](const QString &folder) -> DirectoryPlaylist * {
        const QString name = QFileInfo(folder).fileName();
        // The name comes from the folder: "," is kept, "|" or a line end cannot be.
        QString refusal = DirectoryPlaylist::folderRefusal(folder);
        if (refusal.isEmpty())
            refusal = CatalogueText::folderNameRefusal(name);
        if (!refusal.isEmpty()) {
            prompter.information(nullptr, refusal);
            return nullptr;
        }
        auto *album = new DirectoryPlaylist(&cat.list);
        album->setContext(&cat.context);
        album->setName(name);
        album->setFreshId(QDateTime::currentDateTime());
        album->setKivDir(album->id());
        album->setTitle(name);
        album->setFrom(folder);
        album->setCreationDate(QDate::currentDate());
        album->rows();
        for (const QString &skipped : album->skippedFiles())
            m_err << "warning: skipped a file whose name holds \"|\" or a line break: " << folder << '/' << skipped
                  << Qt::endl;
        album->setDirty(true);
        cat.library.insertAlbum(album, nullptr);
        if (!saveAlbumAndIndex(album)) {
            QDir().rmdir(album->albumFolder());
            cat.library.removeAlbum(album);
            delete album;
            return nullptr;
        }
        cat.albums << album;
        // Its pictures' own tags, as the window reads them for a folder's new pictures.
        if (SettingsStore::open()
                ->value(QLatin1String(prefImplementation::key(prefImplementation::ReadMetadata)), true)
                .toBool()) {
            std::vector<std::unique_ptr<PhotoItem>> tagged;
            QStringList persons;
            for (int i = 0; i < album->rowCount(); ++i) {
                std::unique_ptr<PhotoItem> photo = album->recordAt(i);
                if (!photo
                    || TagMetadata::applyToRecord(*photo, TagMetadata::read(photo->picturePath()).tags, false).isEmpty())
                    continue;
                album->updateRow(photo.get());
                persons << NameList::persons(photo->personInit());
                tagged.push_back(std::move(photo));
            }
            if (!tagged.empty()) {
                QList<const KivViewItem *> records;
                for (const auto &photo : tagged)
                    records << photo.get();
                QDir().mkpath(album->albumFolder());
                if (const QString error = CatalogueSave::propertiesAndAlbums(records, {album}, &cat.library);
                    !error.isEmpty())
                    m_err << "warning: the tags read from the pictures could not be stored: " << error << Qt::endl;
                else
                    rememberPersons(persons);
            }
        }
        return album;
    };

    if (command == QLatin1String("new-dynamic-album")) {
        if (args.size() != 1)
            return usageError(QStringLiteral("new-dynamic-album takes one folder"));
        QString folder = QDir::cleanPath(QFileInfo(args.first()).absoluteFilePath());
        if (!QFileInfo(folder).isDir()) {
            prompter.information(nullptr, QStringLiteral("Unable to add this dynamic album.\nthis folder does not "
                                                         "exist: ") + args.first());
            return Refused;
        }
        if (boundAlbum(folder)) {
            prompter.information(nullptr, QStringLiteral("Unable to add this dynamic album.\nthis album is "
                                                         "already in the database"));
            return Refused;
        }
        DirectoryPlaylist *album = addDynamicAlbum(folder);
        if (!album)
            return Refused;
        print(QJsonObject{{"id", album->kivDir()}, {"rows", album->rowCount()}}, {album->kivDir()});
        return Done;
    }

    if (command == QLatin1String("locate")) {
        // Each folder found becomes an album at once: a walk cut short keeps what it made.
        bool failed = false;
        const int code = locate(options, [&](const QString &folder) {
            if (boundAlbum(folder))
                return true;
            // A folder whose name cannot be catalogued is passed over; a catalogue that
            // cannot be written stops the walk.
            if (!DirectoryPlaylist::folderRefusal(folder).isEmpty()
                || !CatalogueText::folderNameRefusal(QFileInfo(folder).fileName()).isEmpty()) {
                m_err << "warning: passed over a folder whose name cannot be catalogued: " << folder << Qt::endl;
                return true;
            }
            failed = !addDynamicAlbum(folder);
            return !failed;
        });
        return failed ? Refused : code;
    }

    if (command == QLatin1String("remove-album")) {
        if (args.size() != 1)
            return usageError(QStringLiteral("remove-album takes one album"));
        PlayList *album = nullptr;
        if (const int code = findAlbum(args.first(), &album))
            return code;
        cat.library.removeAlbum(album);
        if (!cat.library.save()) {
            m_err << CatalogueSave::message(CatalogueSave::indexFailure(&cat.library)) << Qt::endl;
            return Refused;
        }
        auto *dynamic = dynamic_cast<DirectoryPlaylist *>(album);
        if (dynamic && !dynamic->from().trimmed().isEmpty()) {
            QStringList hidden;
            const QString path = NameList::hiddenDirsPath(cat.context.root);
            NameList::load(path, hidden);
            if (!hidden.contains(dynamic->from())) {
                hidden << dynamic->from();
                if (!NameList::save(path, hidden))
                    m_err << "warning: the list of hidden folders could not be written: " << path << Qt::endl;
            }
        }
        // An invalid album's files are left alone: they may be damaged, or lead elsewhere.
        if (album->isValid())
            album->removeFiles();
        print(QJsonObject{{"removed", album->kivDir()}}, {album->kivDir()});
        return Done;
    }

    if (command == QLatin1String("add")) {
        if (args.size() < 2)
            return usageError(QStringLiteral("add takes an album and files"));
        PlayList *album = nullptr;
        if (const int code = findAlbum(args.first(), &album))
            return code;
        if (album->isSmart() || album->className() == QLatin1String("PlayListGroup")) {
            m_err << "Pictures are added to albums, not to groups or smart albums." << Qt::endl;
            return Refused;
        }
        QStringList paths;
        for (const QString &file : args.mid(1))
            paths << QFileInfo(file).absoluteFilePath();
        const bool fast = SettingsStore::open()
                              ->value(QLatin1String(prefImplementation::key(prefImplementation::FastThumbs)), true)
                              .toBool();
        cat.context.readTagsOnAdd =
            SettingsStore::open()
                ->value(QLatin1String(prefImplementation::key(prefImplementation::ReadMetadata)), true)
                .toBool();
        const AlbumAdd::Result result = AlbumAdd::addFiles(album, paths, fast, prompter);
        QStringList persons;
        for (const auto &photo : result.added)
            persons << NameList::persons(photo->personInit());
        rememberPersons(persons);
        QJsonArray array;
        QStringList lines;
        for (const auto &photo : result.added) {
            array.append(photo->fileName());
            lines << photo->fileName();
        }
        if (!result.saveError.isEmpty())
            m_err << result.saveError << Qt::endl;
        print(QJsonObject{{"added", array}, {"refused", result.refused}}, lines);
        return result.refused == 0 && result.saveError.isEmpty() ? Done : Refused;
    }

    if (command == QLatin1String("rename")) {
        if (args.size() != 3)
            return usageError(QStringLiteral("rename takes an album, a file name and its new name"));
        PlayList *album = nullptr;
        if (const int code = findAlbum(args.at(0), &album))
            return code;
        if (album->isSmart() || album->className() == QLatin1String("PlayListGroup")) {
            m_err << "Pictures are renamed in albums, not in groups or smart albums." << Qt::endl;
            return Refused;
        }
        if (CatalogueLoader::refuseInvalidAlbum(album, prompter))
            return Refused;
        std::unique_ptr<PhotoItem> photo;
        if (const int code = pictureOf(album, args.at(1), &photo))
            return code;
        if (args.at(2) == args.at(1))
            return Done;
        const PictureRename::Result result =
            PictureRename::rename(photo.get(), album, CatalogueLoader::storedAlbums(&cat.list), args.at(2), &cat.library);
        if (!result.renamed) {
            m_err << (result.message.isEmpty() ? QStringLiteral("The folder of %1 is not there: nothing is renamed.")
                                                      .arg(args.at(1))
                                                : result.message)
                  << Qt::endl;
            return Refused;
        }
        print(QJsonObject{{"renamed", args.at(1)}, {"to", args.at(2)}}, {args.at(2)});
        return Done;
    }

    if (command == QLatin1String("export-metadata") || command == QLatin1String("import-metadata")) {
        const bool exporting = command == QLatin1String("export-metadata");
        for (const QString &arg : args) {
            if (arg.startsWith(QLatin1String("--")))
                return usageError(QStringLiteral("unknown option: ") + arg);
        }
        if (args.size() != 1)
            return usageError(command + QStringLiteral(" takes one album"));
        PlayList *album = nullptr;
        if (const int code = findAlbum(args.first(), &album))
            return code;
        if (album->isSmart() || album->className() == QLatin1String("PlayListGroup")) {
            m_err << "Tags are taken from and into albums, not groups or smart albums." << Qt::endl;
            return Refused;
        }
        if (CatalogueLoader::refuseInvalidAlbum(album, prompter))
            return Refused;
        if (!exporting && !options.dryRun) {
            if (const QString refusal = album->writeRefusal(); !refusal.isEmpty()) {
                m_err << refusal << Qt::endl;
                return Refused;
            }
        }
        const TagMetadata::Target target = options.embed ? TagMetadata::Target::Embedded : TagMetadata::Target::Sidecar;
        // A dynamic album takes in its folder's new pictures first.
        const AlbumRows &rows = album->rows();
        std::vector<std::unique_ptr<PhotoItem>> changed;
        QJsonArray pictures;
        QStringList lines;
        int failures = 0;
        for (int i = 0; i < rows.count(); ++i) {
            std::unique_ptr<PhotoItem> photo = album->recordAt(i);
            if (!photo)
                continue;
            const QString picture = photo->picturePath();
            QJsonObject item{{"file", photo->fileName()}, {"path", picture}};
            QList<TagMetadata::Change> changes;
            QString error;
            QString writtenTo;
            if (!QFileInfo::exists(picture)) {
                error = QStringLiteral("the picture is not there");
            } else if (exporting) {
                const TagMetadata::Tags tags = TagMetadata::fromRecord(*photo);
                const TagMetadata::ReadResult present = TagMetadata::readTarget(picture, target);
                changes = TagMetadata::differences(present.tags, tags);
                // A dry run makes the same checks, so it foretells a refusal too.
                if (!changes.isEmpty())
                    error = TagMetadata::write(picture, tags, target, &writtenTo, options.dryRun);
                if (options.dryRun)
                    writtenTo.clear();
            } else {
                const TagMetadata::ReadResult read = TagMetadata::read(picture);
                if (!read.error.isEmpty())
                    m_err << "warning: " << photo->fileName() << ": " << read.error << Qt::endl;
                changes = TagMetadata::applyToRecord(*photo, read.tags, options.overwrite);
                if (!changes.isEmpty()) {
                    album->updateRow(photo.get());
                    changed.push_back(std::move(photo));
                }
            }
            QJsonArray changeArray;
            QStringList said;
            for (const TagMetadata::Change &change : std::as_const(changes)) {
                changeArray.append(QJsonObject{{"field", change.field}, {"before", change.before}, {"after", change.after}});
                said << TagMetadata::describe(change);
            }
            item.insert(QStringLiteral("changes"), changeArray);
            if (!writtenTo.isEmpty())
                item.insert(QStringLiteral("written"), writtenTo);
            if (!error.isEmpty()) {
                ++failures;
                item.insert(QStringLiteral("error"), error);
                m_err << rows.fieldText(i, AlbumRows::FileName) << ": " << error << Qt::endl;
            }
            pictures.append(item);
            const QString file = rows.fieldText(i, AlbumRows::FileName);
            if (!error.isEmpty())
                continue;
            if (said.isEmpty())
                lines << file + QStringLiteral(": unchanged");
            else
                lines << file + QStringLiteral(": ") + said.join(QStringLiteral("; "))
                             + (writtenTo.isEmpty() ? QString() : QStringLiteral(" -> ") + writtenTo);
        }
        if (!exporting && !options.dryRun && (!changed.empty() || album->isDirty())) {
            QList<const KivViewItem *> records;
            for (const auto &photo : changed)
                records << photo.get();
            if (const QString error = CatalogueSave::propertiesAndAlbums(records, {album}, &cat.library);
                !error.isEmpty()) {
                m_err << error << Qt::endl;
                return Refused;
            }
            QStringList persons;
            for (const auto &photo : changed)
                persons << NameList::persons(photo->personInit());
            rememberPersons(persons);
        }
        if (options.dryRun)
            lines << QStringLiteral("(dry run: nothing was changed)");
        print(QJsonObject{{"album", album->kivDir()},
                          {"target", exporting ? (options.embed ? "embedded" : "sidecar") : "catalogue"},
                          {"dry-run", options.dryRun},
                          {"pictures", pictures}},
              lines);
        return failures == 0 ? Done : Refused;
    }

    // set ALBUM FILE KEY=VALUE...
    if (args.size() < 3)
        return usageError(QStringLiteral("set takes an album, a file name and KEY=VALUE pairs"));
    PlayList *album = nullptr;
    if (const int code = findAlbum(args.at(0), &album))
        return code;
    if (CatalogueLoader::refuseInvalidAlbum(album, prompter))
        return Refused;
    std::unique_ptr<PhotoItem> photo;
    if (const int code = pictureOf(album, args.at(1), &photo))
        return code;
    for (const QString &pair : args.mid(2)) {
        const qsizetype eq = pair.indexOf(QLatin1Char('='));
        if (eq <= 0)
            return usageError(QStringLiteral("not a KEY=VALUE pair: ") + pair);
        const QString key = pair.left(eq), value = pair.mid(eq + 1);
        if (const QString refusal = CatalogueText::propertyRefusal(value); !refusal.isEmpty()) {
            prompter.information(nullptr, refusal);
            return Refused;
        }
        bool ok = true;
        if (key == QLatin1String("title")) {
            photo->setTitle(value);
        } else if (key == QLatin1String("category")) {
            photo->setCategory(value);
        } else if (key == QLatin1String("comment")) {
            photo->setComment(value);
        } else if (key == QLatin1String("love")) {
            const int love = value.toInt(&ok);
            ok = ok && love >= 0 && love <= 5;
            if (ok)
                photo->setLove(love);
        } else if (key == QLatin1String("badge")) {
            const int badge = value.toInt(&ok);
            ok = ok && badge >= -1 && badge <= 6;
            if (ok)
                photo->setUserBadge(badge);
        } else if (key == QLatin1String("persons")) {
            photo->setPersonInit(value);
        } else if (key == QLatin1String("place")) {
            photo->setPlace(value);
        } else if (key == QLatin1String("event")) {
            photo->setEvent(value);
        } else if (key == QLatin1String("date")) {
            ok = value.isEmpty() || QDateTime::fromString(value, Qt::ISODate).isValid()
                 || QDate::fromString(value, Qt::ISODate).isValid();
            if (ok)
                photo->setDate(value);
        } else if (key == QLatin1String("author")) {
            photo->setAuthor(value);
        } else if (key == QLatin1String("from")) {
            photo->setFrom(value);
        } else {
            return usageError(QStringLiteral("unknown property: ") + key);
        }
        if (!ok) {
            m_err << "Not a valid value for " << key << ": " << value << Qt::endl;
            return Refused;
        }
    }
    if (const QString refusal = album->writeRefusal(); !refusal.isEmpty()) {
        m_err << refusal << Qt::endl;
        return Refused;
    }
    album->updateRow(photo.get());
    // The property file and the row together: a failure puts the property file back.
    // With the preference on, the tags go into the picture's metadata too: noted first,
    // so that a kill leaves them to be written by the next writer.
    const std::unique_ptr<QSettings> settings = SettingsStore::open();
    const bool writeTags =
        settings->value(QLatin1String(prefImplementation::key(prefImplementation::WriteMetadata)), false).toBool();
    const bool embedTags =
        settings->value(QLatin1String(prefImplementation::key(prefImplementation::MetadataTarget))).toString()
        == QLatin1String("embedded");
    MetadataQueue queue(cat.context.root);
    const MetadataQueue::Entry entry{photo->picturePath(),
                                     embedTags ? TagMetadata::Target::Embedded : TagMetadata::Target::Sidecar,
                                     TagMetadata::fromRecord(*photo)};
    const QList<MetadataQueue::Entry> noted = queue.pending();
    if (writeTags) {
        if (const QString why = queue.add({entry}); !why.isEmpty()) {
            m_err << "The tags cannot be noted for the picture's metadata: " << why << "\nNothing is changed."
                  << Qt::endl;
            return Refused;
        }
    }
    if (const QString error = CatalogueSave::propertiesAndAlbums({photo.get()}, {album}, &cat.library);
        !error.isEmpty()) {
        m_err << error << Qt::endl;
        if (writeTags && !queue.replaceAll(noted).isEmpty())
            m_err << "warning: the tags noted for the picture's metadata could not be taken back" << Qt::endl;
        return Refused;
    }
    // What earlier runs left noted is written too; only this picture's failure is this
    // command's.
    bool ownFailed = false;
    if (queue.count() > 0) {
        for (const MetadataQueue::Failure &failure : queue.writePending()) {
            if (writeTags && failure.picture == entry.picture) {
                ownFailed = true;
                m_err << "The tags are stored in the catalogue, but could not be written into the picture's "
                         "metadata: "
                      << failure.reason << Qt::endl;
            } else {
                m_err << "warning: tags noted earlier could not be written: " << failure.reason << Qt::endl;
            }
        }
    }
    return ownFailed ? Refused : Done;
}

namespace {

// "3 problems: 2 picture-missing, 1 row-disagrees.": a long list (a drive of pictures
// unplugged) no longer hides the one line that matters; kinds in the order found.
QString problemCount(const QList<CatalogueCheck::Problem> &problems)
{
    QStringList kinds;
    QHash<QString, int> counts;
    for (const CatalogueCheck::Problem &problem : problems) {
        if (counts[problem.kind]++ == 0)
            kinds << problem.kind;
    }
    QStringList parts;
    for (const QString &kind : std::as_const(kinds))
        parts << QStringLiteral("%L1 %2").arg(counts.value(kind)).arg(kind);
    return QStringLiteral("%L1 %2: %3.")
        .arg(problems.size())
        .arg(problems.size() == 1 ? QStringLiteral("problem") : QStringLiteral("problems"), parts.join(QStringLiteral(", ")));
}

} // namespace

int CatalogueCli::check(const Options &options)
{
    if (options.positional.size() != 1)
        return usageError(QStringLiteral("check takes no argument"));
    const CatalogueCheck::Report report = CatalogueCheck::run(options.installDir);
    if (!report.readable) {
        m_err << report.unreadable << Qt::endl;
        if (options.json)
            m_out << QJsonDocument(QJsonObject{{"problems", QJsonArray()}, {"repaired", QJsonArray()},
                                               {"error", report.unreadable}})
                         .toJson(QJsonDocument::Indented);
        return Usage;
    }
    QJsonArray problems;
    for (const CatalogueCheck::Problem &problem : report.problems) {
        problems.append(QJsonObject{
            {"kind", problem.kind}, {"album", problem.album}, {"path", problem.path}, {"detail", problem.detail}});
        if (!options.json)
            m_out << problem.kind << '\t' << problem.album << '\t' << problem.path << '\t' << problem.detail << '\n';
    }
    if (report.inUse)
        m_err << "The catalogue is open in Vellaro: what is found may be a change under way." << Qt::endl;
    QJsonArray repaired;
    int code = report.problems.isEmpty() ? Done : Refused;
    if (options.repair && !report.problems.isEmpty()) {
        const QStringList steps = CatalogueCheck::plan(report);
        if (steps.isEmpty()) {
            m_err << "None of these problems has a safe repair: they are left as they are." << Qt::endl;
        } else {
            m_err << "Repairing:" << Qt::endl;
            for (const QString &step : steps)
                m_err << "  " << step << Qt::endl;
            // A mended index shows the albums it had lost, whose own problems are then
            // found: a few rounds, the backup taken in the first.
            CatalogueCheck::Report now = report;
            for (int round = 0; round < 3; ++round) {
                const CatalogueCheck::Repaired done = CatalogueCheck::repair(options.installDir, now, round == 0);
                for (const QString &line : done.done) {
                    repaired.append(line);
                    m_err << "done: " << line << Qt::endl;
                }
                if (!done.error.isEmpty()) {
                    m_err << done.error << Qt::endl;
                    break;
                }
                now = CatalogueCheck::run(options.installDir);
                if (!now.readable || CatalogueCheck::plan(now).isEmpty())
                    break;
                if (round < 2) {
                    for (const QString &step : CatalogueCheck::plan(now).mid(1))
                        m_err << "  " << step << Qt::endl;
                }
            }
            // What is left once the repairs are made decides the exit code.
            code = now.readable && now.problems.isEmpty() ? Done : Refused;
            for (const CatalogueCheck::Problem &problem : now.problems)
                m_err << "left: " << problem.kind << '\t' << problem.path << '\t' << problem.detail << Qt::endl;
        }
    }
    if (options.json)
        m_out << QJsonDocument(QJsonObject{{"problems", problems}, {"repaired", repaired}}).toJson(QJsonDocument::Indented);
    else if (report.problems.isEmpty())
        m_err << "The catalogue is sound." << Qt::endl;
    else
        m_err << problemCount(report.problems) << Qt::endl;
    return code;
}

int CatalogueCli::backup(const Options &options)
{
    if (options.positional.size() > 2)
        return usageError(QStringLiteral("backup takes at most a file name"));
    const QString file = options.positional.value(1);
    const CatalogueBackup::Result result =
        CatalogueBackup::write(options.installDir, file.isEmpty() ? QString() : QFileInfo(file).absoluteFilePath());
    if (!result.error.isEmpty()) {
        m_err << result.error << Qt::endl;
        return Refused;
    }
    if (options.json)
        m_out << QJsonDocument(QJsonObject{{"archive", result.path}, {"files", result.files}})
                     .toJson(QJsonDocument::Indented);
    else
        m_out << result.path << '\n';
    return Done;
}

int CatalogueCli::restore(const Options &options)
{
    if (options.positional.size() != 2)
        return usageError(QStringLiteral("restore takes an archive"));
    const QString archive = QFileInfo(options.positional.at(1)).absoluteFilePath();
    if (const QString why = CatalogueBackup::refusal(archive); !why.isEmpty()) {
        m_err << why << "\nNothing is changed." << Qt::endl;
        return Refused;
    }
    const CatalogueContext context = CatalogueContext::forInstallation(options.installDir);
    std::unique_ptr<CatalogueLock> lock;
    if (QFileInfo(context.root).isDir()) {
        // Never under a running window: it would write its own catalogue back over it.
        lock = std::make_unique<CatalogueLock>(context.root);
        switch (lock->lock(0)) {
        case CatalogueLock::Result::Locked:
            break;
        case CatalogueLock::Result::Busy:
            m_err << "The catalogue is open in Vellaro.\nClose Vellaro before restoring a backup. Nothing is changed."
                  << Qt::endl;
            return Refused;
        case CatalogueLock::Result::CannotCreate:
            m_err << lock->errorString() << "\nNothing is changed." << Qt::endl;
            return Refused;
        }
        // Nothing is pruned now: the archive to restore may be the oldest snapshot.
        const CatalogueBackup::Result before = CatalogueBackup::write(options.installDir, QString(), nullptr, false);
        if (!before.error.isEmpty()) {
            m_err << "The present catalogue could not be backed up first: " << before.error
                  << "\nNothing is changed." << Qt::endl;
            return Refused;
        }
        m_err << "The present catalogue was backed up into " << before.path << Qt::endl;
    }
    const CatalogueBackup::Result result = CatalogueBackup::restore(options.installDir, archive);
    if (!result.error.isEmpty()) {
        m_err << result.error << Qt::endl;
        return Refused;
    }
    // The restored catalogue is held at once, before the old one's lock goes with it.
    CatalogueLock restored(context.root);
    restored.tryLock();
    lock.reset();
    if (options.json)
        m_out << QJsonDocument(QJsonObject{{"restored", archive}, {"files", result.files}})
                     .toJson(QJsonDocument::Indented);
    else
        m_out << "Restored " << result.files << (result.files == 1 ? " catalogue file from " : " catalogue files from ")
              << archive << '\n';
    return Done;
}
