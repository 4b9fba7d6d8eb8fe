#pragma once

#include <QDialog>

class KivViewItem;
class QLabel;
class QProgressBar;

// The small progress window shown while the thumbnails of an album are (re)made.
class updateThumbsDialog : public QDialog
{
    Q_OBJECT

public:
    explicit updateThumbsDialog(QWidget *parent = nullptr);
    void setTotalSteps(int steps);
    QString text() const;
    int progress() const;

public Q_SLOTS:
    void addPhoto(KivViewItem *item);
    void addPhoto(const QString &folder, const QString &fileName);

private:
    void advance();

    QLabel *m_label;
    QProgressBar *m_progress;
};
