// observe(): subscribe to an observable property so that the observer first receives the
// current value, then every change.
#pragma once

#include <QObject>

#include <functional>
#include <utility>

namespace panemaker {

// Calls `observer` with the value `getter` reads from `source` now, then connects it to
// `changed`. The connection ends with `context`, so the observer never outlives its owner.
template <typename Source, typename Getter, typename Signal, typename Observer>
QMetaObject::Connection observe(const Source *source, Getter getter, Signal changed, const QObject *context,
                                Observer observer)
{
    observer(std::invoke(getter, source));
    return QObject::connect(source, changed, context, std::move(observer));
}

} // namespace panemaker
