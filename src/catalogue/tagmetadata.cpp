#include "tagmetadata.h"

#include "cataloguelog.h"
#include "cataloguetext.h"
#include "kivviewitem.h"
#include "photoitem.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>

#include <exiv2/exiv2.hpp>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <mutex>
#include <unistd.h>

namespace TagMetadata {

namespace {

// Sidecars are small; a larger file named .xmp is not one.
constexpr qint64 MaxSidecarBytes = 16 * 1024 * 1024;
// Pictures are read whole to have their metadata rewritten in memory.
constexpr qint64 MaxPictureBytes = qint64(1024) * 1024 * 1024;
// IPTC's own limits, in bytes.
constexpr int IptcTitleBytes = 64;
constexpr int IptcCaptionBytes = 2000;

const char *const kRating = "Xmp.xmp.Rating";
const char *const kTitle = "Xmp.dc.title";
const char *const kDescription = "Xmp.dc.description";
const char *const kSubject = "Xmp.dc.subject";
const char *const kPersons = "Xmp.iptcExt.PersonInImage";
const char *const kLocation = "Xmp.iptcExt.LocationShown";
const char *const kLocationCity = "Xmp.iptcExt.LocationShown[1]/iptcExt:City";
const char *const kCity = "Xmp.photoshop.City";
const char *const kEvent = "Xmp.iptcExt.Event";
const char *const kXmpDate = "Xmp.exif.DateTimeOriginal";
const char *const kLabel = "Xmp.xmp.Label";
const char *const kExifRating = "Exif.Image.Rating";
const char *const kExifDescription = "Exif.Image.ImageDescription";
const char *const kExifDate = "Exif.Photo.DateTimeOriginal";
const char *const kIptcTitle = "Iptc.Application2.ObjectName";
const char *const kIptcCaption = "Iptc.Application2.Caption";
const char *const kIptcCharset = "Iptc.Envelope.CharacterSet";

std::mutex g_xmpToolkit;

void lockToolkit(void *data, bool lock)
{
    auto *mutex = static_cast<std::mutex *>(data);
    if (lock)
        mutex->lock();
    else
        mutex->unlock();
}

// What libexiv2 reported as wrong while this thread read a picture's metadata.
thread_local int t_problems = 0;
thread_local QString t_lastProblem;

void logExiv2(int level, const char *text)
{
    const QString message = QString::fromUtf8(text).trimmed();
    if (level >= Exiv2::LogMsg::warn) {
        ++t_problems;
        t_lastProblem = message;
    }
    if (level >= Exiv2::LogMsg::error)
        qCWarning(lcCatalogue) << "libexiv2:" << message;
    else
        qCDebug(lcCatalogue) << "libexiv2:" << message;
}

std::string pathOf(const QString &path)
{
    const QByteArray encoded = QFile::encodeName(path);
    return std::string(encoded.constData(), size_t(encoded.size()));
}

QString textOf(const std::string &bytes)
{
    // IPTC and EXIF text written without a character set is often Latin-1.
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QByteArrayView view(bytes.data(), qsizetype(bytes.size()));
    QString text = utf8.decode(view);
    if (utf8.hasError())
        text = QString::fromLatin1(view);
    return text;
}

// A value as the catalogue can hold it: one line, no "|".
QString fitted(QString text)
{
    text.replace(QLatin1String("\r\n"), QLatin1String(" "));
    text.replace(QLatin1Char('\n'), QLatin1Char(' '));
    text.replace(QLatin1Char('\r'), QLatin1Char(' '));
    text.replace(QLatin1Char('|'), QLatin1Char('/'));
    text.remove(QChar(0));
    return text.trimmed();
}

QString fittedPerson(const QString &name)
{
    QString text = fitted(name);
    text.replace(QLatin1Char(','), QLatin1Char(' '));
    return text.simplified();
}

// "2019-06-01T10:30:00" from EXIF's "2019:06:01 10:30:00"; empty when it is no date.
QString dateFromExif(const QString &text)
{
    const QDateTime time = QDateTime::fromString(text.trimmed().left(19), QStringLiteral("yyyy:MM:dd HH:mm:ss"));
    return time.isValid() ? time.toString(Qt::ISODate) : QString();
}

// XMP dates may carry a zone or fractions of a second, or be a day alone.
QString dateFromXmp(const QString &text)
{
    const QString trimmed = text.trimmed();
    const QDateTime time = QDateTime::fromString(trimmed.left(19), Qt::ISODate);
    if (trimmed.size() >= 19 && time.isValid())
        return time.toString(Qt::ISODate);
    const QDateTime minutes = QDateTime::fromString(trimmed.left(16), Qt::ISODate);
    if (trimmed.size() >= 16 && minutes.isValid())
        return minutes.toString(Qt::ISODate);
    const QDate day = QDate::fromString(trimmed.left(10), Qt::ISODate);
    return day.isValid() ? day.toString(Qt::ISODate) : QString();
}

QString xmpText(const Exiv2::XmpData &xmp, const char *key)
{
    const auto found = xmp.findKey(Exiv2::XmpKey(key));
    if (found == xmp.end())
        return {};
    if (found->typeId() == Exiv2::langAlt) {
        const auto *alt = dynamic_cast<const Exiv2::LangAltValue *>(&found->value());
        if (!alt || alt->value_.empty())
            return {};
        const auto standard = alt->value_.find("x-default");
        return textOf(standard != alt->value_.end() ? standard->second : alt->value_.begin()->second);
    }
    if (found->typeId() == Exiv2::xmpBag || found->typeId() == Exiv2::xmpSeq || found->typeId() == Exiv2::xmpAlt)
        return found->count() > 0 ? textOf(found->toString(0)) : QString();
    return textOf(found->toString());
}

QStringList xmpItems(const Exiv2::XmpData &xmp, const char *key)
{
    QStringList items;
    const auto found = xmp.findKey(Exiv2::XmpKey(key));
    if (found == xmp.end())
        return items;
    if (found->typeId() == Exiv2::xmpBag || found->typeId() == Exiv2::xmpSeq || found->typeId() == Exiv2::xmpAlt) {
        for (long i = 0; i < found->count(); ++i)
            items << textOf(found->toString(i));
    } else if (found->typeId() == Exiv2::xmpText) {
        items << textOf(found->toString());
    }
    return items;
}

QString exifText(const Exiv2::ExifData &exif, const char *key)
{
    const auto found = exif.findKey(Exiv2::ExifKey(key));
    if (found == exif.end())
        return {};
    return textOf(found->toString());
}

QString iptcText(const Exiv2::IptcData &iptc, const char *key)
{
    const auto found = iptc.findKey(Exiv2::IptcKey(key));
    if (found == iptc.end())
        return {};
    return textOf(found->toString());
}

int loveFrom(const QString &rating)
{
    bool ok = false;
    const double value = rating.trimmed().toDouble(&ok);
    if (!ok)
        return 0;
    const int love = int(value + 0.5);
    // 0 is "not rated", -1 "rejected": neither is a love.
    return love >= 1 && love <= KivViewItem::MaxLove ? love : 0;
}

QString categoryAmong(const QStringList &subjects)
{
    for (const QString &subject : subjects) {
        for (const QString &category : CatalogueText::categories()) {
            if (category != QLatin1String("Undefined") && subject.trimmed().compare(category, Qt::CaseInsensitive) == 0)
                return category;
        }
    }
    return {};
}

bool isCategoryName(const QString &text)
{
    for (const QString &category : CatalogueText::categories()) {
        if (text.trimmed().compare(category, Qt::CaseInsensitive) == 0)
            return true;
    }
    return false;
}

int badgeFrom(const QString &label)
{
    const QStringList &names = badgeNames();
    for (int i = 0; i < names.size(); ++i) {
        if (label.trimmed().compare(names.at(i), Qt::CaseInsensitive) == 0)
            return i;
    }
    return Tags::NoBadge;
}

void fromXmp(const Exiv2::XmpData &xmp, Tags &tags)
{
    tags.love = loveFrom(xmpText(xmp, kRating));
    tags.title = fitted(xmpText(xmp, kTitle));
    tags.comment = fitted(xmpText(xmp, kDescription));
    tags.category = categoryAmong(xmpItems(xmp, kSubject));
    for (const QString &person : xmpItems(xmp, kPersons)) {
        const QString name = fittedPerson(person);
        if (!name.isEmpty() && !tags.persons.contains(name))
            tags.persons << name;
    }
    for (int i = 1; i <= 32 && tags.place.isEmpty(); ++i) {
        const std::string key = std::string(kLocation) + '[' + std::to_string(i) + "]/iptcExt:City";
        const auto found = xmp.findKey(Exiv2::XmpKey(key));
        if (found == xmp.end())
            break;
        tags.place = fitted(textOf(found->toString()));
    }
    if (tags.place.isEmpty())
        tags.place = fitted(xmpText(xmp, kCity));
    tags.event = fitted(xmpText(xmp, kEvent));
    tags.date = dateFromXmp(xmpText(xmp, kXmpDate));
    tags.badge = badgeFrom(xmpText(xmp, kLabel));
}

// Fills what `tags` lacks from `more`.
void fillFrom(Tags &tags, const Tags &more)
{
    if (tags.love == 0)
        tags.love = more.love;
    auto fill = [](QString &text, const QString &other) {
        if (text.isEmpty())
            text = other;
    };
    fill(tags.title, more.title);
    fill(tags.comment, more.comment);
    fill(tags.category, more.category);
    if (tags.persons.isEmpty())
        tags.persons = more.persons;
    fill(tags.place, more.place);
    fill(tags.event, more.event);
    fill(tags.date, more.date);
    if (tags.badge == Tags::NoBadge)
        tags.badge = more.badge;
}

// Many cameras fill the EXIF description with their own name ("OLYMPUS DIGITAL
// CAMERA", "KONICA MINOLTA DIGITAL CAMERA", "SONY DSC"): no comment of the user's.
bool isCameraBoilerplate(const QString &description, const QString &make, const QString &model)
{
    const QString text = description.simplified();
    if (text.isEmpty())
        return true;
    for (const QString &name : {make.simplified(), model.simplified()}) {
        if (!name.isEmpty() && text.compare(name, Qt::CaseInsensitive) == 0)
            return true;
    }
    if (text != text.toUpper())
        return false;
    static const QStringList words{QStringLiteral("CAMERA"), QStringLiteral("DSC"), QStringLiteral("DIGITAL"),
                                   QStringLiteral("IMAGE"), QStringLiteral("PICTURE")};
    for (const QString &word : words) {
        if (text.split(QLatin1Char(' ')).contains(word))
            return true;
    }
    return false;
}

Tags embeddedTags(Exiv2::Image &image)
{
    Tags tags;
    fromXmp(image.xmpData(), tags);
    const Exiv2::ExifData &exif = image.exifData();
    const Exiv2::IptcData &iptc = image.iptcData();
    // The camera's own clock comes first for the date.
    const QString exifDate = dateFromExif(exifText(exif, kExifDate));
    if (!exifDate.isEmpty())
        tags.date = exifDate;
    Tags more;
    more.love = loveFrom(exifText(exif, kExifRating));
    more.title = fitted(iptcText(iptc, kIptcTitle));
    more.comment = fitted(exifText(exif, kExifDescription));
    if (isCameraBoilerplate(more.comment, exifText(exif, "Exif.Image.Make"), exifText(exif, "Exif.Image.Model")))
        more.comment.clear();
    if (more.comment.isEmpty())
        more.comment = fitted(iptcText(iptc, kIptcCaption));
    fillFrom(tags, more);
    return tags;
}

bool readSmallFile(const QString &path, QByteArray *bytes, QString *why)
{
    const QFileInfo info(path);
    if (!info.isFile()) {
        *why = QStringLiteral("it is not a regular file");
        return false;
    }
    if (info.size() > MaxSidecarBytes) {
        *why = QStringLiteral("it is too large to be a sidecar");
        return false;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *why = file.errorString();
        return false;
    }
    *bytes = file.read(MaxSidecarBytes + 1);
    return true;
}

// Replaces `path` with `bytes`: written whole to a hidden file beside it, made
// durable, then renamed over it. The old file stays when anything fails.
QString replaceFile(const QString &path, const QByteArray &bytes, QFileDevice::Permissions permissions)
{
    const QFileInfo info(path);
    const QString temporary = info.absolutePath() + QStringLiteral("/.") + info.fileName() + QStringLiteral(".vellaro-meta");
    const std::string target = pathOf(path);
    const std::string temp = pathOf(temporary);
    ::unlink(temp.c_str());
    const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0)
        return QString::fromLocal8Bit(std::strerror(errno));
    qint64 written = 0;
    while (written < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.constData() + written, size_t(bytes.size() - written));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            const QString why = QString::fromLocal8Bit(std::strerror(n < 0 ? errno : ENOSPC));
            ::close(fd);
            ::unlink(temp.c_str());
            return why;
        }
        written += n;
    }
    if (::fsync(fd) != 0 || ::close(fd) != 0) {
        const QString why = QString::fromLocal8Bit(std::strerror(errno));
        ::unlink(temp.c_str());
        return why;
    }
    QFile::setPermissions(temporary, permissions);
    if (::rename(temp.c_str(), target.c_str()) != 0) {
        const QString why = QString::fromLocal8Bit(std::strerror(errno));
        ::unlink(temp.c_str());
        return why;
    }
    const int dir = ::open(pathOf(info.absolutePath()).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
    return {};
}

