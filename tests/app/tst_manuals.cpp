// The manual pages of doc/man against the programs themselves: what vellaro-cli and
// vellaro-mail print for --help and --version, the exit statuses they really return,
// and the project's version in CMakeLists.txt. Each page must also format cleanly.
// The programs are run from beside this test; the pages are read from the sources and
// formatted with groff, as man does.
#include <QDir>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

namespace {

struct Run
{
    int code = -1;  // -1: it did not end, or crashed
    QString out;
    QString err;
};

// Runs a program with a home of its own (so no real settings are read), the extra
// environment given, and `input` on its standard input.
Run runProgram(const QString &program, const QStringList &args, const QString &home,
               const QStringList &environment = {}, const QByteArray &input = {})
{
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("HOME", home);
    env.insert("XDG_CONFIG_HOME", home + "/.config");
    env.insert("XDG_DATA_HOME", home + "/.local/share");
    env.remove("VELLARO_SENDMAIL");
    for (const QString &pair : environment)
        env.insert(pair.section('=', 0, 0), pair.section('=', 1));
    process.setProcessEnvironment(env);
    process.start(program, args);
    Run run;
    if (!process.waitForStarted(10000))
        return run;
    process.write(input);
    process.closeWriteChannel();
    if (!process.waitForFinished(60000)) {
        process.kill();
        process.waitForFinished();
        return run;
    }
    run.code = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    run.out = QString::fromUtf8(process.readAllStandardOutput());
    run.err = QString::fromUtf8(process.readAllStandardError());
    return run;
}

QString manPage(const QString &name)
{
    return QStringLiteral(VELLARO_SOURCE_DIR "/doc/man/") + name + QStringLiteral(".1");
}

QString readText(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.readAll());
}

QString groff()
{
    return QStandardPaths::findExecutable(QStringLiteral("groff"));
}

// The page as man shows it, in plain ASCII, each paragraph on one line (lines so long
// that nothing is broken or hyphenated).
QString render(const QString &page)
{
    QProcess process;
    process.start(groff(), {"-man", "-Tascii", "-P-cbou", "-rLL=4000n", page});
    if (!process.waitForFinished(30000) || process.exitCode() != 0)
        return {};
    return QString::fromUtf8(process.readAllStandardOutput());
}

// The lines of one section of a rendered page: from its heading to the next one.
QStringList section(const QString &rendered, const QString &heading)
{
    QStringList lines;
    bool inside = false;
    for (const QString &line : rendered.split('\n')) {
        const bool isHeading = !line.isEmpty() && line.at(0).isUpper();
        if (isHeading) {
            inside = line == heading;
            continue;
        }
        if (inside)
            lines << line;
    }
    return lines;
}

// The tags of a section's indented paragraphs (.TP): what stands first at the margin.
QStringList tags(const QStringList &lines)
{
    static const QRegularExpression tag(QStringLiteral("^ {7}(\\S+)"));
    QStringList found;
    for (const QString &line : lines) {
        const QRegularExpressionMatch match = tag.match(line);
        if (match.hasMatch())
            found << match.captured(1);
    }
    return found;
}

QSet<QString> longOptions(const QString &text)
{
    static const QRegularExpression option(QStringLiteral("(?<![\\w-])--[a-z][a-z-]*[a-z]"));
    QSet<QString> found;
    for (auto it = option.globalMatch(text); it.hasNext();)
        found.insert(it.next().captured(0));
    return found;
}

QString simplified(const QStringList &lines)
{
    return lines.join(' ').simplified();
}

// The exit statuses a page lists under EXIT STATUS.
QSet<int> listedExitCodes(const QString &rendered)
{
    QSet<int> codes;
    for (const QString &tag : tags(section(rendered, "EXIT STATUS"))) {
        bool number = false;
        const int code = tag.toInt(&number);
        if (number)
            codes.insert(code);
    }
    return codes;
}

// The synopsis lines of a usage text ("usage: PROGRAM ..." and the lines below it that
// start with the program's name), without "usage:".
QStringList usageSynopses(const QString &help, const QString &program)
{
    QStringList synopses;
    for (const QString &line : help.split('\n')) {
        QString text = line.simplified();
        if (text.startsWith("usage: "))
            text = text.mid(7);
        if (text.startsWith(program + ' '))
            synopses << text;
    }
    return synopses;
}

} // namespace

