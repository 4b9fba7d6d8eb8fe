#include "composemail.h"
#include "ui_composemailbase.h"

#include "kivviewitem.h"
#include "mailaddress.h"
#include "pixmaplookup.h"
#include "playlist.h"
#include "prompter.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QEventLoop>
#include <QGuiApplication>
#include <QTimer>

namespace {

QString s_companion;  // set by tests; empty: beside the program
int s_outcomeWaitMs = 5000;  // how long Send waits to hear how the mail went
constexpr qint64 LargeMail = qint64(25) << 20;

QString joinPath(const QString &folder, const QString &fileName)
{
    return folder.endsWith(QLatin1Char('/')) ? folder + fileName : folder + QLatin1Char('/') + fileName;
}

// The wait cursor for the length of a scope.
struct WaitCursor
{
    bool on = true;
    WaitCursor() { QGuiApplication::setOverrideCursor(Qt::WaitCursor); }
    void restore()
    {
        if (on)
            QGuiApplication::restoreOverrideCursor();
        on = false;
    }
    ~WaitCursor() { restore(); }
};

QString listed(const QStringList &paths)
{
    return paths.mid(0, 10).join(QLatin1Char('\n')) + (paths.size() > 10 ? QStringLiteral("\n...") : QString());
}

} // namespace

MailHandOver::MailHandOver(Prompter *prompter, QWidget *window)
    : m_prompter(prompter)
    , m_window(window)
{
    setObjectName(QStringLiteral("mail delivery"));
    setParent(window ? static_cast<QObject *>(window) : QCoreApplication::instance());
    connect(&m_process, &QProcess::finished, this, &MailHandOver::done);
}

MailHandOver::~MailHandOver()
{
    // The window is going while the mail is still being handed over: it is let finish.
    if (m_process.state() != QProcess::NotRunning) {
        disconnect(&m_process, nullptr, this, nullptr);
        m_process.waitForFinished(30000);
    }
}

bool MailHandOver::start(const QString &program, const QStringList &arguments, const QString &body, QString *error)
{
    m_process.start(program, arguments);
    if (!m_process.waitForStarted(10000)) {
        *error = m_process.errorString();
        return false;
    }
    // The body goes on the companion's input; its command line stays as it always was.
    m_process.write(body.toUtf8());
    m_process.closeWriteChannel();
    return true;
}

void MailHandOver::done(int exitCode, QProcess::ExitStatus status)
{
    const QString output = QString::fromUtf8(m_process.readAllStandardOutput());
    QString problems = QString::fromUtf8(m_process.readAllStandardError()).trimmed();
    problems.replace(QStringLiteral("vellaro-mail: "), QString());
    QString told;
    bool warning = true;
    if (status != QProcess::NormalExit) {
        told = QStringLiteral("The mail program stopped before the end: the mail may not have been sent.");
        exitCode = -1;
    } else if (exitCode != 0) {
        told = QStringLiteral("The mail could not be sent.\n") + problems;
    } else {
        for (const QString &line : output.split(QLatin1Char('\n'))) {
            if (line.startsWith(QLatin1String("draft : "))) {
                told = QStringLiteral("No mail program is set up on this computer, so the mail was saved as a "
                                      "draft.\nOpen it with your mail program to send it:\n")
                       + line.mid(8);
                warning = false;
            }
        }
    }
    if (!told.isEmpty() && m_prompter) {
        if (warning)
            m_prompter->warning(m_window, told);
        else
            m_prompter->information(m_window, told);
    }
    Q_EMIT finished(exitCode, told);
    deleteLater();
}

Composemail::Composemail(Prompter *prompter, QWidget *parent)
    : QDialog(parent)
    , ui(std::make_unique<Ui::ComposemailBase>())
    , m_prompter(prompter)
{
    ui->setupUi(this);
    setObjectName(QStringLiteral("mail"));
    ui->pixmapLeft->setPixmap(kivPixmap(QStringLiteral("ui-dialog-left-mail.png")));
    ui->pixmapMan->setPixmap(kivPixmap(QStringLiteral("red_man.PNG")));
    QPalette back = ui->frameRight->palette();
    back.setBrush(QPalette::Window, kivPixmap(QStringLiteral("ui-dialog-right.png")));
    ui->frameRight->setPalette(back);
    ui->frameRight->setAutoFillBackground(true);
    ui->buttonOk->setIcon(QIcon(kivPixmap(QStringLiteral("composemail.png"))));
    ui->buttonCancel->setIcon(QIcon(kivPixmap(QStringLiteral("button_cancel.png"))));
    ui->textEditMail->setPlainText(QStringLiteral("This picture have been sent by Vellaro. (https://www.vellaro.org)"));
    connect(ui->buttonOk, &QPushButton::clicked, this, &Composemail::sendMail);
    connect(ui->buttonCancel, &QPushButton::clicked, this, &QDialog::reject);
    ui->lineEditTo->setFocus();
    updateCount();
}

Composemail::~Composemail() = default;

QString Composemail::displayName(const QString &fileName, const QString &title)
{
    if (title.size() < 2)
        return fileName;
    const qsizetype dot = fileName.lastIndexOf(QLatin1Char('.'));
    return dot < 0 ? title : title + fileName.mid(dot);
}

QStringList Composemail::commandLine(const QString &program, const QString &to, const QString &subject,
                                     const QStringList &attachments)
{
    QStringList arguments{program, to, subject};
    for (qsizetype i = 0; i + 1 < attachments.size(); i += 2) {
        const QString &path = attachments.at(i);
        const QString &name = attachments.at(i + 1);
        arguments << path << (name.isEmpty() || name == QLatin1String("  ") ? path : name);
    }
    return arguments;
}

