// Compiled on its own, once per key: the program with the release key, the tests with theirs.
#include "update/DesignatedKey.h"

namespace panemaker {

QByteArray designatedKey()
{
    return QByteArray::fromBase64(QByteArrayLiteral(PANEMAKER_UPDATE_KEY));
}

} // namespace panemaker
