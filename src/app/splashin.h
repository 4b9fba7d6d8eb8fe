#pragma once

#include <QWidget>

namespace Ui {
class splashinBase;
}

// The start-up panel laid over the thumbnail area while no album is open: it explains
// the parts of the window to a newcomer.
class splashin : public QWidget
{
    Q_OBJECT

public:
    explicit splashin(QWidget *parent = nullptr);
    ~splashin() override;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    Ui::splashinBase *ui;
};
