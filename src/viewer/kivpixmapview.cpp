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
// How far an arrow key moves a picture larger than the view.
constexpr int kKeyStep = 40;
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

bool KIVPixmapView::slotSetFile(const QString &fileName)
{
    m_fileName = fileName;
    QImageReader reader(fileName);
    reader.setAutoTransform(true);
    // A camera's photograph (45 megapixels and more) is past Qt's default allocation
    // limit; the viewer holds the whole picture, up to 1 GB of pixels, for its effects.
    const int limit = QImageReader::allocationLimit();
    QImageReader::setAllocationLimit(qMax(limit, ViewerAllocationLimitMb));
    m_current = reader.read();
    QImageReader::setAllocationLimit(limit);
    m_loadError = m_current.isNull() ? reader.errorString() : QString();
    loaded();
    if (m_current.isNull()) {
        m_display = QImage();
        m_shown = QPixmap();
        update();
    }
    return !m_current.isNull();
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
    // Fitting centres a picture in each direction it is no larger than the view; a
    // picture larger than the view (zoomed in) is drawn from its scroll position.
    const auto axis = [this](int view, int shown, int scroll) {
        return m_autosize && shown <= view ? view / 2 - shown / 2 : -scroll;
    };
    return {axis(width(), m_shown.width(), m_scrollX), axis(height(), m_shown.height(), m_scrollY)};
}

void KIVPixmapView::scrollTo(int x, int y)
{
    m_scrollX = qBound(0, x, qMax(0, m_shown.width() - width()));
    m_scrollY = qBound(0, y, qMax(0, m_shown.height() - height()));
    update();
}

void KIVPixmapView::zoomed(QSize before)
{
    // With fitting on, the point at the middle of the view stays there.
    if (!m_autosize || before.isEmpty())
        return;
    const auto middle = [](int view, int shown, int scroll) { return shown <= view ? shown / 2.0 : scroll + view / 2.0; };
    const double x = middle(width(), before.width(), m_scrollX) * m_shown.width() / before.width();
    const double y = middle(height(), before.height(), m_scrollY) * m_shown.height() / before.height();
    scrollTo(int(std::lround(x - width() / 2.0)), int(std::lround(y - height() / 2.0)));
}

void KIVPixmapView::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    if (m_shown.isNull())
        return;
    painter.drawPixmap(drawOrigin(), m_shown);
}

void KIVPixmapView::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    if (m_autosize)
        fit();
    scrollTo(m_scrollX, m_scrollY);  // a larger view may show more of the picture
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
    const QSize before = m_shown.size();
    m_display = m_current.scaled(zoomedSize(delta), Qt::IgnoreAspectRatio, Qt::FastTransformation);
    m_shown = QPixmap::fromImage(m_display);
    zoomed(before);
    update();
}

void KIVPixmapView::zoomSmooth(int delta)
{
    m_zoom += delta;
    if (m_current.isNull())
        return;
    const QSize before = m_shown.size();
    m_display = m_current.scaled(zoomedSize(delta), Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    m_shown = QPixmap::fromImage(m_display);
    zoomed(before);
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
    if (!(event->buttons() & Qt::LeftButton)) {
        QWidget::mouseMoveEvent(event);
        return;
    }
    const QPoint now = event->position().toPoint();
    const QPoint moved = m_dragFrom - now;
    m_dragFrom = now;
    scrollTo(m_scrollX + moved.x(), m_scrollY + moved.y());
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
        scrollTo(m_scrollX - kKeyStep, m_scrollY);
        return;
    case Qt::Key_Right:
        if (!shift) {
            Q_EMIT nextPressed();
            return;
        }
        scrollTo(m_scrollX + kKeyStep, m_scrollY);
        return;
    case Qt::Key_Home:
        Q_EMIT firstPressed();
        return;
    case Qt::Key_End:
        Q_EMIT lastPressed();
        return;
    case Qt::Key_Up:
        scrollTo(m_scrollX, m_scrollY - kKeyStep);
        return;
    case Qt::Key_Down:
        scrollTo(m_scrollX, m_scrollY + kKeyStep);
        return;
    case Qt::Key_Escape:
        // Hiding the frame that holds the surface would leave the viewer blank for good.
        Q_EMIT escapePressed();
        return;
    default:
        QWidget::keyPressEvent(event);
        return;
    }
}

void KIVPixmapView::mousePressEvent(QMouseEvent *event)
{
    m_dragFrom = event->position().toPoint();
    Q_EMIT slideshowShowBar();
    QWidget::mousePressEvent(event);
}
