#pragma once

#include <QMainWindow>

class AmbrioMainWindow;
class Prompter;
class prefImplementation;
class QProgressBar;

namespace Ui {
class MainWindow;
}

// The top-level window: menu bar, search bar and the widget stack whose page 0 is
// the organiser page. Closing it closes the organiser page first, which writes the
// settings.
class media : public QMainWindow
{
    Q_OBJECT

public:
    media(QWidget *parent, const QString &name, Qt::WindowFlags flags, prefImplementation *pref,
          Prompter *prompter);
    ~media() override;

    AmbrioMainWindow *organiser() const { return m_photo; }
    prefImplementation *pref() const { return m_pref; }
    QProgressBar *progressBar() const { return m_progress; }

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    Ui::MainWindow *ui;
    prefImplementation *m_pref;
    AmbrioMainWindow *m_photo = nullptr;
    QProgressBar *m_progress = nullptr;
};
