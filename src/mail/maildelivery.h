#pragma once

#include "mailmessage.h"

#include <QString>
#include <QStringList>

// Delivers a mail the best way the machine offers: the system's mailer (sendmail -t -i,
// the message on its input), else the desktop's mail client (xdg-email, the mail opened
// for the user to send), else a draft (.eml) in the user's documents folder. A mail
// the mailer refuses is kept as a draft too, so nothing the user wrote is lost.
namespace MailDelivery {

enum class Way { Mailer, MailClient, Draft };

struct Outcome
{
    bool delivered = false;  // false: the mail did not go (see `message`)
    Way way = Way::Draft;
    QString program;         // the mailer or mail client used
    QString draftPath;       // the draft written, if any
    QString message;         // what went wrong, for the user
};

// The mailer: $VELLARO_SENDMAIL when set (empty: none), else the first "sendmail" on
// PATH, else /usr/sbin/sendmail or /usr/lib/sendmail; empty when there is none.
QString findMailer();
// The desktop's mail client opener ("xdg-email" on PATH), or empty.
QString findMailClient();
// The arguments xdg-email is given for `mail`.
QStringList mailClientArguments(const MailMessage::Mail &mail);
// A new draft file name in `folder`: "Vellaro mail <date> <time>.eml", never one that exists.
QString draftPathIn(const QString &folder);

// `mail` must be whole (compose() succeeded): the caller checks the recipient and the
// pictures first.
Outcome deliver(const MailMessage::Mail &mail);

} // namespace MailDelivery
