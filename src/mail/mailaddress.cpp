#include "mailaddress.h"

#include "addresslist.h"

#include <dlfcn.h>

namespace MailAddress {

namespace {

struct LoadedApi
{
    bool loaded = false;
    void (*init)() = nullptr;
    InternetAddressList *(*parse)(GMimeParserOptions *, const char *) = nullptr;
    int (*length)(InternetAddressList *) = nullptr;
    InternetAddress *(*at)(InternetAddressList *, int) = nullptr;
    gboolean (*isA)(GTypeInstance *, GType) = nullptr;
    GType (*mailboxType)() = nullptr;
    const char *(*addr)(InternetAddressMailbox *) = nullptr;
    void (*unref)(gpointer) = nullptr;
};

template <typename F>
bool look(void *library, const char *name, F *function)
{
    *function = reinterpret_cast<F>(dlsym(library, name));
    return *function != nullptr;
}

const LoadedApi &api()
{
    static const LoadedApi loaded = [] {
        LoadedApi a;
        // Kept loaded for the rest of the run, as a linked library would be.
        void *library = dlopen("libgmime-3.0.so.0", RTLD_NOW | RTLD_LOCAL);
        if (!library)
            return a;
        a.loaded = look(library, "g_mime_init", &a.init) && look(library, "internet_address_list_parse", &a.parse)
                   && look(library, "internet_address_list_length", &a.length)
                   && look(library, "internet_address_list_get_address", &a.at)
                   && look(library, "g_type_check_instance_is_a", &a.isA)
                   && look(library, "internet_address_mailbox_get_type", &a.mailboxType)
                   && look(library, "internet_address_mailbox_get_addr", &a.addr)
                   && look(library, "g_object_unref", &a.unref);
        if (a.loaded)
            a.init();
        return a;
    }();
    return loaded;
}

} // namespace

bool isAddressList(const QString &recipient)
{
    const LoadedApi &gmime = api();
    if (!gmime.loaded)
        return true;
    InternetAddressList *list = parseAddressList(gmime, recipient);
    if (!list)
        return false;
    gmime.unref(list);
    return true;
}

} // namespace MailAddress
