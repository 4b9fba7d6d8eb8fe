#pragma once

#include <QFrame>
#include <QPixmap>

class Hello;
class QLabel;
class QToolButton;

// The control bar along the bottom of the slideshow: back to the organiser, the
// seconds per picture with "-" and "+", Previous, Play and Next, four neighbour
// thumbnails (two back, one back, two on, one on) and the caption of the picture.
class slideshowbar : public QFrame
{
    Q_OBJECT

public:
    static constexpr int Height = 42;

    explicit slideshowbar(QWidget *parent = nullptr);

    bool isBarVisible() const { return m_barVisible; }
    void setBarVisible(bool visible) { m_barVisible = visible; }

    QToolButton *exitButton() const { return m_exit; }
    QToolButton *minusButton() const { return m_minus; }
    QToolButton *plusButton() const { return m_plus; }
    QToolButton *previousButton() const { return m_previous; }
    QToolButton *playButton() const { return m_play; }
    QToolButton *nextButton() const { return m_next; }
    // 0: two back, 1: one back, 2: two on, 3: one on.
    QToolButton *thumbButton(int which) const { return m_thumbs[which]; }
    QLabel *timeLabel() const { return m_time; }
    Hello *caption() const { return m_caption; }

    void setSeconds(int seconds);
    void setThumbnail(int which, const QPixmap &pixmap);
    QPixmap thumbnail(int which) const { return m_thumbPixmaps[which]; }
    void setThumbnailsVisible(bool visible);

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    bool m_barVisible = true;
    QToolButton *m_exit;
    QLabel *m_time;
    QToolButton *m_minus;
    QToolButton *m_plus;
    QToolButton *m_previous;
    QToolButton *m_play;
    QToolButton *m_next;
    QToolButton *m_thumbs[4];
    QPixmap m_thumbPixmaps[4];
    Hello *m_caption;
};
