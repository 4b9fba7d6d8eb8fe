#include "kivroundbutton.h"

#include "pixmaplookup.h"

#include <QLocale>
#include <QPainter>

KivRoundButton::KivRoundButton(QWidget *parent)
    : QToolButton(parent)
    , m_face(kivPixmap(QStringLiteral("big-round-buttons.png")))
{
    setAutoFillBackground(true);
    QPalette palette = this->palette();
    palette.setColor(QPalette::Button, QColor(222, 222, 222));
    palette.setColor(QPalette::Window, QColor(222, 222, 222));
    setPalette(palette);
    setFixedSize(sizeHint());
}

QSize KivRoundButton::sizeHint() const
{
    return m_face.isNull() ? QSize(56, 56) : m_face.size();
}

void KivRoundButton::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.fillRect(rect(), QColor(222, 222, 222));
    painter.drawPixmap(0, 0, m_face);
    paintFace(painter);
    if (m_hovered || hasFocus()) {
        painter.setPen(Qt::black);
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(rect().adjusted(0, 0, -1, -1));
    }
}

void KivRoundButton::enterEvent(QEnterEvent *event)
{
    QToolButton::enterEvent(event);
    m_hovered = true;
    update();
}

void KivRoundButton::leaveEvent(QEvent *event)
{
    QToolButton::leaveEvent(event);
    m_hovered = false;
    update();
}

void KivDateButton::setDate(const QDate &date)
{
    m_date = date;
    setToolTip(date.isValid() ? QLocale().toString(date, QLocale::LongFormat) : QStringLiteral("No date"));
    update();
}

void KivDateButton::paintFace(QPainter &painter)
{
    if (!m_date.isValid())
        return;
    const QLocale locale;
    QFont font(QStringLiteral("Times New Roman"));
    font.setPointSize(7);
    painter.setFont(font);
    painter.setPen(Qt::black);
    painter.drawText(QRect(10, 9, 35, 10), Qt::AlignHCenter, locale.dayName(m_date.dayOfWeek(), QLocale::LongFormat));
    font.setPointSize(15);
    painter.setFont(font);
    painter.setPen(QColor(191, 18, 18));
    painter.drawText(QRect(10, 18, 35, 18), Qt::AlignHCenter, QString::number(m_date.day()));
    font.setPointSize(7);
    painter.setFont(font);
    painter.setPen(Qt::black);
    painter.drawText(QRect(10, 36, 35, 10), Qt::AlignHCenter, locale.monthName(m_date.month(), QLocale::LongFormat));
}

void KivBadgeButton::setBadge(const QPixmap &badge, int value)
{
    m_badge = badge;
    m_value = value;
    update();
}

void KivBadgeButton::setCaption(const QString &caption)
{
    m_caption = caption;
    setToolTip(caption);
    update();
}

void KivBadgeButton::paintFace(QPainter &painter)
{
    if (m_badge.isNull()) {
        QFont font(QStringLiteral("Arial"));
        font.setPointSize(7);
        painter.setFont(font);
        painter.setPen(Qt::black);
        painter.drawText(QRect(5, 10, width() - 8, height()), Qt::AlignHCenter | Qt::AlignJustify | Qt::TextWordWrap,
                         m_caption);
        return;
    }
    painter.drawPixmap((width() - m_badge.width()) / 2, (height() - m_badge.height()) / 2, m_badge);
}
