#include "slideshowbar.h"
#include "hello.h"
#include "pixmaplookup.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QToolButton>

namespace {

constexpr QSize kThumbIcon(46, 34);

QToolButton *barButton(QWidget *parent, const char *objectName, const QString &text, const char *icon,
                       int pointSize = 9)
{
    auto *button = new QToolButton(parent);
    button->setObjectName(QLatin1String(objectName));
    button->setAutoRaise(true);
    button->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    button->setText(text);
    if (icon)
        button->setIcon(QIcon(kivPixmap(QLatin1String(icon))));
    QPalette palette = button->palette();
    palette.setColor(QPalette::ButtonText, QColor(0, 0, 127));
    palette.setColor(QPalette::WindowText, QColor(0, 0, 127));
    button->setPalette(palette);
    QFont font(QStringLiteral("Franklin Gothic Heavy"));
    font.setPointSize(pointSize);
    button->setFont(font);
    return button;
}

} // namespace

slideshowbar::slideshowbar(QWidget *parent)
    : QFrame(parent)
{
    setObjectName(QStringLiteral("slideshowbar"));
    setAutoFillBackground(true);
    QPalette palette = this->palette();
    // The bar's picture; a light grey where the theme lacks it, so that the bar never
    // lets the photograph through under its dark text.
    const QPixmap back = kivPixmap(QStringLiteral("back-slideshow.png"));
    if (back.isNull())
        palette.setColor(QPalette::Window, QColor(214, 214, 214));
    else
        palette.setBrush(QPalette::Window, back);
    palette.setColor(QPalette::WindowText, Qt::black);
    setPalette(palette);

    m_exit = barButton(this, "toolbar_additem", QStringLiteral("Back to Vellaro"), "back.png");
    m_time = new QLabel(this);
    m_time->setObjectName(QStringLiteral("toolbar time"));
    m_minus = barButton(this, "toolbar_additem", QStringLiteral("-"), nullptr, 13);
    m_plus = barButton(this, "toolbar_additem", QStringLiteral("+"), nullptr, 13);
    m_previous = barButton(this, "toolbar_additem", QStringLiteral("Previous"), "undo.png");
    m_play = barButton(this, "toolbar_additem", QStringLiteral("Play"), "play-slideshow.png");
    m_next = barButton(this, "toolbar_additem", QStringLiteral("Next"), "redo.png");
    const char *thumbNames[4] = {"thumbsmoreleft", "thumbsmoreleft", "thumbsmoreright", "thumbsmoreright"};
    for (int i = 0; i < 4; ++i) {
        m_thumbs[i] = barButton(this, thumbNames[i], QString(), nullptr);
        m_thumbs[i]->setToolButtonStyle(Qt::ToolButtonIconOnly);
        m_thumbs[i]->setIconSize(kThumbIcon);
    }
    setSeconds(5);
    // Room for long intervals: "-" and "+" stay where they are while the text grows.
    m_time->setMinimumWidth(m_time->fontMetrics().horizontalAdvance(QStringLiteral("100000 seconds by picture")));

    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(4, 0, 4, 0);
    layout->setSpacing(4);
    for (QWidget *widget : {static_cast<QWidget *>(m_exit), static_cast<QWidget *>(m_time),
                            static_cast<QWidget *>(m_minus), static_cast<QWidget *>(m_plus),
                            static_cast<QWidget *>(m_previous), static_cast<QWidget *>(m_play),
                            static_cast<QWidget *>(m_next)})
        layout->addWidget(widget);
    // The thumbnails in screen order: two back, one back, then one on and two on.
    layout->addWidget(m_thumbs[0]);
    layout->addWidget(m_thumbs[1]);
    layout->addWidget(m_thumbs[3]);
    layout->addWidget(m_thumbs[2]);
    layout->addStretch(1);

    // The caption stands on its own, right of the middle.
    m_caption = new Hello(this);
    m_caption->setObjectName(QStringLiteral("hello"));
    m_caption->setLocked(true);  // the picture's caption is not edited from the show
    m_caption->resize(400, 35);
}

void slideshowbar::setSeconds(int seconds)
{
    m_time->setText(QString::number(seconds) + QStringLiteral(" seconds by picture"));
}

void slideshowbar::setThumbnail(int which, const QPixmap &pixmap)
{
    m_thumbPixmaps[which] = pixmap;
    if (pixmap.isNull()) {
        QPixmap empty(kThumbIcon);
        empty.fill(Qt::transparent);
        m_thumbs[which]->setIcon(QIcon(empty));
    } else {
        m_thumbs[which]->setIcon(QIcon(pixmap.scaled(kThumbIcon, Qt::KeepAspectRatio, Qt::SmoothTransformation)));
    }
}

void slideshowbar::setThumbnailsVisible(bool visible)
{
    for (QToolButton *button : m_thumbs)
        button->setVisible(visible);
}

void slideshowbar::resizeEvent(QResizeEvent *event)
{
    QFrame::resizeEvent(event);
    m_caption->move(width() / 2 + 185, (height() - m_caption->height()) / 2);
}
