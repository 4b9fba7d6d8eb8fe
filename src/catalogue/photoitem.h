#pragma once

#include "kivviewitem.h"
#include "thumbnailmaker.h"

// A picture in an album: the record the albums create for display. Adds persons,
// event and place to the property file (13 lines instead of 10) and makes thumbnails.
class PhotoItem : public KivViewItem
{
public:
    explicit PhotoItem(const QString &fileName = QString());

    // Loads the picture and makes its 99 x 73 thumbnail; not fast, it is also written to
    // the album folder under the picture's own file name. A picture that cannot be
    // loaded gives a blank thumbnail, no file, and keeps its format.
    QPixmap makeThumbnail(bool fast) override;
    // Takes a thumbnail made elsewhere (a worker thread) as makeThumbnail() would.
    QPixmap applyThumbnail(const ThumbnailMaker::Result &made, bool writeFile);

    QString personInit() const { return m_personInit; }
    void setPersonInit(const QString &persons) { takeText(m_personInit, persons); }
    QString event() const { return rareText(&Rare::event); }
    void setEvent(const QString &event) { setRareText(&Rare::event, event); }
    QString place() const { return rareText(&Rare::place); }
    void setPlace(const QString &place) { setRareText(&Rare::place, place); }
    bool flag() const { return m_flag; }
    void setFlag(bool flag) { m_flag = flag; }

protected:
    QStringList propertyLines() const override;
    void applyPropertyLines(const QStringList &lines) override;

private:
    QString m_personInit;
    bool m_flag = false;
};
