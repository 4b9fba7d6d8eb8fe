#pragma once

#include <QDate>
#include <QPixmap>
#include <QToolButton>

// The round buttons of the property panel: a face picture, a frame while the pointer
// is over them, and a modified flag the panel reads when it writes pictures back.
class KivRoundButton : public QToolButton
{
    Q_OBJECT

public:
    explicit KivRoundButton(QWidget *parent = nullptr);

    bool isModified() const { return m_modified; }
    void setModified(bool modified) { m_modified = modified; }
    bool isHovered() const { return m_hovered; }
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;
    void enterEvent(QEnterEvent *event) override;
    void leaveEvent(QEvent *event) override;
    // What the button shows on its face.
    virtual void paintFace(QPainter &painter) = 0;

private:
    QPixmap m_face;
    bool m_modified = false;
    bool m_hovered = false;
};

// The picture's date as a calendar leaf: day name, day of the month, month name.
class KivDateButton : public KivRoundButton
{
    Q_OBJECT

public:
    using KivRoundButton::KivRoundButton;

    void setDate(const QDate &date);
    QDate date() const { return m_date; }

protected:
    void paintFace(QPainter &painter) override;

private:
    QDate m_date;
};

// The picture's user badge, or a caption when it has none.
class KivBadgeButton : public KivRoundButton
{
    Q_OBJECT

public:
    using KivRoundButton::KivRoundButton;

    void setBadge(const QPixmap &badge, int value);
    int badgeValue() const { return m_value; }
    QPixmap badge() const { return m_badge; }
    void setCaption(const QString &caption);
    QString caption() const { return m_caption; }

protected:
    void paintFace(QPainter &painter) override;

private:
    QPixmap m_badge;
    int m_value = -1;
    QString m_caption;
};
