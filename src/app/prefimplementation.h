#pragma once

#include "thumbspreferences.h"

#include <QDialog>
#include <QVariant>
#include <memory>

class QButtonGroup;
class QSettings;

namespace Ui {
class prefBase;
}

// The single holder of every persistent setting, created by the entry point before
// any window and alive until the program ends; both window levels keep a pointer to
// it. Settings are read once at start-up and written once when the organiser page
// closes; in between they live here. The same object becomes the preferences dialog.
class prefImplementation : public QDialog, public ThumbsPreferences
{
    Q_OBJECT

public:
    // The settings, in the order they are read and written.
    enum Setting {
        AlbumIconType,
        AlbumViewBy,
        ViewFileName,
        ShowAllFavorites,
        AlbumCache,
        PaintFrame,
        Frame,
        ExternalEditor,
        MenuBar,
        MiniIcon,
        ExternalPrinter,
        StartLocator,
        FirstStartup,
        FastThumbs,
        ScannerDevice,
        ScannerSource,
        ScannerMode,
        ScannerResolution,
        ReadMetadata,
        WriteMetadata,
        MetadataTarget,
        SettingCount
    };

    static const char *key(Setting setting);
    static QVariant defaultValue(Setting setting);
    // "//Vellaro//PATH_INSTALL": read by the entry point, never written.
    static const char *installPathKey();
    // The installation directory when the key is absent: the per-user data folder.
    static QString defaultInstallPath();

    explicit prefImplementation(QWidget *parent = nullptr);
    ~prefImplementation() override;

    // What accepting the dialog changed that the windows must show.
    struct DialogChanges
    {
        bool menuBar = false;     // shown or hidden
        bool albumIcons = false;  // "Show first Picture of the album"
        bool thumbnails = false;  // file names, loves or the frame around them
        bool frame = false;       // another frame to load
    };
    // Copies the widgets' states into the values (after OK), in the dialog's order.
    DialogChanges takeDialogValues();
    // Puts every value into its widget (the dialog shows what is in force), the
    // widgets made first if they were not yet.
    void showValues();
    // The user's guide's section on the preferences (Markdown), as "&Help" shows it.
    static QString helpText();

    // One pass over the store in table order, each value through its setter.
    void readSettings(QSettings &store);
    // One pass in the same order; "//Vellaro//FirstStartup" is always written false.
    void writeSettings(QSettings &store) const;

    QVariant value(Setting setting) const { return m_values[setting]; }
    void setValue(Setting setting, const QVariant &value);

    QString installPath() const { return m_installPath; }
    void setInstallPath(const QString &path) { m_installPath = path; }
    // Installation directory + "/DataBase", + "/DataBase/db", + "/LastImport".
    QString catalogueRoot() const;
    QString catalogueFolder() const;
    QString lastImportFolder() const;
    // Creates the catalogue root, the catalogue folder and the last-import folder
    // when they are missing. Returns false when one of them could not be made.
    bool createFolders() const;

    bool albumIconType() const { return m_values[AlbumIconType].toBool(); }
    void setAlbumIconType(bool on) { setValue(AlbumIconType, on); }
    QString albumViewBy() const { return m_values[AlbumViewBy].toString(); }
    void setAlbumViewBy(const QString &mode) { setValue(AlbumViewBy, mode); }
    bool viewFileName() const override { return m_values[ViewFileName].toBool(); }
    void setViewFileName(bool on) { setValue(ViewFileName, on); }
    bool showAllFavorites() const override { return m_values[ShowAllFavorites].toBool(); }
    void setShowAllFavorites(bool on) { setValue(ShowAllFavorites, on); }
    bool albumCache() const { return m_values[AlbumCache].toBool(); }
    void setAlbumCache(bool on) { setValue(AlbumCache, on); }
    bool paintFrame() const override { return m_values[PaintFrame].toBool(); }
    void setPaintFrame(bool on) { setValue(PaintFrame, on); }
    QString frame() const override { return m_values[Frame].toString(); }
    void setFrame(const QString &name) { setValue(Frame, name); }
    QString externalEditor() const { return m_values[ExternalEditor].toString(); }
    void setExternalEditor(const QString &program) { setValue(ExternalEditor, program); }
    bool menuBar() const { return m_values[MenuBar].toBool(); }
    void setMenuBar(bool on) { setValue(MenuBar, on); }
    bool miniIcon() const { return m_values[MiniIcon].toBool(); }
    void setMiniIcon(bool on) { setValue(MiniIcon, on); }
    QString externalPrinter() const { return m_values[ExternalPrinter].toString(); }
    void setExternalPrinter(const QString &program) { setValue(ExternalPrinter, program); }
    bool startLocator() const { return m_values[StartLocator].toBool(); }
    // The scanner chosen with "Select Device" (a SANE device name); empty: the first one.
    QString scannerDevice() const { return m_values[ScannerDevice].toString(); }
    void setScannerDevice(const QString &device) { setValue(ScannerDevice, device); }
    // How it scans: "flatbed" or "adf"; "color", "gray" or "lineart"; dots per inch.
    // Empty and 0: as the scanner is set.
    QString scannerSource() const { return m_values[ScannerSource].toString(); }
    QString scannerMode() const { return m_values[ScannerMode].toString(); }
    int scannerResolution() const { return m_values[ScannerResolution].toString().toInt(); }
    void setStartLocator(bool on) { setValue(StartLocator, on); }
    bool firstStartup() const { return m_values[FirstStartup].toBool(); }
    void setFirstStartup(bool on) { setValue(FirstStartup, on); }
    bool fastThumbs() const { return m_values[FastThumbs].toBool(); }
    void setFastThumbs(bool on) { setValue(FastThumbs, on); }

    // Tags from the pictures' own metadata when they are added; tags written into it
    // on every change, in sidecar files ("sidecar") or inside the pictures ("embedded").
    bool readMetadata() const { return m_values[ReadMetadata].toBool(); }
    void setReadMetadata(bool on) { setValue(ReadMetadata, on); }
    bool writeMetadata() const { return m_values[WriteMetadata].toBool(); }
    void setWriteMetadata(bool on) { setValue(WriteMetadata, on); }
    bool embedMetadata() const { return m_values[MetadataTarget].toString() == QLatin1String("embedded"); }
    void setEmbedMetadata(bool on) { setValue(MetadataTarget, on ? QStringLiteral("embedded") : QStringLiteral("sidecar")); }

    // The theme flag: with it the gray theme folders are searched before the blue
    // ones. No setting stores it; it is off, so only the blue theme is searched.
    bool grayTheme() const { return m_grayTheme; }
    void setGrayTheme(bool on) { m_grayTheme = on; }

public Q_SLOTS:
    void slot_general();
    void slot_database();
    void slot_iconview();
    void slot_viewphoto();
    void slot_menubar();
    // "&Help": the preferences section of the user's guide.
    void ToolButton15_clicked();

    void setVisible(bool visible) override;

protected:
    void showEvent(QShowEvent *event) override;

private:
    void buildDialog();
    void showValue(Setting setting);

    std::unique_ptr<Ui::prefBase> ui;
    QButtonGroup *m_pages = nullptr;
    bool m_iconsLoaded = false;
    QString m_installPath;
    QVariant m_values[SettingCount];
    bool m_grayTheme = false;
};
