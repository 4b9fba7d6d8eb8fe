#include "kivdialog.h"

#include <QLabel>

KivDialog::KivDialog(QWidget *parent, bool visualEffect)
    : QDialog(parent)
    , m_visualEffect(visualEffect)
{
}

KivDialog::~KivDialog()
{
    removeCover();
}

void KivDialog::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    QWidget *host = parentWidget() ? parentWidget()->window() : nullptr;
    if (!m_visualEffect || !host || m_cover)
        return;
    const QImage grey = host->grab().toImage().convertToFormat(QImage::Format_Grayscale8);
    auto *cover = new QLabel(host);
    cover->setObjectName(QStringLiteral("visualeffect"));
    cover->setPixmap(QPixmap::fromImage(grey));
    cover->setGeometry(host->rect());
    cover->show();
    cover->raise();
    m_cover = cover;
}

void KivDialog::done(int result)
{
    removeCover();
    QDialog::done(result);
}

void KivDialog::removeCover()
{
    if (m_cover)
        delete m_cover.data();
}
