#include "hello.h"

#include <QLineEdit>
#include <QPainter>
#include <QTimer>

namespace {
// A sine sampled every 22.5 degrees, scaled to 100.
constexpr int kWave[16] = {0, 38, 71, 92, 100, 92, 71, 38, 0, -38, -71, -92, -100, -92, -71, -38};
} // namespace

Hello::Hello(QWidget *parent)
    : QWidget(parent)
    , m_timer(new QTimer(this))
    , m_editor(new QLineEdit(this))
{
    QFont f(QStringLiteral("Franklin Gothic Heavy"));
    f.setPointSize(20);
    f.setWeight(QFont::Normal);
    f.setItalic(true);
    setFont(f);
    m_editor->setObjectName(QStringLiteral("edit title"));
    m_editor->hide();
    connect(m_timer, &QTimer::timeout, this, &Hello::animate);
    connect(m_editor, &QLineEdit::returnPressed, this, &Hello::updateTitle);
    // Drawn entirely by paintEvent through one off-screen picture: no background erase.
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void Hello::setText(const QString &text)
{
    m_text = text;
    update();
}

bool Hello::isRunning() const
{
    return m_timer->isActive();
}

int Hello::dampedValue(int index, int frames)
{
    const int v = kWave[((index % 16) + 16) % 16];
    const int magnitude = qMax(0, qAbs(v) - 2 * frames);
    return v < 0 ? -magnitude : magnitude;
}

void Hello::animate()
{
    m_phase = (m_phase + 1) % 16;
    ++m_frames;
    repaint();
}

void Hello::pauseTitle()
{
    m_timer->stop();
    m_text.clear();
    m_frames = 0;
    m_phase = 15;
    update();
}

void Hello::runTitle()
{
    m_timer->start(40);
    m_frames = 0;
    m_phase = 0;
}

QList<QPoint> Hello::letterPositions() const
{
    const QFontMetrics fm(font());
    const int p = int(fm.height() * 1.5);
    const int baseline = p / 2 + fm.descent() - 5;
    QList<QPoint> positions;
    int x = 0;
    for (int i = 0; i < m_text.size(); ++i) {
        const int y = baseline - dampedValue(m_phase + i, m_frames) * p / 800 - 2;
        positions.append(QPoint(x, y));
        x += fm.horizontalAdvance(m_text.at(i));
    }
    return positions;
}

void Hello::paintEvent(QPaintEvent *)
{
    // The parent's background behind the letters, a picture of it (the slideshow's bar)
    // laid as the parent lays it; its colour where the picture is missing. Painted with
    // no text too: the widget is opaque, and the last text must go.
    const QWidget *back = parentWidget() ? parentWidget() : this;
    QBrush brush = back->palette().brush(back->backgroundRole());
    if (brush.style() == Qt::TexturePattern && brush.texture().isNull())
        brush = QBrush(brush.color().isValid() ? brush.color() : QColor(Qt::lightGray));
    QPainter widget(this);
    widget.setBrushOrigin(back == this ? QPoint() : -pos());
    widget.fillRect(rect(), brush);
    if (m_text.isEmpty())
        return;
    const QFontMetrics fm(font());
    const int p = int(fm.height() * 1.5);
    // Letters are drawn into one picture that is copied at once, so the 25 repaints a
    // second do not flicker.
    QPixmap canvas(size());
    canvas.fill(Qt::transparent);
    {
        QPainter painter(&canvas);
        painter.setFont(font());
        painter.setPen(palette().color(QPalette::WindowText));
        const QList<QPoint> positions = letterPositions();
        for (int i = 0; i < m_text.size(); ++i)
            painter.drawText(positions.at(i), QString(m_text.at(i)));
    }
    widget.drawPixmap(0, height() / 2 - p / 2 + 5, canvas);
}

void Hello::mousePressEvent(QMouseEvent *)
{
    if (m_locked)
        return;
    m_editor->move(0, 0);
    m_editor->resize(width(), qMax(0, height() - 6));
    m_editor->setText(m_text);
    m_editor->setModified(false);
    m_editor->show();
    m_editor->setFocus();
}

void Hello::leaveEvent(QEvent *event)
{
    QWidget::leaveEvent(event);
    if (isVisible() && m_editor->isVisible())
        updateTitle();
}

void Hello::updateTitle()
{
    if (m_editor->isModified())
        Q_EMIT clicked();
    m_editor->hide();
}
