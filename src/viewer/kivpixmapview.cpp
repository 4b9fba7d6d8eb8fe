#include "kivpixmapview.h"

#include <QMouseEvent>
#include <QWheelEvent>
#include <cmath>

#include "imageeffects.h"

#include <QImageReader>
#include <QKeyEvent>
#include <QPainter>

KIVPixmapView::KIVPixmapView(QWidget *parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("PixmapView"));
    QPalette colours = palette();
    colours.setColor(QPalette::Window, Qt::black);
    setPalette(colours);
    setAutoFillBackground(true);
    setFocusPolicy(Qt::StrongFocus);
}

namespace {
// What the pictures kept for undoing may take together; the latest step is always kept.
constexpr qint64 kHistoryBytes = qint64(384) * 1024 * 1024;
} // namespace

void KIVPixmapView::remember()
{
    if (m_current.isNull())
        return;
    // The copy shares its pixels until the effect writes into the current picture.
    m_history.append({m_current, m_state});
    m_state = ++m_lastState;
    qint64 bytes = 0;
    for (const Step &step : std::as_const(m_history))
        bytes += step.picture.sizeInBytes();
    while (m_history.size() > 1 && bytes > kHistoryBytes) {
        bytes -= m_history.first().picture.sizeInBytes();
        m_history.removeFirst();
    }
}

bool KIVPixmapView::undoLastEffect()
{
    if (m_history.isEmpty())
        return false;
    const Step step = m_history.takeLast();
    m_current = step.picture;
    m_state = step.state;
    refresh();
    return true;
}

void KIVPixmapView::loaded()
{
    m_history.clear();
    m_state = m_lastState = 0;
    m_undo = m_current.copy();
    m_display = m_current;
    m_zoom = 0;
    m_scrollX = m_scrollY = 0;
    refresh();
    update();
}

void KIVPixmapView::slotSetFile(const QString &fileName)
{
    m_fileName = fileName;
    QImageReader reader(fileName);
    reader.setAutoTransform(true);
    m_current = reader.read();
    loaded();
}

void KIVPixmapView::slotSetPixmap(const QPixmap &pixmap)
{
    m_current = pixmap.toImage();
    loaded();
}

void KIVPixmapView::fit()
{
    if (m_current.isNull())
        return;
    m_display = m_current;
    const QSize fitted = ImageEffects::fittedSize(m_current.size(), size());
    if (fitted != m_current.size())
        m_display = m_current.scaled(fitted, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    m_shown = QPixmap::fromImage(m_display);
}

void KIVPixmapView::refresh()
{
    if (m_autosize) {
        fit();
    } else {
        m_display = m_current;
        m_shown = QPixmap::fromImage(m_display);
    }
    update();
}

QPoint KIVPixmapView::drawOrigin() const
{
    if (m_autosize)
        return {width() / 2 - m_shown.width() / 2, height() / 2 - m_shown.height() / 2};
    return {0, 0};
}

void KIVPixmapView::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    if (m_shown.isNull())
        return;
    if (m_autosize)
        painter.drawPixmap(drawOrigin(), m_shown);
    else
        painter.drawPixmap(QPoint(0, 0), m_shown, QRect(m_scrollX, m_scrollY, width(), height()));
}

void KIVPixmapView::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    if (m_autosize)
        fit();
}

void KIVPixmapView::setAutosize(bool on)
{
    m_autosize = on;
    refresh();
}

QSize KIVPixmapView::zoomedSize(int delta) const
{
    // From the size shown (fitted or zoomed already), `delta` pixels wider, the height
    // following so the picture keeps its proportions.
    const int shownWidth = m_display.isNull() ? m_current.width() : m_display.width();
    const int width = qMax(1, shownWidth + delta);
    const int height = qMax(1, int(std::lround(double(width) * m_current.height() / m_current.width())));
    return {width, height};
}

void KIVPixmapView::zoomFast(int delta)
{
    m_zoom += delta;
    if (m_current.isNull())
        return;
    m_display = m_current.scaled(zoomedSize(delta), Qt::IgnoreAspectRatio, Qt::FastTransformation);
    m_shown = QPixmap::fromImage(m_display);
    update();
}

