#include "maildelivery.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QSaveFile>
#include <QStandardPaths>
#include <QThread>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>

extern char **environ;

namespace MailDelivery {

namespace {

constexpr int MailerTimeoutMs = 120000;
// A mail client opener still running after this long has opened the client, which stays
// with the user; it is not waited for any longer.
constexpr int ClientWaitMs = 20000;

bool isExecutableFile(const QString &path)
{
    const QFileInfo file(path);
    return file.isFile() && file.isExecutable();
}

// Writes the draft; its path, or empty with `error` set.
QString writeDraft(const MailMessage::Mail &mail, QString *error)
{
    QString folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (folder.isEmpty())
        folder = QDir::homePath();
    if (!QDir().mkpath(folder)) {
        *error = QStringLiteral("The folder %1 cannot be made.").arg(folder);
        return {};
    }
    const QByteArray bytes = MailMessage::compose(mail, MailMessage::Newlines::Internet, error,
                                                  {{"X-Unsent", "1"}});
    if (bytes.isEmpty())
        return {};
    const QString path = draftPathIn(folder);
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
        *error = QStringLiteral("The draft %1 cannot be written: %2").arg(path, file.errorString());
        return {};
    }
    return path;
}

// A mail that did not go: what the user wrote is kept as a draft, and the message says where.
void keepAsDraft(const MailMessage::Mail &mail, Outcome *outcome)
{
    QString error;
    outcome->draftPath = writeDraft(mail, &error);
    outcome->message += outcome->draftPath.isEmpty() ? QStringLiteral("\n") + error
                                                     : QStringLiteral("\nThe mail was kept as a draft: ")
                                                           + outcome->draftPath;
}

// Runs the opener without a shell and without tying its life to ours: it exits when the
// client has taken the mail, or keeps the client in the foreground, in which case it is
// left running. The exit status, or -1 when it could not be started, or 0 when left.
int runOpener(const QString &program, const QStringList &arguments)
{
    QList<QByteArray> storage;
    storage << QFile::encodeName(program);
    for (const QString &argument : arguments)
        storage << argument.toUtf8();
    std::vector<char *> argv;
    for (QByteArray &item : storage)
        argv.push_back(item.data());
    argv.push_back(nullptr);
    // The client it starts may outlive us: it gets no pipe of ours, whose closing would
    // end it on its next message.
    posix_spawn_file_actions_t files;
    posix_spawn_file_actions_init(&files);
    for (int fd : {0, 1, 2})
        posix_spawn_file_actions_addopen(&files, fd, "/dev/null", fd == 0 ? O_RDONLY : O_WRONLY, 0);
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, argv[0], &files, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&files);
    if (spawned != 0)
        return -1;
    for (int waited = 0; waited < ClientWaitMs; waited += 50) {
        int status = 0;
        const pid_t done = waitpid(pid, &status, WNOHANG);
        if (done == pid)
            return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        if (done < 0)
            return -1;
        QThread::msleep(50);
    }
    return 0;
}

} // namespace

QString findMailer()
{
    if (qEnvironmentVariableIsSet("VELLARO_SENDMAIL")) {
        const QString chosen = qEnvironmentVariable("VELLARO_SENDMAIL");
        if (chosen.isEmpty())
            return {};
        return chosen.contains(QLatin1Char('/')) ? (isExecutableFile(chosen) ? chosen : QString())
                                                 : QStandardPaths::findExecutable(chosen);
    }
    const QString onPath = QStandardPaths::findExecutable(QStringLiteral("sendmail"));
    if (!onPath.isEmpty())
        return onPath;
    for (const QString &known : {QStringLiteral("/usr/sbin/sendmail"), QStringLiteral("/usr/lib/sendmail")}) {
        if (isExecutableFile(known))
            return known;
    }
    return {};
}

QString findMailClient()
{
    return QStandardPaths::findExecutable(QStringLiteral("xdg-email"));
}

QStringList mailClientArguments(const MailMessage::Mail &mail)
{
    QStringList arguments{QStringLiteral("--utf8"), QStringLiteral("--subject"), mail.subject,
                          QStringLiteral("--body"), mail.body};
    for (const MailMessage::Attachment &attachment : mail.attachments)
        arguments << QStringLiteral("--attach") << QFileInfo(attachment.path).absoluteFilePath();
    arguments << mail.recipient.trimmed();
    return arguments;
}

QString draftPathIn(const QString &folder)
{
    const QString stem = QStringLiteral("Vellaro mail ")
                         + QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd hh.mm.ss"));
    QString path = QDir(folder).filePath(stem + QStringLiteral(".eml"));
    for (int n = 2; QFileInfo::exists(path); ++n)
        path = QDir(folder).filePath(stem + QStringLiteral(" (%1).eml").arg(n));
    return path;
}

Outcome deliver(const MailMessage::Mail &mail)
{
    Outcome outcome;
    const QString mailer = findMailer();
    // A mailer the user named that is not there is not passed over in silence.
    if (mailer.isEmpty() && !qEnvironmentVariable("VELLARO_SENDMAIL").isEmpty()) {
        outcome.way = Way::Mailer;
        outcome.message = QStringLiteral("VELLARO_SENDMAIL names no program that can be run: %1")
                              .arg(qEnvironmentVariable("VELLARO_SENDMAIL"));
        keepAsDraft(mail, &outcome);
        return outcome;
    }
    if (!mailer.isEmpty()) {
        outcome.way = Way::Mailer;
        outcome.program = mailer;
        QString error;
        const QByteArray bytes = MailMessage::compose(mail, MailMessage::Newlines::Unix, &error);
        if (bytes.isEmpty()) {
            outcome.message = error;
            return outcome;
        }
        QProcess process;
        process.start(mailer, {QStringLiteral("-t"), QStringLiteral("-i")});
        if (process.waitForStarted()) {
            process.write(bytes);
            process.closeWriteChannel();
            if (!process.waitForFinished(MailerTimeoutMs))
                process.kill();
            process.waitForFinished();
        }
        if (process.error() == QProcess::UnknownError && process.exitStatus() == QProcess::NormalExit
            && process.exitCode() == 0) {
            outcome.delivered = true;
            return outcome;
        }
        QString why = QString::fromLocal8Bit(process.readAllStandardError()).trimmed();
        if (process.error() == QProcess::FailedToStart)
            why = process.errorString();
        else if (process.error() == QProcess::WriteError && process.exitStatus() == QProcess::NormalExit
                 && process.exitCode() == 0)
            why = QStringLiteral("it ended without reading the mail");
        else if (process.error() == QProcess::Timedout || process.exitStatus() != QProcess::NormalExit)
            why = QStringLiteral("it stopped before the end");
        else if (why.isEmpty())
            why = QStringLiteral("it ended with status %1").arg(process.exitCode());
        outcome.message = QStringLiteral("The mailer %1 did not take the mail: %2").arg(mailer, why);
        keepAsDraft(mail, &outcome);
        return outcome;
    }

    const QString client = findMailClient();
    if (!client.isEmpty()) {
        const int status = runOpener(client, mailClientArguments(mail));
        if (status == 0) {
            outcome.delivered = true;
            outcome.way = Way::MailClient;
            outcome.program = client;
            return outcome;
        }
        // No mail client set up (or it failed): the draft below.
    }

    outcome.way = Way::Draft;
    QString error;
    outcome.draftPath = writeDraft(mail, &error);
    outcome.delivered = !outcome.draftPath.isEmpty();
    if (!outcome.delivered)
        outcome.message = error;
    return outcome;
}

} // namespace MailDelivery
