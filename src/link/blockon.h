#pragma once

#include <QCoreApplication>
#include <QCoro/QCoroTask>
#include <QEventLoop>

#include <exception>
#include <optional>
#include <type_traits>

namespace talvex::link {

namespace detail {

template <typename T>
QCoro::Task<> runToEnd(QCoro::Task<T> &task, std::optional<T> &result, std::exception_ptr &error,
                       bool &done, QEventLoop &loop) {
    try {
        result.emplace(co_await task);
    } catch (...) {
        error = std::current_exception();
    }
    done = true;
    loop.quit();
}

inline QCoro::Task<> runToEnd(QCoro::Task<> &task, std::exception_ptr &error, bool &done,
                              QEventLoop &loop) {
    try {
        co_await task;
    } catch (...) {
        error = std::current_exception();
    }
    done = true;
    loop.quit();
}

// Until the call has ended: it holds references into the caller's frame. The
// loop may be told to leave early (the application quits and every loop of
// the thread exits), and then refuses to run again; events are still
// processed, without a spin, until the call is over.
inline void runLoopUntil(QEventLoop &loop, const bool &done) {
    while (!done) {
        loop.exec();
        if (!done)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
}

} // namespace detail

// Runs an awaited call to its end from code that is not a coroutine itself:
// tests, benchmarks and fuzz targets that drive the link without a window. A
// wait that suspends runs a nested event loop, so window handlers never use
// it. What the call throws is thrown again here.
template <typename T> T blockOn(QCoro::Task<T> task) {
    QEventLoop loop;
    bool done = false;
    std::exception_ptr error;
    if constexpr (std::is_void_v<T>) {
        [[maybe_unused]] auto run = detail::runToEnd(task, error, done, loop);
        detail::runLoopUntil(loop, done);
        if (error)
            std::rethrow_exception(error);
    } else {
        std::optional<T> result;
        [[maybe_unused]] auto run = detail::runToEnd(task, result, error, done, loop);
        detail::runLoopUntil(loop, done);
        if (error)
            std::rethrow_exception(error);
        return std::move(*result);
    }
}

} // namespace talvex::link
