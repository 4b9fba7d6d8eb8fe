#pragma once

#include <QPixmap>
#include <QWidget>
#include <memory>

class CatalogueLock;
class Prompter;
class prefImplementation;
class splash;
class splashin;

namespace Ui {
class AmbrioMainWindowBase;
}

// The organiser page: page 0 of the top-level window's stack. It owns the album list,
// the thumbnail view and the tool case, and every organiser command reaches one of
// its slots. Its start-up runs in four announced stages that the splash shows.
class AmbrioMainWindow : public QWidget
{
    Q_OBJECT

public:
    explicit AmbrioMainWindow(QWidget *parent = nullptr);
    ~AmbrioMainWindow() override;

    void setPref(prefImplementation *pref) { m_pref = pref; }
    prefImplementation *pref() const { return m_pref; }
    void setPrompter(Prompter *prompter) { m_prompter = prompter; }

    // Runs the start-up stages once: system, clipboard, catalogue, user interface,
    // then the finish and the first-start question.
    void startup();

    QString currentAlbumKind() const { return m_currentAlbumKind; }
    QString currentMediaKind() const { return m_currentMediaKind; }
    splashin *startupPanel() const { return m_presentation; }
    splash *splashWindow() const { return m_splash; }
    QWidget *thumbnailArea() const;

Q_SIGNALS:
    void initSystem();
    void initClip();
    void initDatabase();
    void initUi();

protected:
    void closeEvent(QCloseEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void stageSystem();
    void stageClip();
    void stageDatabase();
    void stageUi();
    void finishStartup();
    void askFirstStart();
    void fitStartupPanel();

    Ui::AmbrioMainWindowBase *ui;
    prefImplementation *m_pref = nullptr;
    Prompter *m_prompter = nullptr;
    splash *m_splash = nullptr;
    splashin *m_presentation = nullptr;
    QString m_currentAlbumKind;
    QString m_currentMediaKind;
    QPixmap m_selectedPixmap;
    QPixmap m_noBadgePixmap;
    bool m_closed = false;
    std::unique_ptr<CatalogueLock> m_lock;
};
