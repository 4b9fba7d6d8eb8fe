#pragma once

#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStandardPaths>

// A mail message read by Python's own `email` package, never by the code under test:
// {"to", "from", "subject", "bcc", "unsent", "type", "defects", "charset", "body",
//  "attachments": [{"filename", "type", "data" (base64 of the decoded bytes)}]}.
inline QJsonObject parseMail(const QByteArray &message)
{
    static const char script[] = R"(
import sys, json, base64, email
from email import policy
msg = email.message_from_binary_file(sys.stdin.buffer, policy=policy.default)
out = {"to": str(msg["To"]), "subject": str(msg["Subject"]), "bcc": msg.get("Bcc"),
       "unsent": msg.get("X-Unsent"), "from": msg.get("From") and str(msg["From"]), "type": msg.get_content_type(), "defects": len(msg.defects),
       "date": msg.get("Date") is not None, "mime": msg.get("MIME-Version")}
body = None
atts = []
for part in msg.walk():
    if part.is_multipart():
        continue
    out["defects"] += len(part.defects)
    if part.get_content_disposition() == "attachment":
        atts.append({"filename": part.get_filename(), "type": part.get_content_type(),
                     "data": base64.b64encode(part.get_payload(decode=True)).decode()})
    elif part.get_content_type() == "text/plain" and body is None:
        body = part.get_content()
        out["charset"] = part.get_content_charset()
out["body"] = body
out["attachments"] = atts
json.dump(out, sys.stdout)
)";
    QProcess python;
    python.start(QStandardPaths::findExecutable(QStringLiteral("python3")), {QStringLiteral("-c"), QString::fromUtf8(script)});
    if (!python.waitForStarted())
        return {};
    python.write(message);
    python.closeWriteChannel();
    python.waitForFinished(60000);
    return QJsonDocument::fromJson(python.readAllStandardOutput()).object();
}
