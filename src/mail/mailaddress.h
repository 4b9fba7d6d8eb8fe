#pragma once

#include <QString>

// The window's check of a mail's recipient, the same as the mail companion's, without
// the mail library loaded at every start: it is loaded the first time an address is
// checked.
namespace MailAddress {

// Whether `recipient` holds at least one mail address and nothing that is not one. True
// when the mail library cannot be loaded: the companion, which needs it too, then tells
// why the mail cannot go.
bool isAddressList(const QString &recipient);

} // namespace MailAddress
