#include "favoriteswidget.h"

#include "pixmaplookup.h"

#include <QMouseEvent>
#include <QPainter>

FavoritesWidget::FavoritesWidget(QWidget *parent)
    : QWidget(parent)
    , m_heart(kivPixmap(QStringLiteral("favorites.png")))
{
    setAutoFillBackground(true);
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, QColor(231, 231, 231));
    setPalette(palette);
    setMinimumSize(sizeHint());
    setToolTip(QStringLiteral("Left click: one more heart. Right click: one less."));
}

void FavoritesWidget::setValue(int value)
{
    m_value = value;
    m_lastSet = value;
    m_changed = true;
    update();
}

void FavoritesWidget::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    for (int i = 0; i < m_value; ++i)
        painter.drawPixmap(17 * i, 0, m_heart);
}

void FavoritesWidget::mousePressEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton) {
        if (m_value == 5)
            return;
        ++m_value;
        m_changed = true;
        update();
        Q_EMIT favPlus();
        return;
    }
    if (m_value == 0)
        return;
    --m_value;
    m_changed = true;
    update();
    Q_EMIT favMoins();
}

void FavoritesWidget::leaveEvent(QEvent *event)
{
    QWidget::leaveEvent(event);
    if (m_value != m_lastSet)
        Q_EMIT changed();
}
