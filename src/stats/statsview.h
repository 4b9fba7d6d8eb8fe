#pragma once

#include <QFontMetrics>
#include <QPixmap>
#include <QWidget>
#include <memory>

class KivViewItem;
class PlayList;

namespace Ui {
class StatsViewBase;
}

// The podium of the statistics album: the three most viewed pictures, their
// thumbnails and file names standing on the first, second and third steps. The places
// are filled only from an album of exactly three usable rows (rows of the most-viewed
// query: source folder, file name, album id, view count) and otherwise kept.
class StatsView : public QWidget
{
    Q_OBJECT

public:
    explicit StatsView(QWidget *parent = nullptr);
    ~StatsView() override;

    // Where the albums' folders are (their thumbnails are read from there).
    void setCatalogueFolder(const QString &folder) { m_catalogueFolder = folder; }

    // Place 1, 2 or 3; the view owns the record.
    void setFirst(std::unique_ptr<KivViewItem> record);
    void setSecond(std::unique_ptr<KivViewItem> record);
    void setThird(std::unique_ptr<KivViewItem> record);
    const KivViewItem *place(int number) const;

    // Fills the places from the album's rows (when it has exactly three) and redraws.
    void setAlbum(PlayList *album);
    void drawPodium();
    // What the podium label shows.
    QPixmap podium() const { return m_podium; }

    // Where each place's thumbnail and name stand on the podium picture.
    static QPoint thumbnailAt(int number);
    static QRect nameBox(int number);
    // A file name as it stands in its box: wrapped at word boundaries, as many lines as
    // the box holds, the last one ending with "..." when the rest does not fit.
    static QStringList nameLines(const QString &name, const QFontMetrics &metrics, const QRect &box);

private:
    std::unique_ptr<KivViewItem> recordFromRow(const QStringList &row) const;

    std::unique_ptr<Ui::StatsViewBase> ui;
    std::unique_ptr<KivViewItem> m_places[3];
    QString m_catalogueFolder;
    QPixmap m_podium;
};
