#include "propertypanel.h"

#include <QLocale>
#include "ui_ambriomainwindowbase.h"

#include "ambriomainwindow.h"
#include "cataloguetext.h"
#include "directoryplaylist.h"
#include "kivviewitem.h"
#include "photoitem.h"
#include "picturecommands.h"
#include "playlist.h"
#include "prompter.h"
#include "thumbsview.h"

#include <QFileInfo>
#include <QProgressDialog>

namespace {

// Long enough for any value a picture keeps; a shorter limit would cut a stored value
// the moment its field is edited.
constexpr int kMaxLength = 1024;

// The day part of a stored date ("2024-05-01" or "2024-05-01T10:30:00"); null for " ".
QDate storedDay(const QString &date)
{
    return QDate::fromString(date.left(10), Qt::ISODate);
}

// A new day for a stored date, keeping the time of day it had.
QString withDay(const QString &stored, const QDate &day)
{
    const QString text = day.toString(Qt::ISODate);
    return stored.size() > 10 && stored.at(10) == QLatin1Char('T') ? text + stored.mid(10) : text;
}

} // namespace

PropertyPanel::PropertyPanel(AmbrioMainWindow *page, Ui::AmbrioMainWindowBase *ui)
    : m_page(page)
    , ui(ui)
{
}

void PropertyPanel::setUp()
{
    for (propertyTextLabel *field :
         {ui->propertyTextLabelTitle, ui->propertyTextLabelCategory, ui->propertyTextLabelPlace,
          static_cast<propertyTextLabel *>(ui->propertyTextLabelFile),
          static_cast<propertyTextLabel *>(ui->propertyTextLabelSubject), ui->propertyTextLabelComment,
          ui->propertyTextLabelTitlePl, ui->propertyTextLabelDirectoryPl, ui->propertyTextLabelPhotoNum,
          static_cast<propertyTextLabel *>(ui->propertyTextLabelFrom),
          static_cast<propertyTextLabel *>(ui->propertyTextLabelDateobj)}) {
        field->setMaxLength(kMaxLength);
        field->setText(QString());
    }
    ui->propertyTextLabelTitle->setTitleWidth(20);
    // Room for the pixel size and the file size of any camera's photograph; a longer
    // stored format is shortened in the label and shown whole in its tip.
    const QFontMetrics metrics(ui->textLabelFormat->font());
    ui->textLabelFormat->setMinimumWidth(metrics.horizontalAdvance(QStringLiteral("00000*00000")));
    ui->textLabelSize->setMinimumWidth(metrics.horizontalAdvance(QStringLiteral("0000000Ko")));
    ui->propertyTextLabelCategory->setKind(1);
    // The album page shows where the album lives and how big it is; only its title,
    // folder binding and date are changed there.
    ui->propertyTextLabelDirectoryPl->setEditable(false);
    ui->propertyTextLabelPhotoNum->setEditable(false);
    ui->itemUserBadge->setCaption(QStringLiteral("No Badge"));
    ui->itemDate->setDate(QDate());
    ui->favoriteswid->setValue(1);
    ui->textLabelFormat->clear();
    ui->textLabelSize->clear();
    clearModified();
}

void PropertyPanel::clearModified()
{
    for (propertyTextLabel *field :
         {ui->propertyTextLabelTitle, ui->propertyTextLabelCategory, ui->propertyTextLabelPlace,
          static_cast<propertyTextLabel *>(ui->propertyTextLabelFile),
          static_cast<propertyTextLabel *>(ui->propertyTextLabelSubject), ui->propertyTextLabelComment})
        field->setModified(false);
    ui->favoriteswid->setChanged(false);
    ui->itemDate->setModified(false);
    ui->itemUserBadge->setModified(false);
}

void PropertyPanel::fill(KivViewItem *record, bool multiple)
{
    m_filled = record;
    m_multiple = multiple;
    if (multiple) {
        for (propertyTextLabel *field :
             {ui->propertyTextLabelTitle, static_cast<propertyTextLabel *>(ui->propertyTextLabelFile),
              ui->propertyTextLabelCategory, static_cast<propertyTextLabel *>(ui->propertyTextLabelSubject),
              ui->propertyTextLabelComment, ui->propertyTextLabelPlace})
            field->setText(QString());
        ui->propertyTextLabelFile->setEditable(false);
        ui->textLabelFormat->clear();
        ui->textLabelSize->clear();
        ui->itemDate->setDate(QDate());
        ui->itemUserBadge->setBadge(QPixmap(), -1);
        ui->favoriteswid->setValue(1);
        ui->textLabelPhotoInfo->setText(QStringLiteral("Multiple Photos"));
        clearModified();
        return;
    }
    ui->textLabelPhotoInfo->setText(QStringLiteral("Photo Informations"));
    if (!record)
        return;
    // What is on disk wins over what the record held.
    record->readProperties();
    const auto *photo = dynamic_cast<const PhotoItem *>(record);
    ui->propertyTextLabelTitle->setText(record->title());
    ui->propertyTextLabelFile->setText(record->fileName());
    ui->propertyTextLabelFile->setEditable(true);
    ui->propertyTextLabelCategory->setText(record->category());
    ui->propertyTextLabelSubject->setText(photo ? photo->personInit() : QString());
    ui->propertyTextLabelComment->setText(record->comment());
    ui->propertyTextLabelPlace->setText(photo ? photo->place() : QString());
    ui->textLabelFormat->setText(record->format());
    ui->textLabelFormat->setToolTip(record->format());
    ui->favoriteswid->setValue(record->love());
    const QFileInfo file(record->picturePath());
    if (file.exists())
        ui->textLabelSize->setText(QString::number(file.size() / 1024) + QStringLiteral("Ko"));
    ui->itemDate->setDate(storedDay(record->date()));
    ui->itemUserBadge->setBadge(thumbsView::userBadgePixmap(record->userBadge()), record->userBadge());
    clearModified();
}

