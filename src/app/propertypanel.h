#pragma once

#include <QList>
#include <QString>

class AmbrioMainWindow;
class KivViewItem;
class PlayList;

namespace Ui {
class AmbrioMainWindowBase;
}

// The "Photo Informations" page and the album page of the tool case: fills their
// fields from a picture or an album and writes what the user changed back into the
// records, their property files and the album rows. The organiser page owns the
// widgets and wires them; this class only reads and writes them.
class PropertyPanel
{
public:
    PropertyPanel(AmbrioMainWindow *page, Ui::AmbrioMainWindowBase *ui);

    // Maximum lengths, kinds and the initial empty texts.
    void setUp();
    // Shows `record`, re-read from its property file; with `multiple`, empty fields
    // that take a value for every picture of the tray.
    void fill(KivViewItem *record, bool multiple);
    void fillAlbum(PlayList *album);

    struct Saved
    {
        int written = 0;         // pictures whose property file was written
        bool loveChanged = false;
        bool textChanged = false;  // title, category, persons, comment or place
        bool refused = false;      // a value could not be stored; nothing was written
    };
    // Writes the panel into `targets`: every value for one picture, only what the user
    // changed for several. Values that would break a catalogue file are refused with a
    // message before anything is written.
    Saved save(const QList<KivViewItem *> &targets);
    // The album title typed in the album page, or empty when it was not edited.
    QString editedAlbumTitle() const;
    void clearAlbumTitleEdit();

    KivViewItem *filledRecord() const { return m_filled; }
    bool isMultiple() const { return m_multiple; }

private:
    void clearModified();

    AmbrioMainWindow *m_page;
    Ui::AmbrioMainWindowBase *ui;
    KivViewItem *m_filled = nullptr;
    bool m_multiple = false;
};
