#include "mailmessage.h"

#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSysInfo>

#include <gmime/gmime.h>

#include "addresslist.h"

namespace MailMessage {

namespace {

void initialiseOnce()
{
    static const bool done = [] {
        g_mime_init();
        return true;
    }();
    Q_UNUSED(done);
}

// GLib objects released when the scope ends.
struct Unref
{
    gpointer object;
    ~Unref()
    {
        if (object)
            g_object_unref(object);
    }
};

// GMime's own calls, for the address check the window shares.
struct LinkedApi
{
    static InternetAddressList *parse(GMimeParserOptions *options, const char *text)
    {
        return internet_address_list_parse(options, text);
    }
    static int length(InternetAddressList *list) { return internet_address_list_length(list); }
    static InternetAddress *at(InternetAddressList *list, int i) { return internet_address_list_get_address(list, i); }
    static gboolean isA(GTypeInstance *instance, GType type) { return g_type_check_instance_is_a(instance, type); }
    static GType mailboxType() { return internet_address_mailbox_get_type(); }
    static const char *addr(InternetAddressMailbox *mailbox) { return internet_address_mailbox_get_addr(mailbox); }
    static void unref(gpointer object) { g_object_unref(object); }
};

InternetAddressList *parseAddresses(const QString &recipient)
{
    initialiseOnce();
    return parseAddressList(LinkedApi(), recipient);
}

// Non-ASCII names are written in UTF-8, never in a legacy charset GMime might prefer.
void utf8Names(InternetAddressList *list)
{
    for (int i = 0; i < internet_address_list_length(list); ++i)
        internet_address_set_charset(internet_address_list_get_address(list, i), "UTF-8");
}

void utf8Parameter(GMimeParamList *list, const char *name)
{
    if (GMimeParam *param = list ? g_mime_param_list_get_parameter(list, name) : nullptr)
        g_mime_param_set_charset(param, "UTF-8");
}

QString oneLine(QString text)
{
    text.replace(QLatin1String("\r\n"), QLatin1String(" "));
    text.replace(QLatin1Char('\r'), QLatin1Char(' '));
    text.replace(QLatin1Char('\n'), QLatin1Char(' '));
    return text;
}

} // namespace

bool isAddressList(const QString &recipient)
{
    InternetAddressList *list = parseAddresses(recipient);
    if (!list)
        return false;
    g_object_unref(list);
    return true;
}

QByteArray mimeTypeFor(const QString &path)
{
    static const QHash<QString, QByteArray> types = {
        {"jpg", "image/jpeg"},       {"jpeg", "image/jpeg"},     {"jpe", "image/jpeg"},
        {"png", "image/png"},        {"gif", "image/gif"},       {"bmp", "image/bmp"},
        {"tif", "image/tiff"},       {"tiff", "image/tiff"},     {"webp", "image/webp"},
        {"heic", "image/heic"},      {"heif", "image/heif"},     {"svg", "image/svg+xml"},
        {"mng", "video/x-mng"},      {"xbm", "image/x-xbitmap"}, {"xpm", "image/x-xpixmap"},
        {"pnm", "image/x-portable-anymap"}, {"ppm", "image/x-portable-pixmap"},
        {"pgm", "image/x-portable-graymap"}, {"pbm", "image/x-portable-bitmap"},
        {"ico", "image/vnd.microsoft.icon"}, {"tga", "image/x-tga"},
        {"avi", "video/x-msvideo"},  {"mpg", "video/mpeg"},      {"mpeg", "video/mpeg"},
        {"mp4", "video/mp4"},        {"mov", "video/quicktime"}, {"wmv", "video/x-ms-wmv"},
        {"mp3", "audio/mpeg"},       {"wav", "audio/x-wav"},     {"txt", "text/plain"},
        {"pdf", "application/pdf"},
    };
    return types.value(QFileInfo(path).suffix().toLower(), QByteArrayLiteral("application/octet-stream"));
}

QByteArray compose(const Mail &mail, Newlines newlines, QString *error,
                   const QList<QPair<QByteArray, QByteArray>> &extraHeaders)
{
    initialiseOnce();
    InternetAddressList *to = parseAddresses(mail.recipient);
    if (!to) {
        *error = QStringLiteral("This is not a mail address: %1").arg(mail.recipient);
        return {};
    }
    Unref toRef{to};

    // Every picture is read before anything is built: a file that cannot be read stops
    // the mail rather than leaving a picture out of it.
    QList<QByteArray> contents;
    for (const Attachment &attachment : mail.attachments) {
        QFile file(attachment.path);
        if (!QFileInfo(attachment.path).isFile() || !file.open(QIODevice::ReadOnly)) {
            *error = QStringLiteral("This picture cannot be read: %1").arg(attachment.path);
            return {};
        }
        QByteArray bytes = file.readAll();
        if (file.error() != QFileDevice::NoError) {
            *error = QStringLiteral("This picture cannot be read: %1").arg(attachment.path);
            return {};
        }
        contents.append(bytes);
    }

    GMimeMessage *message = g_mime_message_new(TRUE);
    Unref messageRef{message};
    if (!mail.from.trimmed().isEmpty()) {
        if (InternetAddressList *from = parseAddresses(mail.from)) {
            utf8Names(from);
            internet_address_list_append(g_mime_message_get_addresses(message, GMIME_ADDRESS_TYPE_FROM), from);
            g_object_unref(from);
        }
    }
    utf8Names(to);
    internet_address_list_append(g_mime_message_get_addresses(message, GMIME_ADDRESS_TYPE_TO), to);
    g_mime_message_set_subject(message, oneLine(mail.subject).toUtf8().constData(), "utf-8");
    GDateTime *now = g_date_time_new_now_local();
    g_mime_message_set_date(message, now);
    g_date_time_unref(now);
    const QByteArray host = QSysInfo::machineHostName().toUtf8();
    char *id = g_mime_utils_generate_message_id(host.isEmpty() ? "localhost" : host.constData());
    g_mime_message_set_message_id(message, id);
    g_free(id);
    for (const auto &header : extraHeaders)
        g_mime_object_set_header(GMIME_OBJECT(message), header.first.constData(), header.second.constData(), "utf-8");

    GMimeMultipart *mixed = g_mime_multipart_new_with_subtype("mixed");
    Unref mixedRef{mixed};
    // The body as UTF-8 whatever it holds, quoted-printable when it is not plain ASCII.
    GMimeTextPart *text = g_mime_text_part_new_with_subtype("plain");
    Unref textRef{text};
    const QByteArray body = mail.body.toUtf8();
    GMimeStream *bodyStream = g_mime_stream_mem_new_with_buffer(body.constData(), size_t(body.size()));
    Unref bodyStreamRef{bodyStream};
    GMimeDataWrapper *bodyContent = g_mime_data_wrapper_new_with_stream(bodyStream, GMIME_CONTENT_ENCODING_DEFAULT);
    Unref bodyContentRef{bodyContent};
    g_mime_part_set_content(GMIME_PART(text), bodyContent);
    g_mime_text_part_set_charset(text, "utf-8");
    g_mime_part_set_content_encoding(
        GMIME_PART(text), g_mime_part_get_best_content_encoding(GMIME_PART(text), GMIME_ENCODING_CONSTRAINT_7BIT));
    g_mime_multipart_add(mixed, GMIME_OBJECT(text));

    for (qsizetype i = 0; i < mail.attachments.size(); ++i) {
        const QByteArray type = mimeTypeFor(mail.attachments.at(i).path);
        const qsizetype slash = type.indexOf('/');
        GMimePart *part = g_mime_part_new_with_type(type.left(slash).constData(), type.mid(slash + 1).constData());
        Unref partRef{part};
        const QByteArray &bytes = contents.at(i);
        GMimeStream *stream = g_mime_stream_mem_new_with_buffer(bytes.constData(), size_t(bytes.size()));
        Unref streamRef{stream};
        GMimeDataWrapper *content = g_mime_data_wrapper_new_with_stream(stream, GMIME_CONTENT_ENCODING_DEFAULT);
        Unref contentRef{content};
        g_mime_part_set_content(part, content);
        g_mime_part_set_content_encoding(part, GMIME_CONTENT_ENCODING_BASE64);
        g_mime_object_set_disposition(GMIME_OBJECT(part), GMIME_DISPOSITION_ATTACHMENT);
        g_mime_part_set_filename(part, oneLine(mail.attachments.at(i).name).toUtf8().constData());
        utf8Parameter(g_mime_content_disposition_get_parameters(g_mime_object_get_content_disposition(GMIME_OBJECT(part))),
                      "filename");
        utf8Parameter(g_mime_content_type_get_parameters(g_mime_object_get_content_type(GMIME_OBJECT(part))), "name");
        g_mime_multipart_add(mixed, GMIME_OBJECT(part));
    }
    g_mime_message_set_mime_part(message, GMIME_OBJECT(mixed));

    GMimeFormatOptions *options = g_mime_format_options_new();
    g_mime_format_options_set_newline_format(
        options, newlines == Newlines::Internet ? GMIME_NEWLINE_FORMAT_DOS : GMIME_NEWLINE_FORMAT_UNIX);
    g_mime_format_options_set_param_encoding_method(options, GMIME_PARAM_ENCODING_METHOD_RFC2231);
    GMimeStream *out = g_mime_stream_mem_new();
    Unref outRef{out};
    const ssize_t written = g_mime_object_write_to_stream(GMIME_OBJECT(message), options, out);
    g_mime_format_options_free(options);
    GByteArray *bytes = g_mime_stream_mem_get_byte_array(GMIME_STREAM_MEM(out));
    if (written <= 0 || !bytes) {
        *error = QStringLiteral("The message could not be put together.");
        return {};
    }
    return QByteArray(reinterpret_cast<const char *>(bytes->data), qsizetype(bytes->len));
}

} // namespace MailMessage