void PropertyPanel::fillAlbum(PlayList *album)
{
    if (!album)
        return;
    const bool smart = album->isSmart() || album->isHeldInMemory();
    auto *dynamic = dynamic_cast<DirectoryPlaylist *>(album);
    ui->propertyTextLabelTitlePl->setText(album->text(1).isEmpty() ? album->title() : album->text(1));
    ui->propertyTextLabelTitlePl->setEditable(!smart);
    ui->propertyTextLabelTitlePl->setModified(false);
    ui->propertyTextLabelDirectoryPl->setText(dynamic ? dynamic->from() : album->albumFolder());
    ui->propertyTextLabelPhotoNum->setText(QString::number(album->rowCount()));
    ui->propertyTextLabelFrom->setText(dynamic ? dynamic->from() : QString());
    ui->propertyTextLabelFrom->setEditable(dynamic != nullptr);
    // The reader's own short date; the album file keeps ISO 8601.
    ui->propertyTextLabelDateobj->setText(QLocale().toString(album->creationDate(), QLocale::ShortFormat));
    ui->propertyTextLabelDateobj->setEditable(!smart);
}

QString PropertyPanel::editedAlbumTitle() const
{
    return ui->propertyTextLabelTitlePl->isModified() ? ui->propertyTextLabelTitlePl->text() : QString();
}

void PropertyPanel::clearAlbumTitleEdit()
{
    ui->propertyTextLabelTitlePl->setModified(false);
}

PropertyPanel::Saved PropertyPanel::save(const QList<KivViewItem *> &targets)
{
    Saved saved;
    const bool several = targets.size() > 1;
    // With one picture the panel must be showing that picture, or its fields would be
    // written into another one.
    if (targets.isEmpty() || (!several && (m_multiple || targets.first() != m_filled)))
        return saved;
    struct Text
    {
        propertyTextLabel *field;
        void (*apply)(KivViewItem *, const QString &);
    };
    const Text texts[] = {
        {ui->propertyTextLabelTitle, [](KivViewItem *r, const QString &v) { r->setTitle(v); }},
        {ui->propertyTextLabelCategory, [](KivViewItem *r, const QString &v) { r->setCategory(v); }},
        {ui->propertyTextLabelSubject,
         [](KivViewItem *r, const QString &v) {
             if (auto *photo = dynamic_cast<PhotoItem *>(r))
                 photo->setPersonInit(v);
         }},
        {ui->propertyTextLabelComment, [](KivViewItem *r, const QString &v) { r->setComment(v); }},
        {ui->propertyTextLabelPlace,
         [](KivViewItem *r, const QString &v) {
             if (auto *photo = dynamic_cast<PhotoItem *>(r))
                 photo->setPlace(v);
         }},
    };
    for (const Text &text : texts) {
        if (!several || text.field->isModified()) {
            const QString refusal = CatalogueText::propertyRefusal(text.field->text());
            if (!refusal.isEmpty()) {
                m_page->prompter()->warning(m_page, refusal);
                saved.refused = true;
                // The fields show the stored values again.
                fill(m_filled, m_multiple);
                return saved;
            }
        }
        saved.textChanged = saved.textChanged || text.field->isModified();
    }
    saved.loveChanged = ui->favoriteswid->isChanged();
    QList<QByteArray> before;  // of several, what each showed ahead of the change
    // Thousands of pictures: the progress window comes while they are prepared too, and
    // Cancel stops here before anything is written.
    std::unique_ptr<QProgressDialog> progress = several ? m_page->pictures()->tagProgress(targets.size()) : nullptr;
    for (KivViewItem *record : targets) {
        if (progress && before.size() % 32 == 0) {
            progress->setValue(int(before.size()));
            if (progress->wasCanceled()) {
                for (qsizetype i = 0; i < before.size(); ++i)
                    targets.at(i)->setPackedTagLines(before.at(i));
                fill(m_filled, m_multiple);
                // The pictures in sight show their own values again, not the change.
                m_page->photoView()->viewport()->update();
                return saved;
            }
        }
        // A tray picture may be a record of an album shown earlier: what is on disk is
        // what the unchanged values must keep.
        if (several) {
            record->readProperties();
            before << record->packedTagLines();
        }
        for (const Text &text : texts) {
            if (!several || text.field->isModified())
                text.apply(record, text.field->text());
        }
        if (!several || ui->favoriteswid->isChanged())
            record->setLove(ui->favoriteswid->value());
        const QDate day = ui->itemDate->date();
        // A picture without a date keeps " "; a date with a time of day keeps its time.
        if ((!several || ui->itemDate->isModified()) && day.isValid() && day != storedDay(record->date()))
            record->setDate(withDay(record->date(), day));
        if (!several || ui->itemUserBadge->isModified())
            record->setUserBadge(ui->itemUserBadge->badgeValue());
        if (several)
            continue;
        record->setModified(true);
        const bool written = m_page->pictures()->saveRecord(record);
        record->setModified(false);
        saved.written = written ? 1 : 0;
        // Not kept: the fields show the stored values again, not what was typed.
        if (!written)
            fill(m_filled, m_multiple);
    }
    // Several pictures are written together: all of them, or none (told once). When none
    // was, the fields show the stored values again, not what was typed.
    if (several) {
        if (m_page->pictures()->saveRecords(targets, before, progress.get()))
            saved.written = int(targets.size());
        else
            fill(m_filled, m_multiple);
    }
    return saved;
}
