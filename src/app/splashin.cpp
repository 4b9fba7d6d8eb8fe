#include "splashin.h"
#include "ui_splashinbase.h"

#include "pixmaplookup.h"

#include <QPainter>

splashin::splashin(QWidget *parent)
    : QWidget(parent)
    , ui(new Ui::splashinBase)
{
    ui->setupUi(this);
    setObjectName(QStringLiteral("presentation"));
    setWindowTitle(QStringLiteral("splashin"));
    ui->pixmapArrowLeft->setPixmap(kivPixmap(QStringLiteral("arrow-left.png")));
    ui->pixmapArrowDown->setPixmap(kivPixmap(QStringLiteral("arrow-down.png")));
    ui->pixmapArrowLeftUp->setPixmap(kivPixmap(QStringLiteral("arrow-left-up.png")));
}

splashin::~splashin()
{
    delete ui;
}

void splashin::paintEvent(QPaintEvent *)
{
    // Opaque, so the panel hides the empty thumbnail area beneath it.
    QPainter painter(this);
    QLinearGradient gradient(0, 0, 0, height());
    gradient.setColorAt(0, QColor(250, 251, 253));
    gradient.setColorAt(1, QColor(226, 233, 244));
    painter.fillRect(rect(), gradient);
}
