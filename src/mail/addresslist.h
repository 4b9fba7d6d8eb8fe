#pragma once

#include <QString>

#include <gmime/gmime.h>

// The addresses of `recipient`, or none when any part of it is not a plain mailbox with
// a domain (a typo such as "john.example.com" is refused rather than sent to a local
// user who does not exist). `Api` holds GMime's calls: GMime itself in the companion,
// the same calls looked up when first needed in the window.
template <typename Api>
InternetAddressList *parseAddressList(const Api &api, const QString &recipient)
{
    // Many mail programs separate addresses with ";": taken as "," outside quotes and
    // angle brackets (a ";" would otherwise end a group and drop what follows).
    QString separated = recipient.trimmed();
    bool quoted = false;
    int angle = 0;
    for (QChar &c : separated) {
        if (c == QLatin1Char('"'))
            quoted = !quoted;
        else if (!quoted && c == QLatin1Char('<'))
            ++angle;
        else if (!quoted && c == QLatin1Char('>') && angle > 0)
            --angle;
        else if (!quoted && angle == 0 && c == QLatin1Char(';'))
            c = QLatin1Char(',');
    }
    const QByteArray text = separated.toUtf8();
    if (text.isEmpty() || text.contains('\n') || text.contains('\r'))
        return nullptr;
    InternetAddressList *list = api.parse(nullptr, text.constData());
    if (!list)
        return nullptr;
    const int count = api.length(list);
    bool sound = count > 0;
    for (int i = 0; sound && i < count; ++i) {
        InternetAddress *address = api.at(list, i);
        if (!api.isA(reinterpret_cast<GTypeInstance *>(address), api.mailboxType())) {
            sound = false;
            break;
        }
        const QString addr = QString::fromUtf8(api.addr(reinterpret_cast<InternetAddressMailbox *>(address)));
        const qsizetype at = addr.indexOf(QLatin1Char('@'));
        sound = at > 0 && at < addr.size() - 1 && !addr.contains(QLatin1Char(' '));
    }
    if (!sound) {
        api.unref(list);
        return nullptr;
    }
    return list;
}
