#pragma once
// What the benches share: the sizes asked for on the command line, the names they fill their files with.
#include <QList>
#include <QRandomGenerator>
#include <QString>
#include <QtGlobal>
#include <algorithm>
#include <iterator>

namespace bench {

// The sizes given as arguments, or the defaults.
inline QList<int> sizes(int argc, char** argv, const QList<int>& defaults)
{
    QList<int> out;
    for (int i = 1; i < argc; ++i)
        out << QString::fromLatin1(argv[i]).toInt();
    return out.isEmpty() ? defaults : out;
}

// How many runs a figure is the median of: BENCH_RUNS, 3 by default.
inline int runs()
{
    return qEnvironmentVariableIsSet("BENCH_RUNS") ? qEnvironmentVariableIntValue("BENCH_RUNS") : 3;
}

// The middle value of the runs.
inline double median(QList<double> v)
{
    std::sort(v.begin(), v.end());
    return v.isEmpty() ? 0 : v[v.size() / 2];
}

// Surnames as a centre holds them: syllables, some with an apostrophe or a hyphen, a few accents.
inline QString surname(QRandomGenerator& rng)
{
    static const char* const syllables[] = {"MAR", "TIN", "DU", "PONT", "LE", "ROY", "BER", "NARD", "PE", "TIT",
                                            "GAR", "NIER", "MO", "REAU", "LA", "FON", "TAI", "NE", "RI", "CHARD",
                                            "BO", "NET", "CA", "RON", "GI", "RAUD", "FAU", "RE", "ROUS", "SEL"};
    QString s;
    const int n = 2 + int(rng.bounded(2));
    for (int i = 0; i < n; ++i)
        s += QLatin1String(syllables[rng.bounded(int(std::size(syllables)))]);
    const int kind = int(rng.bounded(100));
    if (kind < 3)
        s = QStringLiteral("D'") + s;
    else if (kind < 6)
        s += QLatin1Char('-') + QLatin1String(syllables[rng.bounded(int(std::size(syllables)))]);
    else if (kind < 9)
        s.replace(QLatin1Char('E'), QStringLiteral("É"));
    return s;
}

} // namespace bench
