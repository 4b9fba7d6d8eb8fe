#include "prefimplementation.h"

#include "pixmaplookup.h"

#include "ui_prefbase.h"

#include <QButtonGroup>
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QSettings>
#include <QStandardPaths>
#include <QTextBrowser>
#include <QVBoxLayout>

namespace {

struct SettingEntry
{
    const char *key;
    QVariant fallback;
};

// Every setting with its key and its default, once.
const SettingEntry &entry(prefImplementation::Setting setting)
{
    static const SettingEntry table[prefImplementation::SettingCount] = {
        {"//Vellaro//AlbumIconType", true},
        {"//Vellaro//AlbumViewBy", QStringLiteral("year")},
        {"//Vellaro//ThumbsBay//ViewFileName", false},
        {"//Vellaro//ThumbsBay//ShowAllFavorites", false},
        {"//Vellaro//AlbumCache", true},
        {"//Vellaro//ThumbsBay//PaintFrame", true},
        {"//Vellaro//ThumbsBay//Frame", QStringLiteral("Photo (default)")},
#ifdef Q_OS_WIN
        {"//Vellaro//ExternalEditor", QStringLiteral("c:\\Windows\\System32\\mspaint.exe")},
#else
        {"//Vellaro//ExternalEditor", QStringLiteral("gimp")},
#endif
        {"//Vellaro//MenuBar", false},
        {"//Vellaro//MiniIcon", false},
        {"//Vellaro//ExternalPrinter", QString()},
        {"//Vellaro//StartLocator", false},
        {"//Vellaro//FirstStartup", true},
        {"//Vellaro//FastThumbs", true},
        {"//Vellaro//ScannerDevice", QString()},
        {"//Vellaro//ScannerSource", QString()},
        {"//Vellaro//ScannerMode", QString()},
        {"//Vellaro//ScannerResolution", QStringLiteral("0")},
        {"//Vellaro//ReadMetadata", true},
        {"//Vellaro//WriteMetadata", false},
        {"//Vellaro//MetadataTarget", QStringLiteral("sidecar")},
    };
    return table[setting];
}

// Converts what the store gives back (INI files return every value as text) to the
// type of the setting's default.
QVariant typedLike(const QVariant &stored, const QVariant &fallback)
{
    if (fallback.typeId() == QMetaType::Bool)
        return stored.toBool();
    return stored.toString();
}

} // namespace

const char *prefImplementation::key(Setting setting)
{
    return entry(setting).key;
}

QVariant prefImplementation::defaultValue(Setting setting)
{
    return entry(setting).fallback;
}

const char *prefImplementation::installPathKey()
{
    return "//Vellaro//PATH_INSTALL";
}

QString prefImplementation::defaultInstallPath()
{
#ifdef Q_OS_WIN
    return QStringLiteral("c:\\Program Files\\Vellaro");
#else
    return QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
#endif
}

prefImplementation::prefImplementation(QWidget *parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("PrefContainer"));
    setModal(false);
    for (int i = 0; i < SettingCount; ++i)
        m_values[i] = entry(Setting(i)).fallback;
}