void KIVPixmapView::zoomSmooth(int delta)
{
    m_zoom += delta;
    if (m_current.isNull())
        return;
    m_display = m_current.scaled(zoomedSize(delta), Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    m_shown = QPixmap::fromImage(m_display);
    update();
}

void KIVPixmapView::wheelEvent(QWheelEvent *event)
{
    // Ctrl and the wheel zoom, a notch at a time.
    if (!(event->modifiers() & Qt::ControlModifier) || event->angleDelta().y() == 0) {
        QWidget::wheelEvent(event);
        return;
    }
    zoomSmooth(event->angleDelta().y() > 0 ? 50 : -50);
    event->accept();
}

void KIVPixmapView::mouseMoveEvent(QMouseEvent *event)
{
    // Dragging with the button held moves a picture larger than the view.
    if (!(event->buttons() & Qt::LeftButton) || m_autosize) {
        QWidget::mouseMoveEvent(event);
        return;
    }
    const QPoint now = event->position().toPoint();
    const QPoint moved = m_dragFrom - now;
    m_dragFrom = now;
    m_scrollX = qBound(0, m_scrollX + moved.x(), qMax(0, m_display.width() - width()));
    m_scrollY = qBound(0, m_scrollY + moved.y(), qMax(0, m_display.height() - height()));
    update();
}

void KIVPixmapView::clear()
{
    m_shown = QPixmap();
    m_current = m_display = m_undo = QImage();
    m_history.clear();
    m_state = m_lastState = 0;
    m_fileName.clear();
    update();
}

void KIVPixmapView::slotFadeToBlack(int n)
{
    remember();
    ImageEffects::fade(m_current, Qt::black, n * 0.1);
    m_shown = QPixmap::fromImage(m_current);
    update();
}

void KIVPixmapView::slotMirror()
{
    remember();
    ImageEffects::mirror(m_current);
    refresh();
}

void KIVPixmapView::slotBlackAndWhite()
{
    remember();
    ImageEffects::grey(m_current);
    refresh();
}

void KIVPixmapView::slotUndo()
{
    remember();
    m_current = m_undo;
    m_display = m_undo;
    refresh();
}

void KIVPixmapView::slotIntensity(float percent)
{
    remember();
    ImageEffects::intensity(m_current, percent);
    m_undo = m_current;
    refresh();
}

void KIVPixmapView::slotContrast(int)
{
    remember();
    ImageEffects::contrast(m_current, 1);
    refresh();
}

void KIVPixmapView::slotRotateClockWise()
{
    remember();
    ImageEffects::rotateClockwise(m_current);
    refresh();
}

void KIVPixmapView::slotRotateCounter()
{
    remember();
    ImageEffects::rotateCounterClockwise(m_current);
    refresh();
}

void KIVPixmapView::slotResize1024()
{
    remember();
    ImageEffects::reduce(m_current, 1024);
    refresh();
}

void KIVPixmapView::slotResize640()
{
    remember();
    ImageEffects::reduce(m_current, 640);
    refresh();
}

void KIVPixmapView::slotResize320()
{
    remember();
    ImageEffects::reduce(m_current, 320);
    refresh();
}

void KIVPixmapView::slotMoreEffect(int id)
{
    if (id < 0 || id > 7)
        return;
    remember();
    switch (id) {
    case 0:
        ImageEffects::intensity(m_current, 0.5f);
        break;
    case 1:
        ImageEffects::blend(m_current, Qt::black, 0.5f);
        break;
    case 2:
        ImageEffects::fade(m_current, QColor(0, 0, 255), 0.2);
        break;
    case 3:
        ImageEffects::desaturate(m_current, 0.5f);
        break;
    case 4:
        ImageEffects::normalize(m_current);
        break;
    case 5:
        ImageEffects::equalize(m_current);
        break;
    case 6:
        m_current = ImageEffects::edge(m_current, 300.0);
        break;
    case 7:
        m_current = ImageEffects::noise(m_current);
        break;
    default:
        return;
    }
    refresh();
}

void KIVPixmapView::keyPressEvent(QKeyEvent *event)
{
    // Left, Right, Home and End step through the album; with Shift the arrows move a
    // picture larger than the view, as Up and Down do.
    const bool shift = event->modifiers() & Qt::ShiftModifier;
    switch (event->key()) {
    case Qt::Key_Left:
        if (!shift) {
            Q_EMIT previousPressed();
            return;
        }
        if (m_scrollX >= 1)
            m_scrollX -= 10;
        break;
    case Qt::Key_Right:
        if (!shift) {
            Q_EMIT nextPressed();
            return;
        }
        if (m_scrollX < m_display.width() / 2)
            m_scrollX += 10;
        break;
    case Qt::Key_Home:
        Q_EMIT firstPressed();
        return;
    case Qt::Key_End:
        Q_EMIT lastPressed();
        return;
    case Qt::Key_Up:
        if (m_scrollY >= 1)
            m_scrollY -= 10;
        break;
    case Qt::Key_Down:
        if (m_scrollY < m_display.height() / 2)
            m_scrollY += 10;
        break;
    case Qt::Key_Escape:
        // Hiding the frame that holds the surface would leave the viewer blank for good.
        Q_EMIT escapePressed();
        return;
    default:
        QWidget::keyPressEvent(event);
        return;
    }
    update();
}

void KIVPixmapView::mousePressEvent(QMouseEvent *event)
{
    m_dragFrom = event->position().toPoint();
    Q_EMIT slideshowShowBar();
    QWidget::mousePressEvent(event);
}
