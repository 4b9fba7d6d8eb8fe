#include "media.h"
#include "ui_mainwindow.h"

#include "ambriomainwindow.h"
#include "prefimplementation.h"

#include <QCloseEvent>
#include <QProgressBar>

media::media(QWidget *parent, const QString &name, Qt::WindowFlags flags, prefImplementation *pref,
             Prompter *prompter)
    : QMainWindow(parent, flags)
    , ui(new Ui::MainWindow)
    , m_pref(pref)
{
    ui->setupUi(this);
    setObjectName(name);
    setWindowTitle(QStringLiteral("Vellaro 1.0"));
    if (!m_pref->menuBar())
        ui->MenuBar->hide();
    ui->statusbar->hide();

    m_photo = new AmbrioMainWindow(ui->widgetStack);
    m_photo->setPref(m_pref);
    m_photo->setPrompter(prompter);
    m_photo->startup();
    ui->widgetStack->insertWidget(0, m_photo);

    m_progress = new QProgressBar(this);
    m_progress->setObjectName(QStringLiteral("progressBar"));
    m_progress->setTextVisible(false);
    m_progress->setStyleSheet(QStringLiteral("QProgressBar { border: none; background: transparent; }"
                                             "QProgressBar::chunk { background-color: rgb(200, 227, 98); }"));
    m_progress->hide();
    ui->widgetStack->setCurrentIndex(0);

    resize(800, 580);
}

media::~media()
{
    delete ui;
}

void media::closeEvent(QCloseEvent *event)
{
    m_photo->close();
    event->accept();
}
