// How test failures print the program's value types.
#pragma once

#include "core/Rect.h"
#include "core/SnapAction.h"

#include <QMetaType>
#include <QTest>

Q_DECLARE_METATYPE(panemaker::Rect)
Q_DECLARE_METATYPE(panemaker::SnapAction)

namespace panemaker {

inline char *toString(const Rect &rect)
{
    return qstrdup(qPrintable(rect.toString()));
}

inline char *toString(const SnapAction &action)
{
    return qstrdup(qPrintable(action.rawValue()));
}

template <typename T> char *toString(const std::optional<T> &value)
{
    return value ? toString(*value) : qstrdup("nothing");
}

} // namespace panemaker
