#pragma once

#include <QWidget>

class QLineEdit;
class QTimer;

// The album title above the thumbnails: its letters ripple in a wave that dies down
// within two seconds, and a click turns it into a one-line editor so the album can
// be renamed in place.
class Hello : public QWidget
{
    Q_OBJECT

public:
    explicit Hello(QWidget *parent = nullptr);

    QString text() const { return m_text; }
    void setText(const QString &text);
    bool isLocked() const { return m_locked; }
    void setLocked(bool locked) { m_locked = locked; }
    int phase() const { return m_phase; }
    int frameCount() const { return m_frames; }
    bool isRunning() const;
    QLineEdit *editor() const { return m_editor; }

    // The wave value of table entry `index` after `frames` frames: each entry loses 2
    // per frame towards 0, so the letters stand still after 50 frames.
    static int dampedValue(int index, int frames);
    // Where each letter of `text` is drawn (x, baseline y) in the off-screen picture.
    QList<QPoint> letterPositions() const;

Q_SIGNALS:
    // The user finished editing the title (the receiver stores the new title).
    void clicked();

public Q_SLOTS:
    void animate();
    void pauseTitle();
    void runTitle();
    void updateTitle();

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void leaveEvent(QEvent *event) override;

private:
    QString m_text;
    int m_phase = 0;
    int m_frames = 0;
    bool m_locked = false;
    QTimer *m_timer;
    QLineEdit *m_editor;
};