class TestManuals : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void pagesFormatCleanly_data();
    void pagesFormatCleanly();
    void versionsAgree();
    void cliHelpAndPageAgree();
    void cliHelpListsWhatTheProgramTakes();
    void cliExitStatusesAreReal();
    void mailHelpAndPageAgree();
    void mailExitStatusesAreReal();
    void programHelpAndPageAgree();

private:
    QString cli() const { return QCoreApplication::applicationDirPath() + "/vellaro-cli"; }
    QString mail() const { return QCoreApplication::applicationDirPath() + "/vellaro-mail"; }
    QString program() const { return QCoreApplication::applicationDirPath() + "/vellaro"; }
    Run runCli(const QStringList &args) { return runProgram(cli(), args, m_home.path()); }

    QTemporaryDir m_home;
    QString m_projectVersion;
};

void TestManuals::initTestCase()
{
    QVERIFY2(!groff().isEmpty(), "groff is needed to format the manual pages (Debian: groff-base)");
    QVERIFY(QFileInfo(cli()).isExecutable());
    QVERIFY(QFileInfo(mail()).isExecutable());
    QVERIFY(m_home.isValid());
    // The one place the version is set.
    const QRegularExpression project(QStringLiteral("project\\(\\s*Vellaro\\s+VERSION\\s+([0-9][0-9.]*)"));
    const QRegularExpressionMatch match = project.match(readText(QStringLiteral(VELLARO_SOURCE_DIR "/CMakeLists.txt")));
    QVERIFY(match.hasMatch());
    m_projectVersion = match.captured(1);
}

void TestManuals::pagesFormatCleanly_data()
{
    QTest::addColumn<QString>("name");
    for (const char *name : {"vellaro", "vellaro-cli", "vellaro-mail"})
        QTest::newRow(name) << QString::fromLatin1(name);
}

void TestManuals::pagesFormatCleanly()
{
    QFETCH(QString, name);
    const QString page = manPage(name);
    QVERIFY2(QFileInfo::exists(page), qPrintable(page));
    // Every warning groff knows of, as "man --warnings" asks for them.
    QProcess process;
    process.start(groff(), {"-man", "-ww", "-z", page});
    QVERIFY(process.waitForFinished(30000));
    const QString warnings = QString::fromUtf8(process.readAllStandardError());
    QVERIFY2(warnings.isEmpty(), qPrintable(warnings));
    QCOMPARE(process.exitCode(), 0);

    const QString rendered = render(page);
    // The page is the program's: its title, its name first, and a synopsis.
    QVERIFY(rendered.startsWith(name.toUpper() + "(1)"));
    const QStringList nameLines = section(rendered, "NAME");
    QVERIFY(simplified(nameLines).startsWith(name + " - "));
    QVERIFY(simplified(section(rendered, "SYNOPSIS")).startsWith(name + ' '));
    // The pages it sends the reader to are there.
    static const QRegularExpression reference(QStringLiteral("\\b(vellaro[a-z-]*)\\(1\\)"));
    const QString seeAlso = simplified(section(rendered, "SEE ALSO"));
    QVERIFY(!seeAlso.isEmpty());
    for (auto it = reference.globalMatch(rendered); it.hasNext();) {
        const QString other = it.next().captured(1);
        QVERIFY2(other != name, "a page does not send the reader to itself");
        QVERIFY2(QFileInfo::exists(manPage(other)), qPrintable(other));
        QVERIFY2(seeAlso.contains(other + "(1)"), qPrintable(other));
    }
}

