// The mail companion run as the window runs it: a process with the designed command line
// and the body on its input. What it hands over is read back by Python's mail parser.
#include "mailaddress.h"
#include "mailparse.h"
#include "testfiles.h"

#include <QImage>
#include <QJsonArray>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

namespace {

struct Run
{
    int exitCode = -1;
    QString out, err;
};

} // namespace

class TestMail : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();
    void deliveredThroughSendmail();
    void withoutMailerTheMailClientThenADraft();
    void refusedBeforeAnythingLeaves();
    void aRefusingMailerKeepsTheMailAsADraft();

private:
    Run run(const QStringList &arguments, const QByteArray &input = QByteArray(),
            const QMap<QString, QString> &extra = {});
    QString fake(const QString &name, const QByteArray &script);
    QString path(const QString &name) const { return m_dir->filePath(name); }

    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_jpeg, m_png;
};

void TestMail::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QDir().mkpath(path("bin"));
    QDir().mkpath(path("home"));
    // A real photograph's kind of bytes, in a folder and under a name with blanks.
    m_jpeg = path("my pics/IMG 0012.JPG");
    QDir().mkpath(path("my pics"));
    QImage photo(64, 48, QImage::Format_RGB32);
    for (int y = 0; y < 48; ++y)
        for (int x = 0; x < 64; ++x)
            photo.setPixel(x, y, qRgb(x * 4, y * 5, (x ^ y) * 3));
    QVERIFY(photo.save(m_jpeg, "JPEG"));
    m_png = path("my pics/c.png");
    QVERIFY(photo.scaled(9, 7).save(m_png, "PNG"));
}

void TestMail::cleanup()
{
    m_dir.reset();
}

QString TestMail::fake(const QString &name, const QByteArray &script)
{
    return writeScript(path("bin/" + name), script);
}

Run TestMail::run(const QStringList &arguments, const QByteArray &input, const QMap<QString, QString> &extra)
{
    // Only the fakes are on the path: no mailer or mail client of this machine is reached.
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("PATH", path("bin"));
    environment.insert("HOME", path("home"));
    environment.insert("XDG_CONFIG_HOME", path("config"));
    environment.remove("VELLARO_SENDMAIL");
    environment.remove("EMAIL");
    for (auto it = extra.cbegin(); it != extra.cend(); ++it)
        environment.insert(it.key(), it.value());
    QProcess process;
    process.setProcessEnvironment(environment);
    process.start(VELLARO_MAIL, arguments);
    Run result;
    if (!process.waitForStarted())
        return result;
    process.write(input);
    process.closeWriteChannel();
    if (!process.waitForFinished(60000))
        return result;
    result.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -2;
    result.out = QString::fromUtf8(process.readAllStandardOutput());
    result.err = QString::fromUtf8(process.readAllStandardError());
    return result;
}

