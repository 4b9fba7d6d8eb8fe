#pragma once

#include <QMainWindow>
#include <QPointer>

#include "minime.h"

class AmbrioMainWindow;
class Prompter;
class prefImplementation;
class QProgressBar;
class QMenuBar;

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
    // The mini window while it is open.
    minime *miniWindow() const { return m_mini; }

Q_SIGNALS:
    void signal_photo();
    void signal_music();
    void signal_media();

public Q_SLOTS:
    void slot_Aspirateur();
    void slot_photo();
    void slot_music();
    void slot_multi();
    void slot_find();
    void slot_fast_find();
    void slot_find_advanced();
    void slot_setProgress(int value);
    void slot_SetTotalprogress(int total);
    void slot_select();
    void menu_apps(bool on);
    void slot_pref();
    void slot_changeTheme();
    void setUpPrinter();
    void focusSearchBar();
    void slot_minime();
    void mediaDetect();

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void buildMenus();
    void showMenuBar(bool shown);
    void showLastSearch(const QString &keyword, const QString &attribute, const QString &condition);

    Ui::MainWindow *ui;
    prefImplementation *m_pref;
    Prompter *m_prompter;
    AmbrioMainWindow *m_photo = nullptr;
    QProgressBar *m_progress = nullptr;
    QMenuBar *m_menuBar = nullptr;
    QPointer<minime> m_mini;
};