void TestManuals::versionsAgree()
{
    // Each page's title line carries the project's version.
    static const QRegularExpression title(QStringLiteral("^\\.TH\\s+(\\S+)\\s+1\\s+\\S+\\s+\"Vellaro ([^\"]+)\"\\s+\"User Commands\"\\s*$"),
                                          QRegularExpression::MultilineOption);
    for (const QString &name : QStringList{"vellaro", "vellaro-cli", "vellaro-mail"}) {
        const QRegularExpressionMatch match = title.match(readText(manPage(name)));
        QVERIFY2(match.hasMatch(), qPrintable(name));
        QCOMPARE(match.captured(1), name.toUpper());
        QCOMPARE(match.captured(2), m_projectVersion);
    }
    // Each program prints its name and the same version, and nothing else.
    for (const QString &program : {cli(), mail()}) {
        const Run run = runProgram(program, {"--version"}, m_home.path());
        QCOMPARE(run.code, 0);
        QCOMPARE(run.out, QFileInfo(program).fileName() + ' ' + m_projectVersion + '\n');
        QCOMPARE(run.err, QString());
    }
    // What the pages say --version prints.
    QVERIFY(render(manPage("vellaro-cli")).contains("\"vellaro-cli " + m_projectVersion + "\""));
    QVERIFY(render(manPage("vellaro-mail")).contains("\"vellaro-mail " + m_projectVersion + "\""));
    QVERIFY(render(manPage("vellaro")).contains("\"vellaro " + m_projectVersion + "\""));
    // The option is taken wherever it stands, as --help is.
    const Run late = runCli({"--json", "albums", "--version"});
    QCOMPARE(late.code, 0);
    QCOMPARE(late.out, "vellaro-cli " + m_projectVersion + '\n');
}

void TestManuals::cliHelpAndPageAgree()
{
    const Run help = runCli({"--help"});
    QCOMPARE(help.code, 0);
    QCOMPARE(help.err, QString());
    QVERIFY(help.out.startsWith("usage: vellaro-cli "));
    const Run shortHelp = runCli({"-h"});
    QCOMPARE(shortHelp.code, 0);
    QCOMPARE(shortHelp.out, help.out);
    // Wherever it stands, even after a command.
    QCOMPARE(runCli({"check", "--help"}).out, help.out);

    const QString rendered = render(manPage("vellaro-cli"));
    QVERIFY(!rendered.isEmpty());

    // The help's synopses are the page's.
    const QStringList synopses = usageSynopses(help.out, "vellaro-cli");
    QCOMPARE(synopses.size(), 2);
    const QString pageSynopsis = simplified(section(rendered, "SYNOPSIS"));
    for (const QString &synopsis : synopses)
        QVERIFY2(pageSynopsis.contains(synopsis), qPrintable(synopsis));

    // The help's commands: the words at its first indentation, each with what its lines
    // (up to the next command) say of options.
    static const QRegularExpression commandLine(QStringLiteral("^  ([a-z][a-z-]*)(\\s|$)"));
    QHash<QString, QSet<QString>> helpCommands;
    QString current;
    for (const QString &line : help.out.split('\n').mid(1)) {
        const QRegularExpressionMatch match = commandLine.match(line);
        if (match.hasMatch())
            current = match.captured(1);
        if (!current.isEmpty())
            helpCommands[current] += longOptions(line);
    }
    // The page's commands: the tags of COMMANDS, each with the options its paragraph names.
    QHash<QString, QSet<QString>> pageCommands;
    static const QRegularExpression tagLine(QStringLiteral("^ {7}([a-z][a-z-]*)(\\s|$)"));
    current.clear();
    for (const QString &line : section(rendered, "COMMANDS")) {
        const QRegularExpressionMatch match = tagLine.match(line);
        if (match.hasMatch())
            current = match.captured(1);
        else if (line.startsWith("   ") && !line.startsWith("       ") && !line.trimmed().isEmpty())
            current.clear();  // a subsection heading
        if (!current.isEmpty())
            pageCommands[current] += longOptions(line);
    }
    QVERIFY(helpCommands.size() > 1);
    const QStringList helpNames = helpCommands.keys();
    const QStringList pageNames = pageCommands.keys();
    QCOMPARE(QSet<QString>(pageNames.begin(), pageNames.end()), QSet<QString>(helpNames.begin(), helpNames.end()));
    // Each option the help gives a command, the page gives it too.
    for (auto it = helpCommands.cbegin(); it != helpCommands.cend(); ++it) {
        const QSet<QString> missing = it.value() - pageCommands.value(it.key());
        QVERIFY2(missing.isEmpty(), qPrintable(it.key() + ": " + QStringList(missing.begin(), missing.end()).join(' ')));
    }
    // And every option, the global ones too, is in both.
    const QSet<QString> helpOptions = longOptions(help.out);
    QVERIFY(helpOptions.contains("--install-dir") && helpOptions.contains("--json"));
    QCOMPARE(longOptions(rendered), helpOptions);
    // The global options each have their own paragraph.
    const QStringList optionTags = tags(section(rendered, "OPTIONS"));
    for (const QString &option : usageSynopses(help.out, "vellaro-cli").join(' ').split(QRegularExpression("[\\s\\[\\]|]+"))) {
        if (option.startsWith("--"))
            QVERIFY2(optionTags.contains(option) || optionTags.contains(option + ','), qPrintable(option));
    }
    // Every command has its JSON, or is among those said to print nothing: the words
    // at the margin of JSON OUTPUT, before a paragraph's own text begins.
    QSet<QString> jsonNamed;
    static const QRegularExpression margin(QStringLiteral("^ {7}\\S"));
    for (QString line : section(rendered, "JSON OUTPUT")) {
        if (!margin.match(line).hasMatch())
            continue;
        // "a, b and c print nothing." names its commands; a tag, the one it stands for.
        const bool printsNothing = line.endsWith(QLatin1String(" print nothing."));
        if (printsNothing)
            line.chop(int(qstrlen(" print nothing.")));
        for (QString word : line.split(' ', Qt::SkipEmptyParts)) {
            if (word.at(0).isUpper() || word.startsWith('{'))
                break;
            while (word.endsWith(',') || word.endsWith('.') || word.endsWith(':'))
                word.chop(1);
            if (word != QLatin1String("and"))
                jsonNamed.insert(word);
        }
    }
    for (const QString &command : helpNames)
        QVERIFY2(jsonNamed.contains(command), qPrintable(command));
}

