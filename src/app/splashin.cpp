#include "splashin.h"
#include "ui_splashinbase.h"

#include "pixmaplookup.h"

#include <QPainter>
#include <QScrollArea>
#include <QVBoxLayout>

splashin::splashin(QWidget *parent)
    : QWidget(parent)
    , ui(new Ui::splashinBase)
{
    // The text sits in a scroll area: in a window too low for it, it scrolls rather
    // than being cut off.
    auto *content = new QWidget;
    ui->setupUi(content);
    auto *area = new QScrollArea(this);
    area->setObjectName(QStringLiteral("presentation scroll"));
    area->setFrameShape(QFrame::NoFrame);
    area->setWidgetResizable(true);
    area->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    area->viewport()->setAutoFillBackground(false);
    area->setWidget(content);
    content->setAutoFillBackground(false);  // the panel's own gradient shows through
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(area);
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
