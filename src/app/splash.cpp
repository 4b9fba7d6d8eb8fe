#include "splash.h"
#include "ui_splashbase.h"

#include "pixmaplookup.h"

#include <QGuiApplication>
#include <QPainter>
#include <QScreen>

splash::splash(QWidget *parent)
    : QWidget(parent, Qt::FramelessWindowHint | Qt::Tool)
    , ui(new Ui::splashBase)
    , m_background(kivPixmap(QStringLiteral("splash.png")))
{
    ui->setupUi(this);
    setObjectName(QStringLiteral("splash"));
    setFixedSize(368, 222);
    ui->pixmapKernel->setPixmap(kivPixmap(QStringLiteral("start-kernel.png")));
    ui->pixmapClip->setPixmap(kivPixmap(QStringLiteral("start-clipboard.png")));
    ui->pixmapAlbum->setPixmap(kivPixmap(QStringLiteral("start-album.png")));
    ui->pixmapUi->setPixmap(kivPixmap(QStringLiteral("start-ui.png")));
    for (QWidget *label : {ui->pixmapKernel, ui->pixmapClip, ui->pixmapAlbum, ui->pixmapUi})
        label->hide();
    if (const QScreen *screen = QGuiApplication::primaryScreen())
        move(centredPosition(screen->geometry().size()));
}

splash::~splash()
{
    delete ui;
}

QPoint splash::centredPosition(const QSize &desktop)
{
    return {desktop.width() / 2 - 184, desktop.height() / 2 - 111};
}

void splash::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    if (m_background.isNull())
        painter.fillRect(rect(), QColor(36, 64, 120));
    else
        painter.drawPixmap(0, 0, m_background);
}

// The first two stages run before the event loop: repaint at once so they show.
void splash::setStepSystem()
{
    ui->pixmapKernel->show();
    ui->pixmapKernel->repaint();
}

void splash::setStepClip()
{
    ui->pixmapClip->show();
    ui->pixmapClip->repaint();
}

void splash::setStepDatabase()
{
    ui->pixmapAlbum->show();
    ui->pixmapAlbum->update();
}

void splash::setStepUi()
{
    ui->pixmapUi->show();
    ui->pixmapUi->update();
}