void TestManuals::cliHelpListsWhatTheProgramTakes()
{
    // Every command and option the help lists, the program knows. Run against an
    // installation directory that cannot exist (below a file), each stops before doing
    // anything, but none as an unknown command.
    QFile blocker(m_home.filePath("blocker"));
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    const QString nowhere = m_home.filePath("blocker/install");
    const QString help = runCli({"--help"}).out;
    static const QRegularExpression commandLine(QStringLiteral("^  ([a-z][a-z-]*)(\\s|$)"), QRegularExpression::MultilineOption);
    QSet<QString> commands;
    for (auto it = commandLine.globalMatch(help); it.hasNext();)
        commands.insert(it.next().captured(1));
    QVERIFY(!commands.isEmpty());
    for (const QString &command : std::as_const(commands)) {
        const Run run = runCli({"--install-dir", nowhere, command});
        QVERIFY2(run.code == 1 || run.code == 2, qPrintable(command + ": " + QString::number(run.code)));
        QVERIFY2(!run.err.contains("unknown command"), qPrintable(command + ": " + run.err));
    }
    for (const QString &option : longOptions(help)) {
        const Run run = runCli({"--install-dir", nowhere, option});
        QVERIFY2(run.code >= 0, qPrintable(option));
        QVERIFY2(!run.err.contains("unknown command: " + option), qPrintable(option + ": " + run.err));
    }
    QVERIFY(!QFileInfo::exists(nowhere));
    // A word it does not know is told as such.
    const Run unknown = runCli({"--install-dir", nowhere, "--no-such-option"});
    QCOMPARE(unknown.code, 2);
    QVERIFY(unknown.err.startsWith("unknown command: --no-such-option\nusage: vellaro-cli "));
}

