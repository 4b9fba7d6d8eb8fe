#pragma once

#include <QList>
#include <QObject>
#include <QString>
#include <QTimer>
#include <functional>
#include <memory>

class LibraryIndex;
class PlayList;
class Prompter;
class QTreeWidget;
class QWidget;
struct CatalogueContext;

// Rebuilds the stored albums from the library index into an album list, and the two
// refusals the window gives for broken albums.
namespace CatalogueLoader {

class LateRowSource;

// The rows of the albums whose files' headers alone were read at load (the window's
// start): read on threads of their own once started, taken by each album when it is
// first used, and the rest taken in turn, a slice of time at a go, so the window
// answers meanwhile. What the files turn out to hold wrong is said once at the end.
class LateRows : public QObject
{
public:
    explicit LateRows(QObject *parent = nullptr);
    ~LateRows() override;
    // Begins reading and taking in; `finished` gets the problems found (none, mostly)
    // once every album has its rows.
    void start(QTreeWidget *list, std::function<void(const QStringList &problems)> finished);
    // Whether some album still waits for its rows.
    bool pending() const { return bool(m_source); }
    // Takes every album's rows in now.
    void finishNow();

    // The loader's: where the albums' rows come from.
    void setSource(std::shared_ptr<LateRowSource> source) { m_source = std::move(source); }

private:
    void takeSome();

    std::shared_ptr<LateRowSource> m_source;
    QTreeWidget *m_list = nullptr;
    std::function<void(const QStringList &)> m_finished;
    QTimer m_timer;
};

// Clears `list` and creates every plain album, dynamic album and group of the index in
// index order, keeping those whose content kind passes `filter` ("media" passes all).
// Returns the albums created. An empty filter loads nothing and shows the database
// warning through `prompter`.
// Loading reads and never writes. An album whose file is damaged, whose id or `KivDir`
// would lead out of the catalogue folder, or whose folder is a link out of it, is
// created invalid and its reason added to `problems`.
// With `late`, the rows of larger album files are read after: only their headers now
// (the list is complete, each album with its title, date and icon), their rows through
// `late` once it is started.
QList<PlayList *> load(QTreeWidget *list, const LibraryIndex &index, const CatalogueContext &context,
                       const QString &filter, Prompter *prompter = nullptr, QStringList *problems = nullptr,
                       LateRows *late = nullptr);

// The album list's top-level albums, in list order.
QList<PlayList *> topLevelAlbums(const QTreeWidget *list);
// Every stored album of the list, those inside groups included, in list order: what
// smart albums and searches read. Smart albums, year rows and groups (which hold no
// rows) are left out.
QList<PlayList *> storedAlbums(const QTreeWidget *list);

// An invalid album is refused with the "Album non valid" warning: true when refused.
bool refuseInvalidAlbum(const PlayList *album, Prompter &prompter, QWidget *parent = nullptr);
// A smart album is refused while any stored album is invalid ("DataBase error").
bool refuseSmartAlbum(const QList<PlayList *> &albums, Prompter &prompter, QWidget *parent = nullptr);

} // namespace CatalogueLoader