void prefImplementation::buildDialog()
{
    // Made the first time the dialog is asked for: the settings are needed at every
    // start, the dialog's widgets seldom.
    if (ui)
        return;
    ui = std::make_unique<Ui::prefBase>();
    ui->setupUi(this);
    setObjectName(QStringLiteral("PrefContainer"));
    m_pages = new QButtonGroup(this);
    m_pages->setObjectName(QStringLiteral("buttonGroup2"));
    m_pages->setExclusive(true);
    const QList<QToolButton *> buttons{ui->ToolButtongeneral, ui->ToolButtondatabase, ui->ToolButtoniconview,
                                       ui->ToolButtonViewphoto};
    for (int page = 0; page < buttons.size(); ++page)
        m_pages->addButton(buttons.at(page), page);
    connect(ui->ToolButtongeneral, &QToolButton::toggled, this, [this](bool on) { if (on) slot_general(); });
    connect(ui->ToolButtondatabase, &QToolButton::toggled, this, [this](bool on) { if (on) slot_database(); });
    connect(ui->ToolButtoniconview, &QToolButton::toggled, this, [this](bool on) { if (on) slot_iconview(); });
    connect(ui->ToolButtonViewphoto, &QToolButton::toggled, this, [this](bool on) { if (on) slot_viewphoto(); });
    ui->ToolButtongeneral->setChecked(true);
    connect(ui->checkBoxmenubar, &QCheckBox::toggled, this, &prefImplementation::slot_menubar);
    // Where the tags go is asked only when they are written.
    connect(ui->checkBoxWriteMetadata, &QCheckBox::toggled, this, [this](bool on) {
        ui->radioButtonSidecar->setEnabled(on);
        ui->radioButtonEmbedded->setEnabled(on);
    });
    ui->radioButtonSidecar->setEnabled(false);
    ui->radioButtonEmbedded->setEnabled(false);
    ui->comboBoxFrameList->addItems({QStringLiteral("Slide"), QStringLiteral("Photo (default)"), QStringLiteral("Film"),
                                     QStringLiteral("rectangle")});
    ui->pixmapMenuBar->hide();
    connect(ui->buttonOk, &QPushButton::clicked, this, &QDialog::accept);
    connect(ui->buttonCancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(ui->buttonHelp, &QPushButton::clicked, this, &prefImplementation::ToolButton15_clicked);
    for (int i = 0; i < SettingCount; ++i)
        showValue(Setting(i));
}

void prefImplementation::setVisible(bool visible)
{
    if (visible)
        buildDialog();
    QDialog::setVisible(visible);
}

prefImplementation::~prefImplementation() = default;

void prefImplementation::setValue(Setting setting, const QVariant &value)
{
    m_values[setting] = typedLike(value, entry(setting).fallback);
    if (ui)
        showValue(setting);
}

void prefImplementation::showValue(Setting setting)
{
    const QVariant &value = m_values[setting];
    switch (setting) {
    case MenuBar:
        ui->checkBoxmenubar->setChecked(value.toBool());
        slot_menubar();
        break;
    case AlbumCache:
        ui->checkBoxcachethumbs->setChecked(value.toBool());
        break;
    case AlbumIconType:
        ui->checkBoxShowFirst->setChecked(value.toBool());
        break;
    case ViewFileName:
        ui->checkBoxshowfilename->setChecked(value.toBool());
        break;
    case PaintFrame:
        ui->checkBoxFrameAround->setChecked(value.toBool());
        break;
    case Frame: {
        // A frame of an older theme stays offered: OK must not change it unasked.
        const QString name = value.toString();
        if (ui->comboBoxFrameList->findText(name) < 0)
            ui->comboBoxFrameList->addItem(name);
        ui->comboBoxFrameList->setCurrentText(name);
        break;
    }
    case ShowAllFavorites:
        ui->checkBoxshowlove->setChecked(value.toBool());
        break;
    case FastThumbs:
        ui->checkBoxFastThumbs->setChecked(value.toBool());
        break;
    case ReadMetadata:
        ui->checkBoxReadMetadata->setChecked(value.toBool());
        break;
    case WriteMetadata:
        ui->checkBoxWriteMetadata->setChecked(value.toBool());
        break;
    case MetadataTarget:
        ui->radioButtonEmbedded->setChecked(value.toString() == QLatin1String("embedded"));
        ui->radioButtonSidecar->setChecked(value.toString() != QLatin1String("embedded"));
        break;
    case ExternalEditor:
        ui->lineEditExternalEditor->setText(value.toString());
        break;
    case ExternalPrinter:
        ui->lineEditExternalPrinter->setText(value.toString());
        break;
    default:
        break;
    }
}

void prefImplementation::showValues()
{
    buildDialog();
    for (int i = 0; i < SettingCount; ++i)
        showValue(Setting(i));
}

prefImplementation::DialogChanges prefImplementation::takeDialogValues()
{
    DialogChanges changes;
    if (!ui)
        return changes;  // never shown: nothing was edited
    auto take = [this](Setting setting, const QVariant &shown) {
        if (m_values[setting] == typedLike(shown, entry(setting).fallback))
            return false;
        m_values[setting] = typedLike(shown, entry(setting).fallback);
        return true;
    };
    changes.menuBar = take(MenuBar, ui->checkBoxmenubar->isChecked());
    changes.albumIcons = take(AlbumIconType, ui->checkBoxShowFirst->isChecked());
    changes.thumbnails = take(ViewFileName, ui->checkBoxshowfilename->isChecked());
    changes.thumbnails = take(ShowAllFavorites, ui->checkBoxshowlove->isChecked()) || changes.thumbnails;
    take(AlbumCache, ui->checkBoxcachethumbs->isChecked());
    changes.thumbnails = take(PaintFrame, ui->checkBoxFrameAround->isChecked()) || changes.thumbnails;
    changes.frame = take(Frame, ui->comboBoxFrameList->currentText());
    changes.thumbnails = changes.thumbnails || changes.frame;
    take(ExternalEditor, ui->lineEditExternalEditor->text());
    take(ExternalPrinter, ui->lineEditExternalPrinter->text());
    take(FastThumbs, ui->checkBoxFastThumbs->isChecked());
    // Read where they are used (adding a picture, saving a tag): nothing to redraw.
    take(ReadMetadata, ui->checkBoxReadMetadata->isChecked());
    take(WriteMetadata, ui->checkBoxWriteMetadata->isChecked());
    take(MetadataTarget, ui->radioButtonEmbedded->isChecked() ? QStringLiteral("embedded") : QStringLiteral("sidecar"));
    return changes;
}

void prefImplementation::slot_general()
{
    ui->widgetStackpref->setCurrentIndex(0);
}

void prefImplementation::slot_database()
{
    ui->widgetStackpref->setCurrentIndex(1);
}

void prefImplementation::slot_iconview()
{
    ui->widgetStackpref->setCurrentIndex(2);
}

void prefImplementation::slot_viewphoto()
{
    ui->widgetStackpref->setCurrentIndex(3);
}

void prefImplementation::slot_menubar()
{
    ui->pixmapMenuBar->setVisible(ui->checkBoxmenubar->isChecked());
}

void prefImplementation::showEvent(QShowEvent *event)
{
    if (!m_iconsLoaded) {
        // The theme is known once the program has found its installation.
        m_iconsLoaded = true;
        const QList<QPair<QAbstractButton *, const char *>> icons{
            {ui->ToolButtongeneral, "gohome.png"},   {ui->ToolButtondatabase, "mydoc.png"},
            {ui->ToolButtoniconview, "view-method.png"}, {ui->ToolButtonViewphoto, "myphoto.png"},
            {ui->buttonOk, "button_ok.png"},         {ui->buttonCancel, "button_cancel.png"},
            {ui->buttonHelp, "help.png"}};
        for (const auto &[button, name] : icons)
            button->setIcon(kivPixmap(QLatin1String(name)));
        ui->pixmapMenuBar->setPixmap(kivPixmap(QStringLiteral("display-menubar.png")));
    }
    QDialog::showEvent(event);
}

QString prefImplementation::helpText()
{
    QFile guide(QStringLiteral(":/doc/README.md"));
    if (!guide.open(QIODevice::ReadOnly))
        return QString();
    const QString text = QString::fromUtf8(guide.readAll());
    const qsizetype start = text.indexOf(QStringLiteral("\n## Preferences"));
    if (start < 0)
        return QString();
    const qsizetype end = text.indexOf(QStringLiteral("\n## "), start + 1);
    return text.mid(start + 1, end < 0 ? -1 : end - start - 1);
}

void prefImplementation::ToolButton15_clicked()
{
    auto *help = new QDialog(this);
    help->setObjectName(QStringLiteral("preferences help"));
    help->setWindowTitle(QStringLiteral("Options Dialog - Help"));
    help->setAttribute(Qt::WA_DeleteOnClose);
    auto *layout = new QVBoxLayout(help);
    auto *text = new QTextBrowser(help);
    text->setMarkdown(helpText());
    layout->addWidget(text);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Close, help);
    connect(buttons, &QDialogButtonBox::rejected, help, &QDialog::reject);
    layout->addWidget(buttons);
    help->resize(560, 420);
    help->open();
}