void TestManuals::cliExitStatusesAreReal()
{
    const QSet<int> listed = listedExitCodes(render(manPage("vellaro-cli")));
    QSet<int> seen;
    auto expect = [&](const Run &run, int code, const char *what) {
        if (run.code != code)
            qWarning("%s: exit %d, standard error:\n%s", what, run.code, qPrintable(run.err));
        seen.insert(run.code);
        return run.code == code;
    };

    const QString install = m_home.filePath("catalogue");
    // A catalogue of one empty album is sound.
    const Run made = runCli({"--install-dir", install, "new-album", "Trip"});
    QVERIFY(expect(made, 0, "new-album"));
    const QString id = made.out.trimmed();
    QVERIFY(!id.isEmpty());
    const Run sound = runCli({"--install-dir", install, "check"});
    QVERIFY(expect(sound, 0, "check, sound"));
    QCOMPARE(sound.out, QString());
    QVERIFY(sound.err.contains("The catalogue is sound."));

    // Without its album file, the index names an album that is not there.
    const QDir db(install + "/DataBase/db");
    const QStringList albumFiles = db.entryList({id + ".*"}, QDir::Files);
    QCOMPARE(albumFiles.size(), 1);
    QVERIFY(QFile::remove(db.filePath(albumFiles.first())));
    const Run damaged = runCli({"--install-dir", install, "check"});
    QVERIFY(expect(damaged, 1, "check, damaged"));
    QVERIFY2(damaged.out.startsWith("album-file-missing\t"), qPrintable(damaged.out));
    // A refusal in another command gives the same status.
    QVERIFY(expect(runCli({"--install-dir", install, "rows", "Nothing"}), 1, "rows of no album"));

    // No catalogue at all, a command it does not know, a command short of its arguments.
    QVERIFY(expect(runCli({"--install-dir", m_home.filePath("none"), "check"}), 2, "check, no catalogue"));
    const Run unknown = runCli({"--install-dir", install, "frobnicate"});
    QVERIFY(expect(unknown, 2, "unknown command"));
    QVERIFY(unknown.err.startsWith("unknown command: frobnicate\nusage: "));
    QCOMPARE(unknown.out, QString());
    QVERIFY(expect(runCli({"--install-dir", install, "rows"}), 2, "rows without an album"));

    QVERIFY(expect(runCli({"--help"}), 0, "--help"));
    QVERIFY(expect(runCli({"--version"}), 0, "--version"));

    QCOMPARE(listed, seen);
}

void TestManuals::mailHelpAndPageAgree()
{
    const Run help = runProgram(mail(), {"--help"}, m_home.path());
    QCOMPARE(help.code, 0);
    QCOMPARE(help.err, QString());
    QVERIFY(help.out.startsWith("usage: vellaro-mail "));
    QCOMPARE(runProgram(mail(), {"-h"}, m_home.path()).out, help.out);

    const QString rendered = render(manPage("vellaro-mail"));
    const QStringList synopses = usageSynopses(help.out, "vellaro-mail");
    QCOMPARE(synopses.size(), 2);
    const QString pageSynopsis = simplified(section(rendered, "SYNOPSIS"));
    for (const QString &synopsis : synopses)
        QVERIFY2(pageSynopsis.contains(synopsis), qPrintable(synopsis));
    QCOMPARE(longOptions(rendered), longOptions(help.out));
    const QStringList optionTags = tags(section(rendered, "OPTIONS"));
    for (const QString &option : longOptions(help.out))
        QVERIFY2(optionTags.contains(option) || optionTags.contains(option + ','), qPrintable(option));
    // The mailer the help names is the one the page names.
    QVERIFY(help.out.contains("VELLARO_SENDMAIL"));
    QVERIFY(tags(section(rendered, "ENVIRONMENT")).contains("VELLARO_SENDMAIL"));
    // A wrong command line gives the same usage, on standard error.
    const Run wrong = runProgram(mail(), {"zoe@example.org"}, m_home.path());
    QCOMPARE(wrong.code, 2);
    QCOMPARE(wrong.err, help.out);
}