void eraseAll(Exiv2::XmpData &xmp, const Exiv2::XmpKey &key)
{
    for (auto found = xmp.findKey(key); found != xmp.end(); found = xmp.findKey(key))
        xmp.erase(found);
}

// The default language is the one every reader shows; translations of an old text
// would no longer match the new one, so they go.
void setLangAlt(Exiv2::XmpData &xmp, const char *key, const QString &text)
{
    const Exiv2::XmpKey xmpKey(key);
    Exiv2::LangAltValue value;
    value.value_["x-default"] = text.toStdString();
    eraseAll(xmp, xmpKey);
    xmp.add(xmpKey, &value);
}

void setBag(Exiv2::XmpData &xmp, const char *key, const QStringList &items)
{
    const Exiv2::XmpKey xmpKey(key);
    eraseAll(xmp, xmpKey);
    if (items.isEmpty())
        return;
    Exiv2::XmpArrayValue value(Exiv2::xmpBag);
    for (const QString &item : items)
        value.read(item.toStdString());
    xmp.add(xmpKey, &value);
}

void setText(Exiv2::XmpData &xmp, const char *key, const QString &text)
{
    xmp[key] = text.toStdString();
}

// The date to write where the metadata holds `present` (both ISO 8601); empty to
// leave it. A day alone takes the time of day the metadata gives.
QString dateToWrite(const QString &present, const QString &date)
{
    if (date.isEmpty())
        return {};
    const bool dayAlone = date.size() == 10;
    if (dayAlone && present.left(10) == date)
        return {};
    const QString wanted = dayAlone && present.size() > 10 ? date + present.mid(10) : date;
    return wanted == present ? QString() : wanted;
}

