#pragma once
// The program folder of a bench (kept in BENCH_KEEP=DIR when set, so that the next run reuses the files).
#include "bench.h"
#include "platform/environment.h"
#include "platform/forms.h"
#include "platform/settings.h"

#include <QDir>
#include <QTemporaryDir>

namespace bench {

// The folder of the files; the program directory and the settings file go under it.
inline QString setUpFolder(const QTemporaryDir& tmp)
{
    const QString keep = qEnvironmentVariable("BENCH_KEEP");
    const QString dir = keep.isEmpty() ? tmp.path() : keep;
    QDir().mkpath(dir + QStringLiteral("/prog"));
    platform::setProgramDir(dir + QStringLiteral("/prog"));
    platform::setSettingsFile(dir + QStringLiteral("/settings.ini"));
    platform::forms().onQuit = [] {};
    return dir;
}

} // namespace bench