void TestMail::deliveredThroughSendmail()
{
    fake("sendmail", "printf '%s\\n' \"$@\" > \"" + path("args").toUtf8() + "\"\n/bin/cat > \"" + path("message").toUtf8()
                         + "\"\n");
    const QString body = QStringLiteral("Bonjour Zoé,\nvoici la plage.\n\n-- \nAna");
    const Run sent = run({"Zoé Martin <zoe@example.org>", "Plage à Nice", m_jpeg, "Beach.JPG", m_png, "Été 2024.png"},
                         body.toUtf8(), {{"EMAIL", "Ana Lima <ana@example.net>"}});
    QCOMPARE(sent.exitCode, 0);
    QVERIFY2(sent.err.isEmpty(), qPrintable(sent.err));
    // The diagnostic lines, then how the mail went.
    const QStringList lines = sent.out.split('\n', Qt::SkipEmptyParts);
    QCOMPARE(lines.mid(0, 4), (QStringList{"to : Zoé Martin <zoe@example.org>", "Subject : Plage à Nice",
                                            "arg : " + m_jpeg + " Beach.JPG", "arg : " + m_png + " Été 2024.png"}));
    QCOMPARE(lines.value(4), "sent : " + path("bin/sendmail"));
    // sendmail takes the recipients from the headers and a lone "." is no end of message.
    QCOMPARE(readAll(path("args")), QByteArray("-t\n-i\n"));

    const QJsonObject mail = parseMail(readAll(path("message")));
    QCOMPARE(mail["defects"].toInt(), 0);
    QCOMPARE(mail["to"].toString(), QStringLiteral("Zoé Martin <zoe@example.org>"));
    QCOMPARE(mail["from"].toString(), QStringLiteral("Ana Lima <ana@example.net>"));
    QCOMPARE(mail["subject"].toString(), QStringLiteral("Plage à Nice"));
    QCOMPARE(mail["mime"].toString(), QStringLiteral("1.0"));
    QVERIFY(mail["date"].toBool());
    QCOMPARE(mail["type"].toString(), QStringLiteral("multipart/mixed"));
    QCOMPARE(mail["charset"].toString(), QStringLiteral("utf-8"));
    QCOMPARE(mail["body"].toString(), body);
    const QJsonArray attachments = mail["attachments"].toArray();
    QCOMPARE(attachments.size(), 2);
    QCOMPARE(attachments[0]["filename"].toString(), QStringLiteral("Beach.JPG"));
    QCOMPARE(attachments[0]["type"].toString(), QStringLiteral("image/jpeg"));
    QCOMPARE(QByteArray::fromBase64(attachments[0]["data"].toString().toLatin1()), readAll(m_jpeg));
    QCOMPARE(attachments[1]["filename"].toString(), QStringLiteral("Été 2024.png"));
    QCOMPARE(attachments[1]["type"].toString(), QStringLiteral("image/png"));
    QCOMPARE(QByteArray::fromBase64(attachments[1]["data"].toString().toLatin1()), readAll(m_png));
    // Non-ASCII travels encoded: the raw message is plain ASCII (RFC 2047 words, RFC 2231
    // parameters, an encoded body).
    const QByteArray raw = readAll(path("message"));
    QVERIFY(std::all_of(raw.cbegin(), raw.cend(), [](char c) { return uchar(c) < 128; }));
    QVERIFY(raw.contains("filename*=UTF-8''%C3%89t%C3%A9%202024.png"));

    // A subject and a name cannot smuggle in headers of their own.
    QVERIFY(QFile::remove(path("message")));
    QCOMPARE(run({"zoe@example.org", "Hello\r\nBcc: spy@example.com", m_jpeg, "a\r\nBcc: spy@example.com"}).exitCode, 0);
    const QJsonObject smuggled = parseMail(readAll(path("message")));
    QVERIFY(smuggled["bcc"].isNull());
    QCOMPARE(smuggled["subject"].toString(), QStringLiteral("Hello Bcc: spy@example.com"));
    QCOMPARE(smuggled["attachments"].toArray().at(0)["filename"].toString(), QStringLiteral("a Bcc: spy@example.com"));
    // Run from a terminal without input, or with an empty name: the body is empty, the
    // picture goes under its file name.
    QCOMPARE(run({"zoe@example.org", "S", m_png, ""}).exitCode, 0);
    const QJsonObject bare = parseMail(readAll(path("message")));
    QCOMPARE(bare["attachments"].toArray().at(0)["filename"].toString(), QStringLiteral("c.png"));
    QCOMPARE(bare["body"].toString(), QString());
}

