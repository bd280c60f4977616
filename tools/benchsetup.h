#pragma once
// What the bench programs share: the sizes asked on their command line and a program folder of their own (kept
// in BENCH_KEEP=DIR when set, so that the next run reuses the files).
#include "platform/environment.h"
#include "platform/forms.h"
#include "platform/settings.h"

#include <QDir>
#include <QList>
#include <QTemporaryDir>

namespace bench {

inline QList<int> sizes(int argc, char** argv, const QList<int>& defaults)
{
    QList<int> out;
    for (int i = 1; i < argc; ++i)
        out << QString::fromLatin1(argv[i]).toInt();
    return out.isEmpty() ? defaults : out;
}

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