QString Composemail::companionPath()
{
    if (!s_companion.isEmpty())
        return s_companion;
    return QCoreApplication::applicationDirPath() + QStringLiteral("/vellaro-mail");
}

void Composemail::setCompanionPath(const QString &path)
{
    s_companion = path;
}

void Composemail::setOutcomeWait(int ms)
{
    s_outcomeWaitMs = ms;
}

void Composemail::addPair(const QString &folder, const QString &fileName, const QString &title,
                          const QPixmap &thumbnail)
{
    m_attachments << joinPath(folder, fileName) << displayName(fileName, title);
    auto record = std::make_unique<KivViewItem>(fileName);
    record->setFileName(fileName);
    record->setSourceFolder(folder);
    record->setThumbnail(thumbnail);
    ui->importTrayBarMail->add(std::move(record));
    updateCount();
}

void Composemail::addAlbum(PlayList *album)
{
    if (!album)
        return;
    const AlbumRows &rows = album->rowTable();
    const QString thumbnails = album->thumbnailFolder();
    for (int i = 0; i < rows.count(); ++i) {
        const QString fileName = rows.fieldText(i, AlbumRows::FileName);
        addPair(rows.fieldText(i, AlbumRows::Folder), fileName, rows.fieldText(i, AlbumRows::Title),
                PlayList::cachedThumbnail(album->thumbCache(), thumbnails, i, fileName));
    }
}

void Composemail::addItem(const KivViewItem *record)
{
    if (!record)
        return;
    // In a large album only the thumbnails near sight are held: one chosen far from it
    // (every picture chosen at once) is read from its file.
    QPixmap thumbnail = record->thumbnail();
    if (thumbnail.isNull() && !record->thumbnailPath().isEmpty())
        thumbnail = QPixmap(record->thumbnailPath());
    addPair(record->sourceFolder(), record->fileName(), record->title(), thumbnail);
}

void Composemail::updateCount()
{
    const qsizetype count = m_attachments.size() / 2;
    ui->textLabelCount->setText(count == 1 ? QStringLiteral("1 picture") : QStringLiteral("%1 pictures").arg(count));
}

void Composemail::sendMail()
{
    if (m_attachments.isEmpty()) {
        reject();
        return;
    }
    WaitCursor cursor;
    const QString to = ui->lineEditTo->text();
    if (to.trimmed().isEmpty()) {
        cursor.restore();
        m_prompter->information(this, QStringLiteral("You did not enter the destination adress\nwrite it, in the to : "
                                                     "adressbar\n"));
        ui->lineEditTo->setFocus();
        return;
    }
    if (!MailAddress::isAddressList(to)) {
        cursor.restore();
        m_prompter->information(this, QStringLiteral("This is not a mail address:\n%1\nWrite it as name@example.org; "
                                                     "several addresses are separated by commas.")
                                          .arg(to));
        ui->lineEditTo->setFocus();
        return;
    }
    // Pictures on a drive that is not plugged in cannot go.
    QStringList attachments, missing;
    for (qsizetype i = 0; i + 1 < m_attachments.size(); i += 2) {
        if (QFileInfo(m_attachments.at(i)).isFile())
            attachments << m_attachments.at(i) << m_attachments.at(i + 1);
        else
            missing << m_attachments.at(i);
    }
    if (attachments.isEmpty()) {
        cursor.restore();
        m_prompter->warning(this, QStringLiteral("The pictures of this mail cannot be found (is their drive plugged "
                                                 "in?):\n")
                                      + listed(missing));
        return;
    }
    if (!missing.isEmpty()) {
        cursor.restore();
        if (!m_prompter->confirm(this, Prompter::Icon::Warning,
                                 QStringLiteral("These pictures cannot be found (is their drive plugged in?):\n")
                                     + listed(missing) + QStringLiteral("\n\nSend the mail without them?")))
            return;
    }
    // Most mail services refuse mails past about 25 MB.
    qint64 bytes = 0;
    for (qsizetype i = 0; i < attachments.size(); i += 2)
        bytes += QFileInfo(attachments.at(i)).size();
    if (bytes > LargeMail) {
        cursor.restore();
        if (!m_prompter->confirm(this, Prompter::Icon::Warning,
                                 QStringLiteral("These pictures make a mail of %1 MB; most mail services refuse mails "
                                                "over 25 MB.\n\nSend it anyway?")
                                     .arg((bytes + (1 << 20) - 1) >> 20)))
            return;
    }
    const QStringList command = commandLine(companionPath(), to, ui->lineEditSubject->text(), attachments);
    auto *handOver = new MailHandOver(m_prompter, parentWidget());
    QString error;
    if (!handOver->start(command.first(), command.mid(1), ui->textEditMail->toPlainText(), &error)) {
        delete handOver;
        cursor.restore();
        m_prompter->warning(this, QStringLiteral("The mail program cannot be started:\n%1\n%2").arg(command.first(), error));
        return;
    }
    // Most failures come at once (a mailer that refuses, no room for a draft): they are
    // told with the dialog still open, so nothing written is lost. A slow mailer goes on
    // in the background and is heard from when it ends.
    bool ended = false;
    int outcome = 0;
    QEventLoop waiting;
    connect(handOver, &MailHandOver::finished, &waiting, [&](int exitCode) {
        ended = true;
        outcome = exitCode;
        waiting.quit();
    });
    QTimer::singleShot(s_outcomeWaitMs, &waiting, &QEventLoop::quit);
    setEnabled(false);
    waiting.exec();
    setEnabled(true);
    if (ended && outcome != 0)
        return;
    accept();
}
