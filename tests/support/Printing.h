// How test failures print the program's value types.
#pragma once

#include "platform/Rect.h"

#include <QMetaType>
#include <QTest>

Q_DECLARE_METATYPE(panemaker::Rect)

namespace panemaker {

inline char *toString(const Rect &rect)
{
    return qstrdup(qPrintable(rect.toString()));
}

template <typename T> char *toString(const std::optional<T> &value)
{
    return value ? toString(*value) : qstrdup("nothing");
}

} // namespace panemaker

// Tests of the layers above the platform print snap actions too.
#if __has_include("core/SnapAction.h")
#include "core/SnapAction.h"

Q_DECLARE_METATYPE(panemaker::SnapAction)

namespace panemaker {

inline char *toString(const SnapAction &action)
{
    return qstrdup(qPrintable(action.rawValue()));
}

} // namespace panemaker
#endif
