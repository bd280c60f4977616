#include "data/longwork.h"

namespace data {

namespace {

LongWork* g_runner = nullptr;

} // namespace

void setLongWork(LongWork* runner) { g_runner = runner; }

void runLongWork(const QString& what, const std::function<void(Progress&)>& work)
{
    if (g_runner) {
        g_runner->run(what, work);
        return;
    }
    struct Silent final : Progress {
        void report(const QString&, double) override {}
    } silent;
    work(silent);
}

} // namespace data
