#include "updatethumbsdialog.h"

#include "kivviewitem.h"

#include <QLabel>
#include <QProgressBar>
#include <QVBoxLayout>

updateThumbsDialog::updateThumbsDialog(QWidget *parent)
    : QDialog(parent)
    , m_label(new QLabel(QStringLiteral("<b>Updating photo(s) :</b><br>Please wait during loading."), this))
    , m_progress(new QProgressBar(this))
{
    setWindowTitle(QStringLiteral("Vellaro"));
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_label);
    layout->addWidget(m_progress);
    m_label->setMinimumWidth(320);
}

void updateThumbsDialog::setTotalSteps(int steps)
{
    m_progress->setRange(0, steps);
    m_progress->setValue(0);
}

QString updateThumbsDialog::text() const
{
    return m_label->text();
}

int updateThumbsDialog::progress() const
{
    return m_progress->value();
}

void updateThumbsDialog::advance()
{
    m_progress->setValue(m_progress->value() + 1);
    if (m_progress->value() >= m_progress->maximum())
        hide();
}

void updateThumbsDialog::addPhoto(KivViewItem *item)
{
    if (item)
        m_label->setText(item->sourceFolder());
    m_label->repaint();
    advance();
}

void updateThumbsDialog::addPhoto(const QString &folder, const QString &fileName)
{
    m_label->setText(folder + QLatin1Char('/') + fileName);
    advance();
    repaint();
}
