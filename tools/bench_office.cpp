// Measures the time from OUVRE_EXCEL to a personalised workbook (the seven cells of a new cycle sheet), cold
// (the office started by the call, fresh or reused profile) and warm (an instance already up).
// Usage: bench_office [runs]   (templates from FOLIVEX_TEMPLATES or ./templates)
#include "office/libreoffice.h"
#include "office/spreadsheet.h"
#include "platform/environment.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace {

double personalise()
{
    QElapsedTimer timer;
    timer.start();
    office::ExcelApp app = office::OUVRE_EXCEL(office::workingCopyPath());
    office::ECRIT_CELLULE(app, QStringLiteral("A3"), QStringLiteral("Centre d'AMP - Service de gynécologie"));
    office::ECRIT_CELLULE(app, QStringLiteral("B6"), QStringLiteral("MARTIN"));
    office::ECRIT_CELLULE(app, QStringLiteral("K6"), QStringLiteral("Claire"));
    office::ECRIT_CELLULE(app, QStringLiteral("I1"), QDate(2005, 3, 1));
    office::ECRIT_CELLULE(app, QStringLiteral("H10"), QDate(2005, 3, 15));
    office::ECRIT_CELLULE(app, QStringLiteral("N8"), QStringLiteral("3"));
    office::ECRIT_CELLULE(app, QStringLiteral("K8"), QStringLiteral("FIV"));
    const double ms = timer.nsecsElapsed() / 1e6;
    if (app.openStatus() != office::OpenStatus::Opened) {
        std::fprintf(stderr, "the workbook did not open\n");
        std::exit(1);
    }
    office::DECH_EXCEL(app);
    return ms;
}

void report(const char* what, QList<double> times)
{
    std::sort(times.begin(), times.end());
    std::printf("%-34s runs %2lld  min %7.0f ms  median %7.0f ms  max %7.0f ms\n", what,
                static_cast<long long>(times.size()), times.first(), times.at(times.size() / 2), times.last());
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication qapp(argc, argv);
    const int runs = argc > 1 ? std::max(1, atoi(argv[1])) : 5;
    QString templates = qEnvironmentVariable("FOLIVEX_TEMPLATES");
    if (templates.isEmpty())
        templates = QStringLiteral(FOLIVEX_TEMPLATE_DIR);
    QTemporaryDir dir;
    platform::setProgramDir(dir.path());
    if (!QFile::copy(templates + QStringLiteral("/Folivex01.xls"), platform::programFile(QStringLiteral("Folivex01.xls")))) {
        std::fprintf(stderr, "Folivex01.xls not found in %s\n", qPrintable(templates));
        return 1;
    }

    QList<double> fresh, cold, warm;
    for (int i = 0; i < runs; ++i) {
        // New profile each time: the first start of the program on a workstation.
        office::LibreOfficeOptions options;
        options.profileDir = dir.path() + QStringLiteral("/profile-%1").arg(i);
        auto engine = office::createLibreOfficeSpreadsheet(options);
        office::setSpreadsheet(engine.get());
        if (!office::COPIE_MODELE(QStringLiteral("Folivex01.xls")))
            return 1;
        fresh << personalise();
        engine->shutdown();
    }
    office::LibreOfficeOptions options;
    options.profileDir = dir.path() + QStringLiteral("/profile");
    auto engine = office::createLibreOfficeSpreadsheet(options);
    office::setSpreadsheet(engine.get());
    std::printf("office: %s\n", engine->isVisible() ? "visible" : "headless");
    for (int i = 0; i < runs + 1; ++i) {
        (void)office::COPIE_MODELE(QStringLiteral("Folivex01.xls"));
        const double ms = personalise();
        if (i > 0) // the first start fills the profile
            cold << ms;
        engine->shutdown();
    }
    (void)office::COPIE_MODELE(QStringLiteral("Folivex01.xls"));
    personalise();
    for (int i = 0; i < runs; ++i) {
        (void)office::COPIE_MODELE(QStringLiteral("Folivex01.xls"));
        warm << personalise();
    }
    engine->shutdown();
    office::setSpreadsheet(nullptr);

    report("cold, new profile", fresh);
    report("cold, profile already made", cold);
    report("warm, instance already up", warm);
    return 0;
}