void TestManuals::mailExitStatusesAreReal()
{
    const QSet<int> listed = listedExitCodes(render(manPage("vellaro-mail")));
    QSet<int> seen;
    const QString home = m_home.filePath("mailhome");
    QVERIFY(QDir().mkpath(home + "/bin"));
    const QString picture = home + "/harbour.png";
    QImage image(8, 6, QImage::Format_RGB32);
    image.fill(Qt::blue);
    QVERIFY(image.save(picture, "PNG"));
    auto script = [&](const QString &name, const QByteArray &body) {
        const QString path = home + "/bin/" + name;
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write("#!/bin/sh\n" + body) < 0)
            return QString();
        file.close();
        file.setPermissions(file.permissions() | QFileDevice::ExeOwner);
        return path;
    };
    const QString message = home + "/message";
    const QString taking = script("taking", "cat > '" + message.toUtf8() + "'\n");
    const QString refusing = script("refusing", "cat > /dev/null\necho 'no relay here' >&2\nexit 75\n");
    QVERIFY(!taking.isEmpty() && !refusing.isEmpty());
    const QStringList mailArgs{"zoe@example.org", "Brest", picture, "Harbour.png"};

    // A mailer that takes it.
    const Run sent = runProgram(mail(), mailArgs, home, {"VELLARO_SENDMAIL=" + taking}, "The harbour.\n");
    QCOMPARE(sent.code, 0);
    seen.insert(sent.code);
    QVERIFY(sent.out.contains("sent : " + taking));
    const QString mailed = readText(message);
    QVERIFY2(mailed.contains("Subject: Brest") && mailed.contains("Harbour.png"), qPrintable(mailed));

    // One that refuses it: the mail is kept as a draft in the documents folder.
    const Run refused = runProgram(mail(), mailArgs, home, {"VELLARO_SENDMAIL=" + refusing}, "The harbour.\n");
    QCOMPARE(refused.code, 1);
    seen.insert(refused.code);
    QVERIFY2(refused.err.contains("no relay here"), qPrintable(refused.err));
    const QStringList drafts = QDir(home + "/Documents").entryList({"*.eml"}, QDir::Files);
    QCOMPARE(drafts.size(), 1);
    QVERIFY(refused.err.contains(drafts.first()));

    // A command line short of a name, and a recipient that is no address: nothing leaves.
    QFile::remove(message);
    const Run odd = runProgram(mail(), mailArgs.mid(0, 3), home, {"VELLARO_SENDMAIL=" + taking});
    QCOMPARE(odd.code, 2);
    seen.insert(odd.code);
    const Run noAddress = runProgram(mail(), {"zoe.example.org", "Brest", picture, "Harbour.png"}, home,
                                     {"VELLARO_SENDMAIL=" + taking});
    QCOMPARE(noAddress.code, 2);
    QVERIFY(!QFileInfo::exists(message));

    seen.insert(runProgram(mail(), {"--version"}, home).code);
    QCOMPARE(listed, seen);
}

void TestManuals::programHelpAndPageAgree()
{
    // The desktop program answers --help and --version without a display.
    const QStringList noDisplay{"DISPLAY=", "WAYLAND_DISPLAY=", "QT_QPA_PLATFORM=xcb"};
    const Run help = runProgram(program(), {"--help"}, m_home.path(), noDisplay);
    QCOMPARE(help.code, 0);
    QCOMPARE(help.err, QString());
    const Run version = runProgram(program(), {"--version"}, m_home.path(), noDisplay);
    QCOMPARE(version.code, 0);
    QCOMPARE(version.out, "vellaro " + m_projectVersion + '\n');

    const QString rendered = render(manPage("vellaro"));
    const QStringList synopses = usageSynopses(help.out, "vellaro");
    QCOMPARE(synopses.size(), 2);
    const QString pageSynopsis = simplified(section(rendered, "SYNOPSIS"));
    for (const QString &synopsis : synopses)
        QVERIFY2(pageSynopsis.contains(synopsis), qPrintable(synopsis + " | " + pageSynopsis));
    // The options the help lists are the page's, both ways.
    QSet<QString> pageOptions;
    for (const QString &tag : tags(section(rendered, "OPTIONS")))
        pageOptions.unite(longOptions(tag));
    QCOMPARE(pageOptions, longOptions(help.out));
    // An option it does not know: the usage on standard error, and the status the page
    // gives for it.
    const Run wrong = runProgram(program(), {"--colour"}, m_home.path(), noDisplay);
    QCOMPARE(wrong.code, 2);
    QVERIFY(wrong.err.endsWith(help.out));
    QVERIFY(wrong.out.isEmpty());
    QCOMPARE(listedExitCodes(rendered), QSet<int>({0, 1, 2}));
}

QTEST_GUILESS_MAIN(TestManuals)
#include "tst_manuals.moc"
