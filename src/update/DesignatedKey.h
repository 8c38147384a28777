// The public key an update must be signed with, compiled into the program that checks it.
#pragma once

#include <QByteArray>

namespace panemaker {

// The raw key of this build; empty when the build has none, which accepts no update.
QByteArray designatedKey();

} // namespace panemaker
