#pragma once

#include <QString>

#include <dlfcn.h>

// A shared library opened the first time one of its functions is wanted. The scanner's,
// the archive's and the GIF writer's libraries serve commands most runs never give;
// linked, each would be loaded and relocated at every start. A table of the functions
// wanted declares each member with the type of the library's own declaration
// (decltype(&::name)), so a call through the table is checked as a direct call is.
class LazyLibrary
{
public:
    explicit LazyLibrary(const char *soname)
        : m_soname(QString::fromLatin1(soname))
    {
        // Kept open for the rest of the run, as a linked library would be.
        m_handle = dlopen(soname, RTLD_NOW | RTLD_LOCAL);
        if (!m_handle)
            m_error = QStringLiteral("%1 could not be loaded (%2).").arg(m_soname, QString::fromLocal8Bit(dlerror()));
    }

    // Sets `function` to the library's function `name`; a name missing spoils the whole.
    template <typename F>
    void look(const char *name, F *function)
    {
        *function = m_handle ? reinterpret_cast<F>(dlsym(m_handle, name)) : nullptr;
        if (!*function && m_error.isEmpty())
            m_error = QStringLiteral("%1 has no function %2.").arg(m_soname, QString::fromLatin1(name));
    }

    bool usable() const { return m_error.isEmpty(); }
    // Why the library cannot be used, for a message.
    QString error() const { return m_error; }

private:
    QString m_soname;
    void *m_handle = nullptr;
    QString m_error;
};

// A table of a library's functions, from a list naming each through F:
//     #define SANE_FUNCTIONS(F) F(sane_init) F(sane_exit)
//     VELLARO_LAZY_TABLE(SaneApi, SANE_FUNCTIONS)
// declares `struct SaneApi` with a member of the library's own type for each function,
// `error` (empty when every function was found, else why not) and `open(soname)`,
// which opens the library and looks every function up.
#define VELLARO_LAZY_MEMBER(function) decltype(&::function) function = nullptr;
#define VELLARO_LAZY_FIND(function) library.look(#function, &table.function);
#define VELLARO_LAZY_TABLE(Name, FUNCTIONS)                                                                        \
    struct Name                                                                                                   \
    {                                                                                                             \
        QString error;                                                                                            \
        FUNCTIONS(VELLARO_LAZY_MEMBER)                                                                            \
        static Name open(const char *soname)                                                                      \
        {                                                                                                         \
            Name table;                                                                                           \
            LazyLibrary library(soname);                                                                          \
            FUNCTIONS(VELLARO_LAZY_FIND)                                                                          \
            table.error = library.error();                                                                        \
            return table;                                                                                         \
        }                                                                                                         \
    };