// Whether a love is written where the metadata rates `present` (0: no rating, or one
// that is no love). One heart is every picture's least: it is written only to bring a
// higher rating down, never as a rating of its own.
bool writesLove(int love, int present)
{
    if (love < 1 || love > KivViewItem::MaxLove || love == present)
        return false;
    return love > 1 || present > 1;
}

// A value the metadata holds already, as the catalogue reads it, is left as it is: the
// catalogue's form of a text (no line breaks, no "|") never replaces the original.
bool differs(const QString &present, const QString &value)
{
    return !value.isEmpty() && fitted(present) != value;
}

QStringList fittedPersons(const QStringList &names)
{
    QStringList persons;
    for (const QString &name : names) {
        const QString person = fittedPerson(name);
        if (!person.isEmpty() && !persons.contains(person))
            persons << person;
    }
    return persons;
}

void writeXmp(Exiv2::XmpData &xmp, const Tags &tags)
{
    if (writesLove(tags.love, loveFrom(xmpText(xmp, kRating))))
        setText(xmp, kRating, QString::number(tags.love));
    if (differs(xmpText(xmp, kTitle), tags.title))
        setLangAlt(xmp, kTitle, tags.title);
    if (differs(xmpText(xmp, kDescription), tags.comment))
        setLangAlt(xmp, kDescription, tags.comment);

    // The keywords hold the category and the persons beside keywords of other programs,
    // which stay: an old category and the persons named before are replaced.
    const QStringList oldPersons = xmpItems(xmp, kPersons);
    const QStringList before = xmpItems(xmp, kSubject);
    const bool category = !tags.category.isEmpty() && tags.category != QLatin1String("Undefined")
                          && categoryAmong(before) != tags.category;
    const bool persons = !tags.persons.isEmpty() && fittedPersons(oldPersons) != tags.persons;
    if (category || persons) {
        QStringList subjects;
        for (const QString &subject : before) {
            if (category && isCategoryName(subject))
                continue;
            if (persons && (oldPersons.contains(subject) || tags.persons.contains(subject)))
                continue;
            subjects << subject;
        }
        if (category)
            subjects << tags.category;
        if (persons)
            subjects << tags.persons;
        subjects.removeDuplicates();
        if (subjects != before)
            setBag(xmp, kSubject, subjects);
    }
    if (persons)
        setBag(xmp, kPersons, tags.persons);

    if (!tags.place.isEmpty()) {
        const auto city = xmp.findKey(Exiv2::XmpKey(kLocationCity));
        if (city == xmp.end() || differs(textOf(city->toString()), tags.place)) {
            if (xmp.findKey(Exiv2::XmpKey(kLocation)) == xmp.end()) {
                Exiv2::XmpTextValue bag("");
                bag.setXmpArrayType(Exiv2::XmpValue::xaBag);
                xmp.add(Exiv2::XmpKey(kLocation), &bag);
            }
            setText(xmp, kLocationCity, tags.place);
        }
        if (differs(xmpText(xmp, kCity), tags.place))
            setText(xmp, kCity, tags.place);
    }
    if (differs(xmpText(xmp, kEvent), tags.event))
        setLangAlt(xmp, kEvent, tags.event);
    if (const QString date = dateToWrite(dateFromXmp(xmpText(xmp, kXmpDate)), tags.date); !date.isEmpty())
        setText(xmp, kXmpDate, date);
    const int label = badgeFrom(xmpText(xmp, kLabel));
    if (tags.badge >= 0 && tags.badge < badgeNames().size() && tags.badge != label) {
        setText(xmp, kLabel, badgeNames().at(tags.badge));
    } else if (tags.badge == -1 && label != Tags::NoBadge) {
        // Only a label this program wrote is taken away; another program's stays.
        xmp.erase(xmp.findKey(Exiv2::XmpKey(kLabel)));
    }
}

