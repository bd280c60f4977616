#pragma once
// The database layer's long work (the indexes built at a file's opening) run on a worker thread while an
// application-modal window says what is being done and how far it has gone: the user-interface thread keeps
// painting the program's windows, and no other command runs meanwhile. Calls into the office are waited for
// the same way.
#include "data/longwork.h"

#include <QWidget>

class QLabel;
class QProgressBar;

namespace platform {

// The work, the step under way and a bar. The user cannot close it: the work ends it.
class ProgressWindow final : public QWidget {
    Q_OBJECT
public:
    explicit ProgressWindow(const QString& what);
    // done from 0 to 1; below 0 when how far is not known.
    void tell(const QString& step, double done);

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    QLabel* m_step;
    QProgressBar* m_bar;
};

class ProgressWindowWork final : public data::LongWork {
public:
    // showAfter: how long the work runs before the window shows, so that quick work shows nothing.
    explicit ProgressWindowWork(int showAfterMs = 200) : m_showAfter(showAfterMs) {}
    void run(const QString& what, const std::function<void(data::Progress&)>& work) override;

private:
    int m_showAfter;
};

// Waits on the user-interface thread until done() is true, for work another thread does, in the same way: the
// windows keep painting, what the user does is dropped, and after showAfterMs a window says what is awaited (a
// moving bar). Each time limitMs pass without an end, overdue(milliseconds waited) runs on this thread: it may
// ask the user, and make the work end. Off the user-interface thread (or without one) it only waits.
void waitFor(const QString& what, const std::function<bool()>& done, int limitMs,
             const std::function<void(qint64)>& overdue, int showAfterMs = 500);

} // namespace platform
