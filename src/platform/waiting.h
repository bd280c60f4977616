#pragma once
// Waiting for work another thread does, on the user-interface thread, without freezing the program: its windows
// keep painting, what the user types waits, and an application-modal window says what is awaited.
#include <QString>
#include <functional>

namespace platform {

// Returns once done() is true. After showAfterMs the window shows. Each time limitMs pass without an end,
// overdue(milliseconds waited) runs on this thread: it may ask the user, and make the work end. Off the
// user-interface thread (or without one) it only waits.
void waitFor(const QString& what, const std::function<bool()>& done, int limitMs,
             const std::function<void(qint64)>& overdue, int showAfterMs = 500);

} // namespace platform
