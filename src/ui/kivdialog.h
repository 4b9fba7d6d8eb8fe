#pragma once

#include <QDialog>
#include <QPointer>

// Base of the program's own dialogs. With the visual effect on, the parent window is
// covered by a black-and-white picture of itself (a child named "visualeffect") for as
// long as the dialog is open.
class KivDialog : public QDialog
{
    Q_OBJECT

public:
    explicit KivDialog(QWidget *parent = nullptr, bool visualEffect = true);
    ~KivDialog() override;

    bool visualEffect() const { return m_visualEffect; }
    void setVisualEffect(bool on) { m_visualEffect = on; }
    // The cover over the parent while the dialog shows, or none.
    QWidget *cover() const { return m_cover; }

protected:
    void showEvent(QShowEvent *event) override;
    void done(int result) override;

private:
    void removeCover();

    bool m_visualEffect;
    QPointer<QWidget> m_cover;
};
