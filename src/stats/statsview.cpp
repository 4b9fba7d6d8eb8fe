#include "statsview.h"

#include "albumrows.h"
#include "kivviewitem.h"
#include "pixmaplookup.h"
#include "playlist.h"
#include "statslog.h"
#include "thumbnailmaker.h"

#include "ui_statsviewbase.h"

#include <QFileInfo>
#include <QImageReader>
#include <QPainter>

namespace {

// The steps of the podium picture: first in the middle, second on the right, third on
// the left; each name stands 30 pixels above its thumbnail.
constexpr QPoint kThumbnailAt[3] = {{140, 90}, {270, 130}, {10, 155}};
constexpr int kNameWidth = 100;
constexpr int kNameHeight = 30;

// A thumbnail of the picture itself, for a place whose cached thumbnail is gone (a
// restored catalogue remakes thumbnails only when an album is shown).
QPixmap thumbnailOfPicture(const QString &path)
{
    QImageReader reader(path);
    reader.setAutoTransform(true);
    const QSize size = reader.size();
    if (size.isValid())
        reader.setScaledSize(ThumbnailMaker::fittedSize(size));
    const QImage image = reader.read();
    return image.isNull() ? QPixmap() : QPixmap::fromImage(image);
}

} // namespace

StatsView::StatsView(QWidget *parent)
    : QWidget(parent)
    , ui(std::make_unique<Ui::StatsViewBase>())
{
    ui->setupUi(this);
    setObjectName(QStringLiteral("statsview"));
    // The decorative panel's picture stretched behind the podium.
    const QString decoration = PixmapLookup::instance().filePath(QStringLiteral("shadow-library-basb.png"));
    if (!decoration.isEmpty())
        ui->frameDecoration->setStyleSheet(QStringLiteral("#frameDecoration { border-image: url(\"%1\") 0 0 0 0 stretch stretch; }")
                                                .arg(decoration));
    drawPodium();
}

StatsView::~StatsView() = default;

void StatsView::setFirst(std::unique_ptr<KivViewItem> record)
{
    m_places[0] = std::move(record);
}

void StatsView::setSecond(std::unique_ptr<KivViewItem> record)
{
    m_places[1] = std::move(record);
}

void StatsView::setThird(std::unique_ptr<KivViewItem> record)
{
    m_places[2] = std::move(record);
}

const KivViewItem *StatsView::place(int number) const
{
    return number >= 1 && number <= 3 ? m_places[number - 1].get() : nullptr;
}

QPoint StatsView::thumbnailAt(int number)
{
    return kThumbnailAt[number - 1];
}

QRect StatsView::nameBox(int number)
{
    return QRect(kThumbnailAt[number - 1] - QPoint(0, kNameHeight), QSize(kNameWidth, kNameHeight));
}

std::unique_ptr<KivViewItem> StatsView::recordFromRow(const QStringList &row) const
{
    // A row of the most-viewed query: type, source folder, file name, album id, views.
    auto record = std::make_unique<KivViewItem>(row.value(2));
    record->setFileName(row.value(2));
    record->setSourceFolder(row.value(1));
    record->setViewCount(row.value(4).toInt());
    record->setAlbumFolderPath(m_catalogueFolder + QLatin1Char('/') + row.value(3));
    QPixmap thumbnail;
    if (QFileInfo(record->thumbnailPath()).isFile())
        thumbnail.load(record->thumbnailPath());
    if (thumbnail.isNull())
        thumbnail = thumbnailOfPicture(record->picturePath());
    if (thumbnail.isNull())
        qCDebug(lcStats) << "no thumbnail for" << record->picturePath();
    record->setThumbnail(thumbnail);
    return record;
}

void StatsView::setAlbum(PlayList *album)
{
    if (album && album->rowTable().count() == 3) {
        const AlbumRows &rows = album->rowTable();
        for (int i = 0; i < 3; ++i) {
            const QStringList row = rows.row(i);
            const QString fileName = row.value(2);
            if (fileName.isEmpty() || fileName == QLatin1String(" "))
                continue;
            m_places[i] = recordFromRow(row);
        }
    }
    drawPodium();
}

QStringList StatsView::nameLines(const QString &name, const QFontMetrics &metrics, const QRect &box)
{
    // Wrapped at word boundaries; a word wider than the box is cut, and what does not
    // fit in the box ends the last line with "...".
    const int room = qMax(1, (box.height() - metrics.height()) / metrics.lineSpacing() + 1);
    QStringList lines;
    QString line;
    const QStringList words = name.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    int next = 0;
    for (; next < words.size(); ++next) {
        const QString tried = line.isEmpty() ? words.at(next) : line + QLatin1Char(' ') + words.at(next);
        if (line.isEmpty() || metrics.horizontalAdvance(tried) <= box.width()) {
            line = tried;
            continue;
        }
        lines << line;
        line = words.at(next);
        if (lines.size() == room)
            break;
    }
    if (lines.size() < room) {
        lines << line;
        line.clear();
        next = int(words.size());
    }
    // What is left joins the last line, cut to the box.
    const QString rest = QStringList(words.mid(next)).join(QLatin1Char(' '));
    QString &last = lines.last();
    const QString full = rest.isEmpty() ? last : last + QLatin1Char(' ') + rest;
    for (QString &each : lines)
        each = metrics.elidedText(each, Qt::ElideRight, box.width());
    last = metrics.elidedText(full, Qt::ElideRight, box.width());
    return lines;
}

void StatsView::drawPodium()
{
    const QPixmap background = kivPixmap(QStringLiteral("podium.png"));
    QPixmap podium(background.isNull() ? QSize(380, 320) : background.size());
    podium.fill(Qt::white);
    QPainter painter(&podium);
    painter.drawPixmap(0, 0, background);
    for (int i = 0; i < 3; ++i) {
        if (m_places[i])
            painter.drawPixmap(kThumbnailAt[i], m_places[i]->thumbnail());
    }
    QFont font = painter.font();
    font.setBold(true);
    painter.setFont(font);
    painter.setPen(QColor(0, 0, 127));
    for (int i = 0; i < 3; ++i) {
        if (!m_places[i])
            continue;
        const QRect box = nameBox(i + 1);
        const QStringList lines = nameLines(m_places[i]->fileName(), painter.fontMetrics(), box);
        int y = box.top();
        for (const QString &line : lines) {
            painter.drawText(QRect(box.left(), y, box.width(), painter.fontMetrics().height()), Qt::AlignHCenter, line);
            y += painter.fontMetrics().lineSpacing();
        }
    }
    painter.end();
    m_podium = podium;
    ui->pixmappodium->setPixmap(podium);
    ui->pixmappodium->setFixedSize(podium.size());
}