// The first `limit` bytes of a text's UTF-8, never cutting a character.
std::string utf8Within(const QString &text, int limit)
{
    QByteArray bytes = text.toUtf8();
    if (bytes.size() <= limit)
        return bytes.toStdString();
    int end = limit;
    while (end > 0 && (uchar(bytes.at(end)) & 0xC0) == 0x80)
        --end;
    return std::string(bytes.constData(), size_t(end));
}

void writeExif(Exiv2::ExifData &exif, const Tags &tags)
{
    if (writesLove(tags.love, loveFrom(exifText(exif, kExifRating))))
        exif[kExifRating] = static_cast<uint16_t>(tags.love);
    if (differs(exifText(exif, kExifDescription), tags.comment))
        exif[kExifDescription] = tags.comment.toStdString();
    if (const QString date = dateToWrite(dateFromExif(exifText(exif, kExifDate)), tags.date); !date.isEmpty()) {
        const QDateTime time = date.size() == 10 ? QDateTime(QDate::fromString(date, Qt::ISODate), QTime(0, 0))
                                                 : QDateTime::fromString(date, Qt::ISODate);
        if (time.isValid())
            exif[kExifDate] = time.toString(QStringLiteral("yyyy:MM:dd HH:mm:ss")).toStdString();
    }
}

