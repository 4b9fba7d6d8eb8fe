#pragma once

#include <QPixmap>
#include <QWidget>

// The love count of the property panel: one heart per unit, 0 to 5. A left click adds a
// heart, any other button takes one away; the change is reported when the pointer
// leaves, so a few clicks in a row are saved once.
class FavoritesWidget : public QWidget
{
    Q_OBJECT

public:
    explicit FavoritesWidget(QWidget *parent = nullptr);

    void setValue(int value);
    int value() const { return m_value; }
    bool isChanged() const { return m_changed; }
    void setChanged(bool changed) { m_changed = changed; }
    QSize sizeHint() const override { return QSize(5 * 17, 16); }

Q_SIGNALS:
    void changed();
    void favPlus();
    void favMoins();

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void leaveEvent(QEvent *event) override;

private:
    int m_value = 0;
    int m_lastSet = 1;
    bool m_changed = false;
    QPixmap m_heart;
};
