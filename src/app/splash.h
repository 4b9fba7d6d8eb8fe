#pragma once

#include <QWidget>

namespace Ui {
class splashBase;
}

// The start-up window: a frameless tool window centred on the desktop that shows one
// picture per start-up stage as the organiser page announces it.
class splash : public QWidget
{
    Q_OBJECT

public:
    explicit splash(QWidget *parent = nullptr);
    ~splash() override;

    // Left and top that centre a 368 x 222 window on a desktop of that size.
    static QPoint centredPosition(const QSize &desktop);

public Q_SLOTS:
    void setStepSystem();
    void setStepClip();
    void setStepDatabase();
    void setStepUi();

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    Ui::splashBase *ui;
    QPixmap m_background;
};