void writeIptc(Exiv2::IptcData &iptc, const Tags &tags)
{
    const bool title = differs(iptcText(iptc, kIptcTitle), tags.title);
    const bool caption = differs(iptcText(iptc, kIptcCaption), tags.comment);
    if (!title && !caption)
        return;
    // UTF-8, said in the envelope as ISO 2022's escape sequence.
    iptc[kIptcCharset] = std::string("\x1b%G");
    if (title)
        iptc[kIptcTitle] = utf8Within(tags.title, IptcTitleBytes);
    if (caption)
        iptc[kIptcCaption] = utf8Within(tags.comment, IptcCaptionBytes);
}

// The XMP inside a picture, to start its first sidecar from: keywords and the like
// written by other programs then stay beside the picture's tags.
Exiv2::XmpData embeddedXmp(const QString &picturePath)
{
    try {
        Exiv2::Image::AutoPtr image = Exiv2::ImageFactory::open(pathOf(picturePath));
        if (image.get()) {
            image->readMetadata();
            return image->xmpData();
        }
    } catch (const Exiv2::AnyError &) {
    } catch (const std::exception &) {
    }
    return {};
}

QString writeSidecar(const QString &picturePath, const Tags &tags, QString *writtenTo, bool dryRun)
{
    const QString target = sidecarPath(picturePath);
    if (QFileInfo(target).isSymLink())
        return QStringLiteral("the sidecar %1 is a symbolic link; it is left as it is").arg(target);
    // The sidecar read until now (perhaps NAME.xmp) is where the new one starts from, so
    // nothing it holds is lost.
    const QString source = sidecarToRead(picturePath);
    Exiv2::XmpData xmp;
    if (!source.isEmpty()) {
        QByteArray bytes;
        QString why;
        if (!readSmallFile(source, &bytes, &why))
            return QStringLiteral("the sidecar %1 cannot be read (%2)").arg(source, why);
        if (!bytes.trimmed().isEmpty() && Exiv2::XmpParser::decode(xmp, bytes.toStdString()) != 0)
            return QStringLiteral("the sidecar %1 is damaged; it is left as it is").arg(source);
    } else if (QFileInfo(picturePath).isFile()) {
        xmp = embeddedXmp(picturePath);
    }
    writeXmp(xmp, tags);
    std::string packet;
    if (Exiv2::XmpParser::encode(packet, xmp, Exiv2::XmpParser::omitPacketWrapper) != 0)
        return QStringLiteral("the tags could not be put into XMP");
    if (writtenTo)
        *writtenTo = target;
    if (dryRun)
        return {};
    const QByteArray bytes = QByteArrayLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n")
                             + QByteArray::fromStdString(packet);
    const QFileInfo existing(target);
    const QFileDevice::Permissions permissions =
        existing.exists() ? existing.permissions()
                          : QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup | QFileDevice::ReadOther;
    const QString why = replaceFile(target, bytes, permissions);
    if (!why.isEmpty()) {
        if (writtenTo)
            writtenTo->clear();
        return QStringLiteral("%1 could not be written (%2)").arg(target, why);
    }
    return {};
}

