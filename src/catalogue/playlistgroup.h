#pragma once

#include "playlist.h"

// A group of albums in the album list; its file holds only its title.
class PlayListGroup : public PlayList
{
public:
    KIV_ALBUM_CONSTRUCTORS(PlayListGroup, PlayList)

    QString className() const override { return QStringLiteral("PlayListGroup"); }
    QPixmap icon(bool open) override;
    // Written whatever the dirty flag says; false when the file cannot be written, or when
    // the id would lead out of the catalogue folder (writeRefusal()).
    bool save(const QString &kivDir) override;
    bool load(const QString &path) override;
    bool removeFiles() override;

protected:
    QString fileSuffix() const override { return QStringLiteral(".group"); }

private:
    void init() { setChildIndicatorPolicy(QTreeWidgetItem::ShowIndicator); }
};

// A year row of the album list's year view: never stored, not selectable; choosing it
// opens or closes it.
class GroupYear : public PlayList
{
public:
    KIV_ALBUM_CONSTRUCTORS(GroupYear, PlayList)

    QString className() const override { return QStringLiteral("GroupYear"); }
    QPixmap icon(bool) override { return QPixmap(); }
    bool save(const QString &) override { return true; }
    bool load(const QString &) override { return false; }
    const AlbumRows &rows() override;

private:
    void init();
};