void prefImplementation::readSettings(QSettings &store)
{
    for (int i = 0; i < SettingCount; ++i) {
        const SettingEntry &e = entry(Setting(i));
        setValue(Setting(i), store.value(QLatin1String(e.key), e.fallback));
    }
}

void prefImplementation::writeSettings(QSettings &store) const
{
    // Only what differs from the file is set: a run that changed nothing leaves the file
    // as it is (no rewrite, no flush at every close). Every value is a text or a truth.
    for (int i = 0; i < SettingCount; ++i) {
        const QString key = QLatin1String(entry(Setting(i)).key);
        const QVariant value = i == FirstStartup ? QVariant(false) : m_values[i];
        if (!store.contains(key) || store.value(key).toString() != value.toString())
            store.setValue(key, value);
    }
    store.sync();
}

QString prefImplementation::catalogueRoot() const
{
    return QDir::fromNativeSeparators(m_installPath) + QStringLiteral("/DataBase");
}

QString prefImplementation::catalogueFolder() const
{
    return catalogueRoot() + QStringLiteral("/db");
}

QString prefImplementation::lastImportFolder() const
{
    return QDir::fromNativeSeparators(m_installPath) + QStringLiteral("/LastImport");
}

bool prefImplementation::createFolders() const
{
    bool ok = true;
    for (const QString &folder : {catalogueRoot(), catalogueFolder(), lastImportFolder()})
        ok = QDir().mkpath(folder) && ok;
    return ok;
}