QString writeEmbedded(const QString &picturePath, const Tags &tags, QString *writtenTo, bool dryRun)
{
    // A link is followed: the picture it names is the one changed, the link stays.
    const QFileInfo link(picturePath);
    const QString path = link.isSymLink() ? link.canonicalFilePath() : picturePath;
    const QFileInfo info(path);
    if (!info.isFile())
        return QStringLiteral("%1 is not a regular file").arg(picturePath);
    if (info.size() > MaxPictureBytes)
        return QStringLiteral("%1 is too large to be rewritten").arg(picturePath);
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QStringLiteral("%1 cannot be read (%2)").arg(picturePath, file.errorString());
    const QByteArray original = file.readAll();
    file.close();
    if (original.size() != info.size())
        return QStringLiteral("%1 could not be read whole").arg(picturePath);

    Exiv2::Image::AutoPtr image =
        Exiv2::ImageFactory::open(reinterpret_cast<const Exiv2::byte *>(original.constData()), long(original.size()));
    if (!image.get() || !image->good())
        return QStringLiteral("%1 is not a picture libexiv2 can write into").arg(picturePath);
    // Metadata read only in part would be written back without the rest: such a
    // picture is left as it is.
    t_problems = 0;
    image->readMetadata();
    if (t_problems > 0)
        return QStringLiteral("the metadata inside %1 is damaged (%2); it is left as it is").arg(picturePath, t_lastProblem);
    Exiv2::XmpData xmp = image->xmpData();
    // A packet the toolkit cannot decode would be lost by writing a new one.
    if (xmp.empty() && !image->xmpPacket().empty())
        return QStringLiteral("the XMP inside %1 is damaged; it is left as it is").arg(picturePath);
    if (writtenTo)
        *writtenTo = path;
    if (dryRun)
        return {};
    writeXmp(xmp, tags);
    image->setXmpData(xmp);
    if (image->supportsMetadata(Exiv2::mdExif)) {
        Exiv2::ExifData exif = image->exifData();
        writeExif(exif, tags);
        image->setExifData(exif);
    }
    if (image->supportsMetadata(Exiv2::mdIptc)) {
        Exiv2::IptcData iptc = image->iptcData();
        writeIptc(iptc, tags);
        image->setIptcData(iptc);
    }
    image->writeMetadata();
    Exiv2::BasicIo &io = image->io();
    if (io.open() != 0)
        return QStringLiteral("the rewritten %1 could not be read back").arg(picturePath);
    io.seek(0, Exiv2::BasicIo::beg);
    const long length = long(io.size());
    QByteArray rewritten(length, Qt::Uninitialized);
    const long read = io.read(reinterpret_cast<Exiv2::byte *>(rewritten.data()), length);
    io.close();
    if (length <= 0 || read != length)
        return QStringLiteral("the rewritten %1 could not be read back").arg(picturePath);
    // What is written must open as the same kind of picture again.
    Exiv2::Image::AutoPtr check =
        Exiv2::ImageFactory::open(reinterpret_cast<const Exiv2::byte *>(rewritten.constData()), long(rewritten.size()));
    if (!check.get() || check->imageType() != image->imageType())
        return QStringLiteral("the rewritten %1 did not read back as a picture").arg(picturePath);
    check->readMetadata();

    const QString why = replaceFile(path, rewritten, info.permissions());
    if (!why.isEmpty()) {
        if (writtenTo)
            writtenTo->clear();
        return QStringLiteral("%1 could not be written (%2)").arg(picturePath, why);
    }
    return {};
}

QString joined(const QStringList &items)
{
    return items.join(QLatin1Char(','));
}

} // namespace

void initialize()
{
    static std::once_flag once;
    std::call_once(once, [] {
        Exiv2::LogMsg::setHandler(logExiv2);
        Exiv2::XmpParser::initialize(lockToolkit, &g_xmpToolkit);
    });
}

const QStringList &badgeNames()
{
    static const QStringList names{QStringLiteral("Special"), QStringLiteral("Ok"),       QStringLiteral("Important"),
                                   QStringLiteral("Urgent"),  QStringLiteral("ho no"),    QStringLiteral("To Print"),
                                   QStringLiteral("To E-Mail")};
    return names;
}

bool Tags::isEmpty() const
{
    return *this == Tags();
}

bool Tags::operator==(const Tags &other) const
{
    return love == other.love && title == other.title && comment == other.comment && category == other.category
           && persons == other.persons && place == other.place && event == other.event && date == other.date
           && badge == other.badge;
}

