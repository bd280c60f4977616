// bench_stats [CYCLES]: times the statistics window's activity count on a database of CYCLES cycle sheets
// (100 000 by default, spread over 2000-2009), over the whole history and over the year 2005, and the search
// with a criterion. Prints the best and the median of five runs.
// BENCH_CELLS=1 also prints the time of each counting query; BENCH_HIDDEN=1 keeps the window hidden.
#include "data/database.h"
#include "data/globals.h"
#include "data/jetsql.h"
#include "data/schema.h"
#include "platform/forms.h"
#include "stats/activity.h"
#include "stats/form8.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTextStream>
#include <algorithm>

namespace {

template <class T> const T& pick(QRandomGenerator& rng, std::initializer_list<std::pair<int, T>> weighted)
{
    int total = 0;
    for (const auto& [w, v] : weighted)
        total += w;
    int r = int(rng.bounded(total));
    for (const auto& [w, v] : weighted) {
        if (r < w)
            return v;
        r -= w;
    }
    return weighted.begin()->second;
}

void fill(data::Database& db, int cycles, int couples)
{
    QRandomGenerator rng(20050315);
    db.BeginTrans();
    auto flush = [&db](QStringList& rows, const char* head) {
        if (rows.isEmpty())
            return;
        db.exec(QString::fromLatin1(head) + rows.join(QLatin1Char(',')));
        rows.clear();
    };
    QStringList rows;
    for (int i = 1; i <= couples; ++i) {
        rows << QStringLiteral("('NOM%1','Prénom%1')").arg(i);
        if (rows.size() == 500)
            flush(rows, "INSERT INTO CIVILITES (Nom, Prenom) VALUES ");
    }
    flush(rows, "INSERT INTO CIVILITES (Nom, Prenom) VALUES ");
    const char* head = "INSERT INTO FICHE (NUMERO, NUMFICH, JCYCLE, TYPE, DATEPONC, DATETRANS, GROSSESSE, MULTIPLE, "
                       "ANA, ANTAGO, STIMULINE, DECLENCHO) VALUES ";
    for (int i = 0; i < cycles; ++i) {
        const QString type = pick<QString>(rng, {{30, "FIV"}, {30, "ICSI"}, {15, "IAC"}, {5, "IAD"}, {10, "TEC"},
                                                 {10, "Stim. simple"}});
        const bool ivf = type == QLatin1String("FIV") || type == QLatin1String("ICSI");
        const QString outcome = pick<QString>(rng, {{40, ""}, {35, "Néant"}, {5, "Biologique"}, {5, "FC"},
                                                    {2, "GEU"}, {13, "Enfant vivant"}});
        const bool pregnant = !outcome.isEmpty() && outcome != QStringLiteral("Néant");
        const QString multiple = pregnant ? pick<QString>(rng, {{80, "Simple"}, {15, "Gemellaire"}, {4, "Triple"},
                                                               {1, "> Triple"}})
                                          : QString();
        rows << QStringLiteral("(%1,%2,%3,'%4','%5','%6','%7','%8','Décapeptyl 3','Cetrotide','Gonal-f','Ovitrelle')")
                    .arg(1 + rng.bounded(couples))
                    .arg(1 + i % 5)
                    .arg(36526 + rng.bounded(3653))
                    .arg(type, ivf && rng.bounded(10) < 9 ? QStringLiteral("12/03/2005") : QString(),
                         ivf && rng.bounded(10) < 8 ? QStringLiteral("14/03/2005") : QString(), outcome,
                         data::sqlQuote(multiple));
        if (rows.size() == 500)
            flush(rows, head);
    }
    flush(rows, head);
    db.CommitTrans();
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTextStream out(stdout);
    const int cycles = argc > 1 ? QString::fromLatin1(argv[1]).toInt() : 100000;
    // BENCH_KEEP=DIR keeps the file in DIR and reuses it on the next run of the same size.
    QTemporaryDir dir;
    const QString keep = qEnvironmentVariable("BENCH_KEEP");
    const QString folder = keep.isEmpty() ? dir.path() : keep + QStringLiteral("/stats-%1").arg(cycles);
    QDir().mkpath(folder);
    const QString path = folder + QStringLiteral("/INDUCTION.mdb");
    if (!QFileInfo::exists(path)) {
        if (const QString failure = data::createDatabase(path); !failure.isEmpty()) {
            out << failure << "\n";
            return 1;
        }
        const auto db = data::Database::open(path);
        fill(*db, cycles, std::max(1, cycles / 4));
    }
    data::CHEMIN_BASE = path;
    auto* form = qEnvironmentVariableIsSet("BENCH_HIDDEN") ? platform::forms().get<Form8>()
                                                           : platform::forms().show<Form8>();

    auto text = [form](const char* name) { return form->findChild<QLabel*>(QLatin1String(name))->text(); };
    auto time = [&](const char* what, auto&& run) {
        QList<qint64> ms;
        for (int i = 0; i < 5; ++i) {
            QElapsedTimer t;
            t.start();
            run();
            ms << t.elapsed();
        }
        std::sort(ms.begin(), ms.end());
        out << what << ": best " << ms.first() << " ms, median " << ms[2] << " ms\n";
        out.flush();
    };
    // Where the time goes: the 54 counts alone, then the pregnancy list's query alone.
    data::DataControl control;
    control.DatabaseName = path;
    time("  54 counts", [&] {
        for (const auto& c : stats::countCells()) {
            control.RecordSource = stats::countQuery(c, 36526, 40178);
            control.Refresh();
            control.recordset()->RecordCount();
        }
    });
    if (qEnvironmentVariableIsSet("BENCH_CELLS")) {
        for (const auto& c : stats::countCells()) {
            QElapsedTimer t;
            t.start();
            control.RecordSource = stats::countQuery(c, 36526, 40178);
            control.Refresh();
            control.recordset()->RecordCount();
            out << "    " << c.cell << " " << t.nsecsElapsed() / 1000 << " us\n";
        }
    }
    time("  pregnancy list query", [&] {
        control.RecordSource = stats::pregnancyListQuery(36526, 40178);
        control.Refresh();
    });
    time("activity count, whole history", [&] { form->CmdRechercher_Click(); });
    out << "  cycles " << text("LblTStim") << ", couples " << text("Label30")
        << ", pregnancy list " << text("LblTotal") << "\n";
    auto* date1 = form->findChild<QLineEdit*>(QStringLiteral("TxtDate1"));
    auto* date2 = form->findChild<QLineEdit*>(QStringLiteral("TxtDate2"));
    const QString from = date1->text(), to = date2->text();
    date1->setText(QStringLiteral("01/01/2005"));
    date2->setText(QStringLiteral("31/12/2005"));
    time("activity count, year 2005", [&] { form->CmdRechercher_Click(); });
    out << "  cycles " << text("LblTStim") << ", couples " << text("Label30")
        << ", pregnancy list " << text("LblTotal") << "\n";
    date1->setText(from);
    date2->setText(to);
    form->findChild<QComboBox*>(QStringLiteral("CmbType"))->setEditText(QStringLiteral("FIV*"));
    form->findChild<QCheckBox*>(QStringLiteral("Check1"))->setChecked(true);
    time("search FIV* with pregnancies", [&] { form->Command2_Click(); });
    out << "  found " << text("Label1") << "\n";
    platform::forms().unloadAll();
    return 0;
}
