#pragma once

#include <QImage>
#include <QPixmap>
#include <QWidget>

// The editing surface of the viewer: the picture being edited, the picture drawn
// (fitted to the widget, or zoomed), and an undo copy taken when a picture loads.
class KIVPixmapView : public QWidget
{
    Q_OBJECT

public:
    // The most memory one picture shown may take, in megabytes.
    static constexpr int ViewerAllocationLimitMb = 1024;

    explicit KIVPixmapView(QWidget *parent = nullptr);

    QString fileName() const { return m_fileName; }
    const QImage &currentImage() const { return m_current; }
    const QImage &displayImage() const { return m_display; }
    const QImage &undoImage() const { return m_undo; }
    QPixmap displayPixmap() const { return QPixmap::fromImage(m_display); }
    bool autosize() const { return m_autosize; }
    void setAutosize(bool on);
    int zoomOffset() const { return m_zoom; }
    // Where a picture larger than the view is scrolled to.
    QPoint scrollPosition() const { return {m_scrollX, m_scrollY}; }
    void zoomFast(int delta);
    void zoomSmooth(int delta);
    void clear();
    // Where the shown picture's top-left corner is drawn.
    QPoint drawOrigin() const;
    // Takes back the last effect; false when there is none to take back.
    bool undoLastEffect();
    bool canUndo() const { return !m_history.isEmpty(); }
    // Names the picture's state: a new one after each effect, the earlier one again
    // after an undo. The loaded picture is state 0.
    quint64 state() const { return m_state; }

Q_SIGNALS:
    void slideshowShowBar();
    // Escape was pressed: whoever shows this surface decides where it goes back to.
    void escapePressed();
    // Left, Right, Home and End: the previous, next, first or last picture is wanted.
    void previousPressed();
    void nextPressed();
    void firstPressed();
    void lastPressed();

public Q_SLOTS:
    // Shows the picture `fileName`; when it cannot be read, nothing is shown (never the
    // picture before it) and false is returned, with the reason in loadError().
    bool slotSetFile(const QString &fileName);
    QString loadError() const { return m_loadError; }
    void slotSetPixmap(const QPixmap &pixmap);
    void slotFadeToBlack(int n);
    void slotMirror();
    void slotBlackAndWhite();
    void slotUndo();
    void slotIntensity(float percent);
    void slotContrast(int);
    void slotRotateClockWise();
    void slotRotateCounter();
    void slotResize1024();
    void slotResize640();
    void slotResize320();
    void slotMoreEffect(int id);

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void wheelEvent(QWheelEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;

private:
    void loaded();
    void refresh();
    void fit();
    QSize zoomedSize(int delta) const;
    // Moves a picture larger than the view, within its edges.
    void scrollTo(int x, int y);
    // After a zoom from `before`: keeps the middle of the view on the same spot.
    void zoomed(QSize before);
    // Keeps the picture as it is before an effect changes it.
    void remember();

    struct Step
    {
        QImage picture;
        quint64 state;
    };

    QString m_fileName;
    QImage m_current;
    QString m_loadError;
    QImage m_display;
    QImage m_undo;
    QPixmap m_shown;
    int m_zoom = 0;
    bool m_autosize = true;
    int m_scrollX = 0;
    int m_scrollY = 0;
    QPoint m_dragFrom;
    QList<Step> m_history;
    quint64 m_state = 0;
    quint64 m_lastState = 0;
};