const QList<MappingRow> &mapping()
{
    static const QList<MappingRow> rows{
        {"love 1-5", "Xmp.xmp.Rating, Exif.Image.Rating", "a rating of 1 to 5 (0 and -1 are no love)"},
        {"title", "Xmp.dc.title, Iptc.Application2.ObjectName", ""},
        {"comment", "Xmp.dc.description, Exif.Image.ImageDescription, Iptc.Application2.Caption",
         "not a camera's own name"},
        {"category", "Xmp.dc.subject (the category's name)", "the first keyword that is a category's name"},
        {"persons", "Xmp.iptcExt.PersonInImage, Xmp.dc.subject (each name)", "Xmp.iptcExt.PersonInImage"},
        {"place", "Xmp.iptcExt.LocationShown (City), Xmp.photoshop.City", ""},
        {"event", "Xmp.iptcExt.Event", ""},
        {"date", "Exif.Photo.DateTimeOriginal, Xmp.exif.DateTimeOriginal", ""},
        {"badge", "Xmp.xmp.Label (the badge's name)", "a label that is a badge's name"},
    };
    return rows;
}

QString sidecarPath(const QString &picturePath)
{
    return picturePath + QStringLiteral(".xmp");
}

QString sidecarToRead(const QString &picturePath)
{
    const QString whole = sidecarPath(picturePath);
    if (QFileInfo::exists(whole))
        return whole;
    const QFileInfo info(picturePath);
    const QString base = info.completeBaseName();
    if (base.isEmpty() || info.suffix().isEmpty())
        return {};
    const QString stem = info.path() + QLatin1Char('/') + base;
    for (const QString &suffix : {QStringLiteral(".xmp"), QStringLiteral(".XMP")}) {
        if (QFileInfo::exists(stem + suffix))
            return stem + suffix;
    }
    return {};
}

bool isSidecarName(const QString &fileName)
{
    return fileName.endsWith(QLatin1String(".xmp"), Qt::CaseInsensitive);
}

bool canEmbed(const QString &picturePath)
{
    const QString suffix = QFileInfo(picturePath).suffix().toLower();
    static const QStringList formats{QStringLiteral("jpg"), QStringLiteral("jpeg"), QStringLiteral("jpe"),
                                     QStringLiteral("tif"), QStringLiteral("tiff"), QStringLiteral("png")};
    return formats.contains(suffix);
}

ReadResult readPacket(const QByteArray &packet)
{
    initialize();
    ReadResult result;
    try {
        Exiv2::XmpData xmp;
        if (Exiv2::XmpParser::decode(xmp, packet.toStdString()) != 0) {
            result.error = QStringLiteral("its XMP cannot be decoded");
            return result;
        }
        fromXmp(xmp, result.tags);
    } catch (const Exiv2::AnyError &error) {
        result.error = QString::fromUtf8(error.what());
    } catch (const std::exception &error) {
        result.error = QString::fromUtf8(error.what());
    }
    return result;
}

namespace {

ReadResult readSidecar(const QString &picturePath)
{
    ReadResult result;
    const QString sidecar = sidecarToRead(picturePath);
    if (sidecar.isEmpty())
        return result;
    QByteArray bytes;
    QString why;
    if (!readSmallFile(sidecar, &bytes, &why)) {
        result.error = QStringLiteral("the sidecar %1: %2").arg(sidecar, why);
        return result;
    }
    result = readPacket(bytes);
    if (!result.error.isEmpty())
        result.error = QStringLiteral("the sidecar %1: %2").arg(sidecar, result.error);
    return result;
}

ReadResult readEmbedded(const QString &picturePath)
{
    ReadResult result;
    if (!QFileInfo(picturePath).isFile())
        return result;
    try {
        Exiv2::Image::AutoPtr image = Exiv2::ImageFactory::open(pathOf(picturePath));
        if (image.get()) {
            image->readMetadata();
            result.tags = embeddedTags(*image);
        }
    } catch (const Exiv2::AnyError &error) {
        result.error = QString::fromUtf8(error.what());
    } catch (const std::exception &error) {
        result.error = QString::fromUtf8(error.what());
    }
    return result;
}

} // namespace

ReadResult read(const QString &picturePath)
{
    initialize();
    ReadResult result = readSidecar(picturePath);
    const ReadResult embedded = readEmbedded(picturePath);
    fillFrom(result.tags, embedded.tags);
    QStringList errors;
    for (const QString &error : {result.error, embedded.error}) {
        if (!error.isEmpty())
            errors << error;
    }
    result.error = errors.join(QStringLiteral("; "));
    if (!result.error.isEmpty())
        qCWarning(lcCatalogue) << "the metadata of" << picturePath << "could not all be read:" << result.error;
    return result;
}

ReadResult readTarget(const QString &picturePath, Target target)
{
    initialize();
    if (target == Target::Embedded && canEmbed(picturePath))
        return readEmbedded(picturePath);
    return readSidecar(picturePath);
}

