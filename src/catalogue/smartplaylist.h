#pragma once

#include "playlist.h"

// An album that is a stored query over the other albums; its rows are the results of
// its last evaluation and are never stored. Each kind is a subclass.
class SmartPlaylist : public PlayList
{
public:
    KIV_ALBUM_CONSTRUCTORS(SmartPlaylist, PlayList)

    QString className() const override { return QStringLiteral("SmartPlaylist"); }
    void resetRows() override {}
    QPixmap icon(bool open) override;
    bool save(const QString &kivDir) override;
    bool load(const QString &path) override;
    // Evaluates the query on the source album and keeps the results as the rows.
    const AlbumRows &rows() override;
    bool commit() override;
    bool isLoaded() const override { return true; }

    virtual void setKind(const QString &kind) { m_kind = kind; }
    virtual QString kind() const { return m_kind; }
    virtual void setRowTable(const AlbumRows &rows) { storedRows() = rows; }

    QString keyword() const { return m_keyword; }
    void setKeyword(const QString &keyword) { m_keyword = keyword; }
    QString attribute() const { return m_attribute; }
    void setAttribute(const QString &attribute) { m_attribute = attribute; }
    QString condition() const { return m_condition; }
    void setCondition(const QString &condition) { m_condition = condition; }
    PlayList *source() const { return m_source; }
    // The query's results over rows [from, to) of `source`, appended to `out`; none
    // while the query needs a keyword it lacks. Only reads, so several threads may
    // evaluate one album at once.
    void evaluateInto(const PlayList &source, int from, int to, AlbumRows &out) const
    {
        if (!(usesKeyword() && m_keyword.isEmpty()))
            evaluate(source, from, to, out);
    }
    void setSource(PlayList *album) { m_source = album; }

protected:
    // Runs this kind's matcher over rows [from, to) of one album, appending to `out`.
    virtual void evaluate(const PlayList &source, int from, int to, AlbumRows &out) const;
    // Kinds whose query is the keyword have no rows while it is empty.
    virtual bool usesKeyword() const { return true; }
    virtual QString iconName() const { return QStringLiteral("find.png"); }
    // The key of the keyword line: "Search=" or "SearchKeyword=".
    virtual QString keywordKey() const { return QStringLiteral("SearchKeyword="); }
    QString fileSuffix() const override { return QStringLiteral(".smart"); }

private:
    void init() { setSmart(true); }

    QString m_kind;
    QString m_keyword;
    QString m_attribute;
    QString m_condition;
    PlayList *m_source = nullptr;
};

// Every catalogued picture.
class AllPhoto : public SmartPlaylist
{
public:
    KIV_ALBUM_CONSTRUCTORS(AllPhoto, SmartPlaylist)
    bool isLoaded() const override { return false; }

protected:
    void evaluate(const PlayList &source, int from, int to, AlbumRows &out) const override;
    bool usesKeyword() const override { return false; }
    QString iconName() const override { return QStringLiteral("myphoto.png"); }

private:
    void init() { setKind(QStringLiteral("AllPhoto")); }
};

// Pictures loved 5.
class Favorites : public SmartPlaylist
{
public:
    KIV_ALBUM_CONSTRUCTORS(Favorites, SmartPlaylist)

protected:
    void evaluate(const PlayList &source, int from, int to, AlbumRows &out) const override;
    bool usesKeyword() const override { return false; }
    QString iconName() const override { return QStringLiteral("favorites-large.png"); }

private:
    void init() { setKind(QStringLiteral("Favorites")); }
};

// The user's last search: full text, or one attribute with a condition.
class Search : public SmartPlaylist
{
public:
    KIV_ALBUM_CONSTRUCTORS(Search, SmartPlaylist)

protected:
    void evaluate(const PlayList &source, int from, int to, AlbumRows &out) const override;
    QString keywordKey() const override { return QStringLiteral("Search="); }

private:
    void init() { setKind(QStringLiteral("Search")); }
};

// Every picture with its view count, for the podium.
class Stats : public SmartPlaylist
{
public:
    KIV_ALBUM_CONSTRUCTORS(Stats, SmartPlaylist)
    // The most viewed pictures of every album, most viewed first (equal counts in
    // catalogue order), at most three, pictures never viewed left out: the podium.
    void setRowTable(const AlbumRows &rows) override;
    static constexpr int Places = 3;

protected:
    void evaluate(const PlayList &source, int from, int to, AlbumRows &out) const override;
    bool usesKeyword() const override { return false; }
    QString iconName() const override { return QStringLiteral("statistiques.png"); }
    QString keywordKey() const override { return QStringLiteral("Search="); }

private:
    void init() { setKind(QStringLiteral("Stats")); }
};

// A node of the "Browse By..." branch; its children are the browsable entries.
class ByCategory : public SmartPlaylist
{
public:
    KIV_ALBUM_CONSTRUCTORS(ByCategory, SmartPlaylist)

protected:
    void evaluate(const PlayList &, int, int, AlbumRows &) const override {}
    QString iconName() const override { return QStringLiteral("library.png"); }

private:
    void init()
    {
        setKind(QStringLiteral("ByCategory"));
        setChildIndicatorPolicy(QTreeWidgetItem::ShowIndicator);
    }
};

// The pictures showing one person (the keyword).
class BySubject : public SmartPlaylist
{
public:
    KIV_ALBUM_CONSTRUCTORS(BySubject, SmartPlaylist)

protected:
    void evaluate(const PlayList &source, int from, int to, AlbumRows &out) const override;
    QString iconName() const override { return QStringLiteral("library.png"); }

private:
    void init() { setKind(QStringLiteral("BySubject")); }
};

// The pictures of one category (the keyword).
class CategoryPl : public SmartPlaylist
{
public:
    KIV_ALBUM_CONSTRUCTORS(CategoryPl, SmartPlaylist)

protected:
    void evaluate(const PlayList &source, int from, int to, AlbumRows &out) const override;
    QString iconName() const override { return QStringLiteral("library.png"); }

private:
    void init() { setKind(QStringLiteral("CategoryPl")); }
};

// A query album of the pictures loved 5, under its creator's kind text.
class LovedQuery : public SmartPlaylist
{
public:
    KIV_ALBUM_CONSTRUCTORS(LovedQuery, SmartPlaylist)

protected:
    void evaluate(const PlayList &source, int from, int to, AlbumRows &out) const override;
    bool usesKeyword() const override { return false; }
    QString iconName() const override { return QStringLiteral("library.png"); }

private:
    void init() {}
};

// A query album filled like the last search, under its creator's kind text.
class RecentQuery : public Search
{
public:
    KIV_ALBUM_CONSTRUCTORS(RecentQuery, Search)

protected:
    QString iconName() const override { return QStringLiteral("lastplayed.png"); }
    QString keywordKey() const override { return QStringLiteral("SearchKeyword="); }

private:
    void init() { setKind(QString()); }
};