void TestMail::withoutMailerTheMailClientThenADraft()
{
    // The desktop's mail client, given the mail by xdg-email.
    fake("xdg-email", "printf '%s\\n' \"$@\" > \"" + path("client").toUtf8() + "\"\n");
    const Run opened = run({"zoe@example.org", "Plage", m_jpeg, "Beach.JPG", m_png, "c.png"}, "Bonjour");
    QCOMPARE(opened.exitCode, 0);
    QVERIFY(opened.out.contains("mail client : " + path("bin/xdg-email")));
    QCOMPARE(QString::fromUtf8(readAll(path("client"))).split('\n', Qt::SkipEmptyParts),
             (QStringList{"--utf8", "--subject", "Plage", "--body", "Bonjour", "--attach", m_jpeg, "--attach", m_png,
                          "zoe@example.org"}));
    QVERIFY(!QFileInfo::exists(path("home/Documents")));

    // A mail client that is not set up (xdg-email fails): the mail becomes a draft.
    fake("xdg-email", "exit 3\n");
    const Run fallback = run({"zoe@example.org", "Plage", m_jpeg, "Beach.JPG"}, "Bonjour");
    QCOMPARE(fallback.exitCode, 0);
    QVERIFY(fallback.out.contains("draft : " + path("home/Documents/")));

    // Nothing at all: a draft in the documents folder, in Internet line ends, marked
    // unsent so a mail program opens it for sending; a second draft never replaces it.
    QVERIFY(QFile::remove(path("bin/xdg-email")));
    const Run first = run({"zoe@example.org", "Plage à Nice", m_jpeg, "Beach.JPG"}, "Bonjour é");
    const Run second = run({"zoe@example.org", "Other", m_png, "c.png"}, "x");
    QCOMPARE(first.exitCode, 0);
    QCOMPARE(second.exitCode, 0);
    const QString draft = first.out.split('\n').filter(QStringLiteral("draft : ")).value(0).mid(8);
    QVERIFY2(draft.startsWith(path("home/Documents/Vellaro mail ")) && draft.endsWith(".eml"), qPrintable(draft));
    QVERIFY(second.out.split('\n').filter(QStringLiteral("draft : ")).value(0).mid(8) != draft);
    QCOMPARE(QDir(path("home/Documents")).entryList(QDir::Files).size(), 3);
    const QByteArray bytes = readAll(draft);
    QVERIFY(bytes.contains("\r\n"));
    QCOMPARE(bytes.count('\n'), bytes.count("\r\n"));
    const QJsonObject mail = parseMail(bytes);
    QCOMPARE(mail["unsent"].toString(), QStringLiteral("1"));
    QCOMPARE(mail["subject"].toString(), QStringLiteral("Plage à Nice"));
    QCOMPARE(mail["body"].toString().trimmed(), QStringLiteral("Bonjour é"));
    QCOMPARE(QByteArray::fromBase64(mail["attachments"].toArray().at(0)["data"].toString().toLatin1()), readAll(m_jpeg));

    // VELLARO_SENDMAIL names the mailer; set empty, there is none even on the path.
    fake("sendmail", "/bin/cat > \"" + path("message").toUtf8() + "\"\n");
    fake("msmtp", "/bin/cat > \"" + path("chosen").toUtf8() + "\"\n");
    QVERIFY(run({"zoe@example.org", "S", m_png, "c.png"}, "", {{"VELLARO_SENDMAIL", path("bin/msmtp")}})
                .out.contains("sent : " + path("bin/msmtp")));
    QVERIFY(QFileInfo::exists(path("chosen")) && !QFileInfo::exists(path("message")));
    QVERIFY(run({"zoe@example.org", "S", m_png, "c.png"}, "", {{"VELLARO_SENDMAIL", ""}}).out.contains("draft : "));
    QVERIFY(!QFileInfo::exists(path("message")));
}