QString write(const QString &picturePath, const Tags &tags, Target target, QString *writtenTo, bool dryRun)
{
    initialize();
    if (writtenTo)
        writtenTo->clear();
    if (!QFileInfo::exists(picturePath))
        return QStringLiteral("%1 is not there").arg(picturePath);
    try {
        if (target == Target::Embedded && canEmbed(picturePath))
            return writeEmbedded(picturePath, tags, writtenTo, dryRun);
        return writeSidecar(picturePath, tags, writtenTo, dryRun);
    } catch (const Exiv2::AnyError &error) {
        return QStringLiteral("%1: %2").arg(picturePath, QString::fromUtf8(error.what()));
    } catch (const std::exception &error) {
        return QStringLiteral("%1: %2").arg(picturePath, QString::fromUtf8(error.what()));
    }
}

Tags fromRecord(const KivViewItem &record)
{
    Tags tags;
    tags.love = record.love();
    tags.title = record.title().trimmed();
    tags.comment = record.comment().trimmed();
    tags.category = record.category().trimmed();
    if (tags.category == QLatin1String("Undefined"))
        tags.category.clear();
    tags.date = record.date().trimmed();
    tags.badge = record.userBadge();
    if (const auto *photo = dynamic_cast<const PhotoItem *>(&record)) {
        for (const QString &person : photo->personInit().split(QLatin1Char(','), Qt::SkipEmptyParts)) {
            if (!person.trimmed().isEmpty())
                tags.persons << person.trimmed();
        }
        tags.place = photo->place().trimmed();
        tags.event = photo->event().trimmed();
    }
    return tags;
}

QList<Change> applyToRecord(KivViewItem &record, const Tags &tags, bool overwrite)
{
    QList<Change> changes;
    auto text = [&](const char *field, const QString &present, const QString &given, auto set) {
        if (given.isEmpty() || given == present.trimmed())
            return;
        if (!overwrite && !present.trimmed().isEmpty())
            return;
        changes.append({QLatin1String(field), present.trimmed(), given});
        set(given);
    };
    text("title", record.title(), tags.title, [&](const QString &v) { record.setTitle(v); });
    text("comment", record.comment(), tags.comment, [&](const QString &v) { record.setComment(v); });
    const QString category = record.category().trimmed() == QLatin1String("Undefined") ? QString() : record.category();
    text("category", category, tags.category, [&](const QString &v) { record.setCategory(v); });
    if (tags.love >= 1 && tags.love != record.love() && (overwrite || record.love() <= 1)) {
        changes.append({QStringLiteral("love"), QString::number(record.love()), QString::number(tags.love)});
        record.setLove(tags.love);
    }
    text("date", record.date(), tags.date, [&](const QString &v) { record.setDate(v); });
    if (tags.badge >= 0 && tags.badge != record.userBadge() && (overwrite || record.userBadge() == -1)) {
        changes.append({QStringLiteral("badge"), QString::number(record.userBadge()), QString::number(tags.badge)});
        record.setUserBadge(tags.badge);
    }
    if (auto *photo = dynamic_cast<PhotoItem *>(&record)) {
        text("persons", photo->personInit(), joined(tags.persons), [&](const QString &v) { photo->setPersonInit(v); });
        text("place", photo->place(), tags.place, [&](const QString &v) { photo->setPlace(v); });
        text("event", photo->event(), tags.event, [&](const QString &v) { photo->setEvent(v); });
    }
    if (!changes.isEmpty())
        record.setModified(true);
    return changes;
}

QList<Change> differences(const Tags &present, const Tags &tags)
{
    QList<Change> changes;
    auto text = [&](const char *field, const QString &before, const QString &after) {
        if (!after.isEmpty() && after != before)
            changes.append({QLatin1String(field), before, after});
    };
    if (writesLove(tags.love, present.love))
        changes.append({QStringLiteral("love"), present.love ? QString::number(present.love) : QString(),
                        QString::number(tags.love)});
    text("title", present.title, tags.title);
    text("comment", present.comment, tags.comment);
    text("category", present.category, tags.category == QLatin1String("Undefined") ? QString() : tags.category);
    text("persons", joined(present.persons), joined(tags.persons));
    text("place", present.place, tags.place);
    text("event", present.event, tags.event);
    if (const QString date = dateToWrite(present.date, tags.date); !date.isEmpty())
        changes.append({QStringLiteral("date"), present.date, date});
    if (tags.badge >= 0 && tags.badge != present.badge)
        changes.append({QStringLiteral("badge"),
                        present.badge >= 0 ? badgeNames().value(present.badge) : QString(),
                        badgeNames().value(tags.badge)});
    if (tags.badge == -1 && present.badge >= 0)
        changes.append({QStringLiteral("badge"), badgeNames().value(present.badge), QString()});
    return changes;
}

QString describe(const Change &change)
{
    return QStringLiteral("%1 \"%2\" (was \"%3\")").arg(change.field, change.after, change.before);
}

} // namespace TagMetadata
