#include "photoitem.h"

#include <QFileInfo>

PhotoItem::PhotoItem(const QString &fileName)
    : KivViewItem(fileName)
{
}

QStringList PhotoItem::propertyLines() const
{
    QStringList lines = commonLines();
    lines << QStringLiteral("personinit=") + m_personInit << QStringLiteral("event=") + event()
          << QStringLiteral("place=") + place() << QStringLiteral("userbadge=") + QString::number(userBadge());
    return lines;
}

void PhotoItem::applyPropertyLines(const QStringList &lines)
{
    applyCommonLines(lines);
    setPersonInit(lineValue(lines, 9, "personinit="));
    setEvent(lineValue(lines, 10, "event="));
    setPlace(lineValue(lines, 11, "place="));
    setUserBadge(lineValue(lines, 12, "userbadge=").toInt());
}

QPixmap PhotoItem::makeThumbnail(bool fast)
{
    return applyThumbnail(ThumbnailMaker::make(picturePath(), fast), !fast);
}

QPixmap PhotoItem::applyThumbnail(const ThumbnailMaker::Result &made, bool writeFile)
{
    if (!made.loaded) {
        setThumbnail(QPixmap::fromImage(made.image));
        return thumbnail();
    }
    setFormat(QString::number(made.pictureSize.width()) + QLatin1Char('*')
              + QString::number(made.pictureSize.height()));
    if (made.fileTime.isValid())
        setFileTime(made.fileTime);
    if (writeFile)
        ThumbnailMaker::save(made.image, thumbnailPath());
    setThumbnail(QPixmap::fromImage(made.image));
    return thumbnail();
}
