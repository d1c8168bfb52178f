#pragma once

#include <QMetaObject>
#include <QObject>
#include <QThread>

#include <type_traits>

namespace qzr::sim {

// Runs function on the thread `object` lives on and waits for its result;
// directly when that is the calling thread. That thread must be running its
// event loop and must never wait on the caller.
template <typename Function>
auto runOnThreadOf(QObject *object, Function function)
{
    using Result = std::invoke_result_t<Function>;
    if (object->thread() == QThread::currentThread())
        return function();
    if constexpr (std::is_void_v<Result>) {
        QMetaObject::invokeMethod(object, function, Qt::BlockingQueuedConnection);
    } else {
        Result result{};
        QMetaObject::invokeMethod(object, [&] { result = function(); }, Qt::BlockingQueuedConnection);
        return result;
    }
}

} // namespace qzr::sim