void TestMail::refusedBeforeAnythingLeaves()
{
    fake("sendmail", "/bin/cat > \"" + path("message").toUtf8() + "\"\n");
    // Wrong command lines: the usage, status 2.
    for (const QStringList &arguments : {QStringList{}, QStringList{"zoe@example.org", "S", m_png},
                                         QStringList{"zoe@example.org", "S", m_png, "c.png", m_jpeg}}) {
        const Run wrong = run(arguments);
        QCOMPARE(wrong.exitCode, 2);
        QVERIFY(wrong.err.startsWith("usage: vellaro-mail RECIPIENT SUBJECT PATH NAME"));
    }
    const Run help = run({"--help"});
    QCOMPARE(help.exitCode, 0);
    QVERIFY(help.out.startsWith("usage: "));
    // No address, or a picture that cannot be read: nothing is sent at all.
    for (const QString &recipient : {QStringLiteral("john.example.com"), QStringLiteral(" "), QStringLiteral("a@b, nobody"),
                                     QStringLiteral("zoe@"), QStringLiteral("@example.org"), QStringLiteral("zo e@example.org"),
                                     QStringLiteral("Friends: zoe@example.org"),
                                     QStringLiteral("zoe@example.org\nBcc: spy@example.com")}) {
        const Run refused = run({recipient, "S", m_png, "c.png"});
        QCOMPARE(refused.exitCode, 2);
        QVERIFY2(refused.err.contains("This is not a mail address"), qPrintable(refused.err));
        // The window refuses the same before it starts the companion.
        QVERIFY2(!MailAddress::isAddressList(recipient), qPrintable(recipient));
    }
    const Run missing = run({"zoe@example.org", "S", m_png, "c.png", path("gone.jpg"), "gone.jpg"});
    QCOMPARE(missing.exitCode, 2);
    QVERIFY(missing.err.contains("This picture cannot be read: " + path("gone.jpg")));
    QVERIFY(!QFileInfo::exists(path("message")));
    QVERIFY(!QFileInfo::exists(path("home/Documents")));
    // Several addresses are one recipient list, separated by "," or ";" (a ";" in a
    // quoted name stays in the name).
    for (const QString &recipient : {QStringLiteral("zoe@example.org, Ana <ana@example.net>"),
                                     QStringLiteral("zoe@example.org;\"Lima; Ana\" <ana@example.net> ; bo@example.com")})
        QVERIFY2(MailAddress::isAddressList(recipient), qPrintable(recipient));
    QCOMPARE(run({"zoe@example.org, Ana <ana@example.net>", "S", m_png, "c.png"}).exitCode, 0);
    QCOMPARE(parseMail(readAll(path("message")))["to"].toString(),
             QStringLiteral("zoe@example.org, Ana <ana@example.net>"));
    QCOMPARE(run({"zoe@example.org;\"Lima; Ana\" <ana@example.net> ; bo@example.com", "S", m_png, "c.png"}).exitCode, 0);
    QCOMPARE(parseMail(readAll(path("message")))["to"].toString(),
             QStringLiteral("zoe@example.org, \"Lima; Ana\" <ana@example.net>, bo@example.com"));
}

void TestMail::aRefusingMailerKeepsTheMailAsADraft()
{
    fake("sendmail", "/bin/cat > /dev/null\necho 'sendmail: queue directory full' >&2\nexit 75\n");
    const Run refused = run({"zoe@example.org", "Plage", m_jpeg, "Beach.JPG"}, "Ce que j'ai écrit");
    QCOMPARE(refused.exitCode, 1);
    QVERIFY2(refused.err.contains("queue directory full"), qPrintable(refused.err));
    QVERIFY(refused.err.contains("The mail was kept as a draft: " + path("home/Documents/")));
    const QStringList drafts = QDir(path("home/Documents")).entryList({"*.eml"}, QDir::Files);
    QCOMPARE(drafts.size(), 1);
    QCOMPARE(parseMail(readAll(path("home/Documents/") + drafts[0]))["body"].toString().trimmed(),
             QStringLiteral("Ce que j'ai écrit"));
    // A mailer killed half way is no delivery either.
    fake("sendmail", "kill -9 $$\n");
    const Run killed = run({"zoe@example.org", "Plage", m_jpeg, "Beach.JPG"}, "x");
    QCOMPARE(killed.exitCode, 1);
    QVERIFY2(killed.err.contains("did not take the mail: it stopped before the end"), qPrintable(killed.err));
    // A mailer named by VELLARO_SENDMAIL that is not there: told, and a draft.
    const Run named = run({"zoe@example.org", "Plage", m_jpeg, "Beach.JPG"}, "x", {{"VELLARO_SENDMAIL", path("nope")}});
    QCOMPARE(named.exitCode, 1);
    QVERIFY(named.err.contains("VELLARO_SENDMAIL names no program that can be run: " + path("nope")));
    QVERIFY(named.err.contains("The mail was kept as a draft: "));
    // And a documents folder that cannot be made: the mailer's refusal and why no draft.
    fake("sendmail", "exit 1\n");
    writeFile(path("home2"), "a file where the home folder should be");
    const Run nowhere = run({"zoe@example.org", "Plage", m_jpeg, "Beach.JPG"}, "x", {{"HOME", path("home2")}});
    QCOMPARE(nowhere.exitCode, 1);
    QVERIFY2(nowhere.err.contains("cannot be made"), qPrintable(nowhere.err));
}

QTEST_GUILESS_MAIN(TestMail)
#include "tst_mail.moc"
