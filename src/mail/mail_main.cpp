// vellaro-mail RECIPIENT SUBJECT PATH NAME [PATH NAME]...
// vellaro-mail --help | --version
//
// Sends pictures by mail: PATH is a picture's file, NAME the name it is attached under.
// The body is read from standard input when that is not a terminal. Exit status: 0 the
// mail went to the mailer or the mail client, or was written as a draft (its path is
// printed); 1 it could not be delivered (a draft keeps it when possible); 2 the command
// line is wrong, the recipient is no mail address or a picture cannot be read.
#include "maildelivery.h"
#include "version.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QTextStream>

#include <cstdio>
#include <unistd.h>

namespace {

const char Usage[] =
    "usage: vellaro-mail RECIPIENT SUBJECT PATH NAME [PATH NAME]...\n"
    "       vellaro-mail --help | --version\n"
    "Sends the pictures PATH, each attached as NAME, to RECIPIENT; the body is read from\n"
    "standard input. The mail goes to the system's mailer (VELLARO_SENDMAIL, else sendmail\n"
    "on PATH, /usr/sbin/sendmail), else to the desktop's mail client (xdg-email), else it\n"
    "is written as a draft in the documents folder.\n"
    "Exit status: 0 sent, handed to the mail client or written as a draft; 1 not delivered\n"
    "(kept as a draft when possible); 2 a wrong command line, no mail address, or a picture\n"
    "that cannot be read.\n";

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QTextStream out(stdout), err(stderr);
    const QStringList arguments = app.arguments().mid(1);
    if (arguments.size() == 1 && (arguments.first() == QLatin1String("--help") || arguments.first() == QLatin1String("-h"))) {
        out << Usage;
        return 0;
    }
    if (arguments.size() == 1 && arguments.first() == QLatin1String("--version")) {
        out << "vellaro-mail " VELLARO_VERSION "\n";
        return 0;
    }
    if (arguments.size() < 4 || arguments.size() % 2 != 0) {
        err << Usage;
        return 2;
    }

    MailMessage::Mail mail;
    mail.recipient = arguments.at(0);
    mail.subject = arguments.at(1);
    mail.from = qEnvironmentVariable("EMAIL");
    out << "to : " << mail.recipient << '\n' << "Subject : " << mail.subject << '\n';
    for (qsizetype i = 2; i + 1 < arguments.size(); i += 2) {
        MailMessage::Attachment attachment{arguments.at(i), arguments.at(i + 1)};
        if (attachment.name.trimmed().isEmpty())
            attachment.name = QFileInfo(attachment.path).fileName();
        out << "arg : " << attachment.path << ' ' << attachment.name << '\n';
        mail.attachments.append(attachment);
    }
    out.flush();
    if (!isatty(STDIN_FILENO)) {
        QFile in;
        if (in.open(stdin, QIODevice::ReadOnly))
            mail.body = QString::fromUtf8(in.readAll());
    }

    // The recipient and every picture are checked before anything leaves.
    QString error;
    if (MailMessage::compose(mail, MailMessage::Newlines::Unix, &error).isEmpty()) {
        err << "vellaro-mail: " << error << '\n';
        return 2;
    }
    const MailDelivery::Outcome outcome = MailDelivery::deliver(mail);
    if (!outcome.delivered) {
        err << "vellaro-mail: " << outcome.message << '\n';
        return 1;
    }
    switch (outcome.way) {
    case MailDelivery::Way::Mailer:
        out << "sent : " << outcome.program << '\n';
        break;
    case MailDelivery::Way::MailClient:
        out << "mail client : " << outcome.program << '\n';
        break;
    case MailDelivery::Way::Draft:
        out << "draft : " << outcome.draftPath << '\n';
        break;
    }
    return 0;
}
