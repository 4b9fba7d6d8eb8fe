#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

// A mail of pictures as a standard MIME message (RFC 5322 headers, non-ASCII words
// encoded, multipart/mixed: a UTF-8 text body, then each picture as a base64 attachment
// under its display name), assembled by GMime.
namespace MailMessage {

struct Attachment
{
    QString path;  // the file sent
    QString name;  // the name the recipient sees
};

struct Mail
{
    QString recipient;  // one address or a comma-separated list
    QString subject;
    QString body;
    QString from;       // empty: the mailer puts the sender's own address
    QList<Attachment> attachments;
};

enum class Newlines { Unix, Internet };  // LF for a local mailer, CRLF in a file

// Whether `recipient` holds at least one mail address and nothing that is not one.
bool isAddressList(const QString &recipient);
// The MIME type for a file, from its name: "image/jpeg", ...; "application/octet-stream"
// when unknown.
QByteArray mimeTypeFor(const QString &path);
// The whole message; empty with `error` set when the recipient is no address or an
// attachment cannot be read. `extraHeaders` are added as given ("X-Unsent", "1").
QByteArray compose(const Mail &mail, Newlines newlines, QString *error,
                   const QList<QPair<QByteArray, QByteArray>> &extraHeaders = {});

} // namespace MailMessage
