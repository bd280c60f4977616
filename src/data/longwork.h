#pragma once
// Work of the database layer that the user waits for (the indexes of a file built at its opening). The layer
// knows no window: the application installs a runner that shows how far the work has gone.
#include <QString>
#include <functional>

namespace data {

// What the work tells as it goes, from the thread that runs it.
class Progress {
public:
    virtual ~Progress() = default;
    // step: what is being done now, in French; done: how far the whole work has gone, 0 to 1, or negative while
    // nobody can tell (another workstation's work is waited for).
    virtual void report(const QString& step, double done) = 0;
};

class LongWork {
public:
    virtual ~LongWork() = default;
    // Runs work to its end before returning. what: the work, in French, for the user. The work may run on
    // another thread: it touches nothing but its own connection and the progress it is given, and throws
    // nothing (it keeps its failure for its caller).
    virtual void run(const QString& what, const std::function<void(Progress&)>& work) = 0;
};

// The runner set by the application; nullptr restores the default, which runs the work inline, telling nothing.
void setLongWork(LongWork* runner);
// Runs the work through that runner.
void runLongWork(const QString& what, const std::function<void(Progress&)>& work);

} // namespace data
