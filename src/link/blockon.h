#pragma once

#include <QCoro/QCoroTask>

namespace talvex::link {

// Stop-gap while handlers move to awaiting: runs an awaited call to its end
// in a nested event loop. No handler may keep using it.
template<typename T>
T blockOn(QCoro::Task<T> task) {
    return QCoro::waitFor(std::move(task));
}

} // namespace talvex::link
