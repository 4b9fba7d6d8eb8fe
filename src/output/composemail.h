#pragma once

#include <QDialog>
#include <QPointer>
#include <QProcess>
#include <QStringList>
#include <memory>

class KivViewItem;
class PlayList;
class Prompter;

namespace Ui {
class ComposemailBase;
}

// Carries a mail to the companion program vellaro-mail and tells the user how it went:
// a mail that could not go, a mail kept as a draft. Lives on after the dialog, with the
// window; a mail still being handed over when the window goes is waited for.
class MailHandOver : public QObject
{
    Q_OBJECT

public:
    MailHandOver(Prompter *prompter, QWidget *window);
    ~MailHandOver() override;

    // Starts the companion with `arguments` (the designed command line without the program)
    // and the body on its input; false with `error` set when it cannot be started.
    bool start(const QString &program, const QStringList &arguments, const QString &body, QString *error);

Q_SIGNALS:
    // The companion ended; what the user was told, if anything.
    void finished(int exitCode, const QString &told);

private:
    void done(int exitCode, QProcess::ExitStatus status);

    Prompter *m_prompter;
    QPointer<QWidget> m_window;
    QProcess m_process;
};

// The mail composition dialog: recipient, subject, body, and the pictures it carries,
// shown as a strip of thumbnails.
class Composemail : public QDialog
{
    Q_OBJECT

public:
    explicit Composemail(Prompter *prompter, QWidget *parent = nullptr);
    ~Composemail() override;

    // One (path, display name) pair per row of the album, in album order.
    void addAlbum(PlayList *album);
    // One pair for the picture.
    void addItem(const KivViewItem *record);
    // The attachment list: path, display name, path, display name...
    const QStringList &attachments() const { return m_attachments; }

    // The name a picture is attached under: its title and the file's extension, or the
    // file name when the title is shorter than 2 characters.
    static QString displayName(const QString &fileName, const QString &title);
    // The companion's command line: program, recipient, subject, then a path and a
    // display name per picture (a name that is empty or two blanks gives the path).
    static QStringList commandLine(const QString &program, const QString &to, const QString &subject,
                                   const QStringList &attachments);
    // The companion, installed beside the program.
    static QString companionPath();
    static void setCompanionPath(const QString &path);
    // How long Send waits to hear whether the mail went before closing the dialog.
    static void setOutcomeWait(int ms);

public Q_SLOTS:
    // Hands the mail to the companion and closes the dialog; a missing or wrong recipient,
    // a companion that cannot be started, or a mail that did not go (heard of within a
    // few seconds) keeps the dialog open with a message.
    void sendMail();

private:
    void addPair(const QString &folder, const QString &fileName, const QString &title, const QPixmap &thumbnail);
    void updateCount();

    std::unique_ptr<Ui::ComposemailBase> ui;
    Prompter *m_prompter;
    QStringList m_attachments;
};
