// bench_search [SIZE...]: for each size (default 1000 10000 100000 1000000 couples) builds a database file,
// times the main window's load after the splash (open, couple list, letterhead, shown), then types surnames
// letter by letter into the real window's search boxes and prints the median and 90th percentile per keystroke,
// from the key's delivery to the window repainted.
// BENCH_KEEP=DIR keeps the files in DIR (and reuses them on the next run).
#include "app/form0.h"
#include "app/form4.h"
#include "data/database.h"
#include "data/globals.h"
#include "data/jetsql.h"
#include "data/schema.h"
#include "platform/environment.h"
#include "platform/forms.h"
#include "platform/messages.h"
#include "platform/settings.h"
#include "benchsetup.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLineEdit>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>
#include <QTextStream>
#include <algorithm>

namespace {

// Counts the boxes instead of showing them ("Ce Nom n'existe pas" after the last names).
class SilentMessages final : public platform::MessageService {
public:
    platform::MsgResult show(const platform::MsgBoxRequest&) override
    {
        ++shown;
        return platform::MsgResult::Ok;
    }
    int shown = 0;
};

void build(const QString& path, int couples)
{
    if (const QString failure = data::createDatabase(path); !failure.isEmpty())
        qFatal("%s", qPrintable(failure));
    const auto db = data::Database::open(path);
    QRandomGenerator rng(19750312);
    db->BeginTrans();
    QStringList rows;
    auto flush = [&] {
        if (rows.isEmpty())
            return;
        db->exec(QStringLiteral("INSERT INTO CIVILITES (Nom, Prenom, NOMPART, PRENOMPART, NEE, Ville, SECU, ADRESSE1, "
                                "CODEPOST, TEL1) VALUES ")
                 + rows.join(QLatin1Char(',')));
        rows.clear();
    };
    for (int i = 0; i < couples; ++i) {
        rows << QStringLiteral("('%1','Prénom%2','%3','Prénom%4','%5/%6/%7','PAU','2 75 03 64 445 %8',"
                               "'%9 rue des Pyrénées','64000','05 59 00 00 00')")
                    .arg(data::sqlQuote(bench::surname(rng)))
                    .arg(i)
                    .arg(data::sqlQuote(bench::surname(rng)))
                    .arg(i)
                    .arg(1 + rng.bounded(28))
                    .arg(1 + rng.bounded(12))
                    .arg(60 + rng.bounded(30))
                    .arg(i % 1000, 3, 10, QLatin1Char('0'))
                    .arg(1 + i % 200);
        if (rows.size() == 500)
            flush();
    }
    flush();
    db->CommitTrans();
}

struct Figures {
    double median = 0, p90 = 0;
};

Figures figures(QList<double> ms)
{
    std::sort(ms.begin(), ms.end());
    if (ms.isEmpty())
        return {};
    return {ms[ms.size() / 2], ms[std::min(ms.size() - 1, qsizetype(ms.size() * 9 / 10))]};
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTextStream out(stdout);
    const QList<int> sizes = bench::sizes(argc, argv, {1000, 10000, 100000, 1000000});
    QTemporaryDir tmp;
    const QString dir = bench::setUpFolder(tmp);
    SilentMessages messages;
    platform::setMessageService(&messages);

    out << "couples | window ready (median of 7) | Text1 keystroke median / p90 | Text2 keystroke median / p90\n";
    for (int n : sizes) {
        const QString folder = dir + QStringLiteral("/%1").arg(n);
        QDir().mkpath(folder);
        const QString path = folder + QStringLiteral("/INDUCTION.mdb");
        if (!QFileInfo::exists(path))
            build(path, n);
        platform::saveSetting(data::kSettingsApp, data::kSettingsSection, QStringLiteral("CHEMIN"), path);

        // From the splash's timer to the main window loaded and painted.
        QList<double> ready;
        for (int run = 0; run < 7; ++run) {
            platform::forms().unloadAll();
            data::RS_DOSSIERS.reset();
            data::BASE_DOSSIERS.reset();
            Form0* splash = platform::forms().show<Form0>();
            QCoreApplication::processEvents();
            QElapsedTimer t;
            t.start();
            splash->Timer1_Timer();
            QCoreApplication::processEvents();
            ready << t.nsecsElapsed() / 1e6;
        }
        Form4* f4 = platform::forms().find<Form4>();

        // Surnames of the file itself, typed as a user types them (the key filter drops the apostrophe).
        QRandomGenerator rng(20050315);
        QStringList names, partners;
        {
            const auto db = data::Database::open(path);
            for (int i = 0; i < 20; ++i) {
                const int id = 1 + int(rng.bounded(n));
                auto rs = db->OpenRecordset(QStringLiteral("SELECT*FROM CIVILITES WHERE NUMERO=%1").arg(id));
                names << rs->text(QStringLiteral("Nom"));
                partners << rs->text(QStringLiteral("NOMPART"));
            }
        }
        auto type = [&](const char* box, const QStringList& words) {
            auto* edit = f4->findChild<QLineEdit*>(QLatin1String(box));
            QList<double> ms;
            QElapsedTimer all;
            all.start();
            for (const QString& w : words) {
                if (ms.size() >= 30 && all.elapsed() > 30000)
                    break; // enough keystrokes where each one is slow
                edit->clear();
                for (QChar c : w) {
                    QElapsedTimer t;
                    t.start();
                    // The key as the window system delivers it, then what the event loop does next: the
                    // layouts and the repaint of what changed, as the user sees it.
                    QTest::keyClicks(edit, QString(c));
                    QCoreApplication::processEvents();
                    ms << t.nsecsElapsed() / 1e6;
                }
            }
            return figures(ms);
        };
        const Figures f1 = type("Text1", names);
        const Figures f2 = type("Text2", partners);
        const Figures r = figures(ready);
        out << n << " | " << QString::number(r.median, 'f', 1) << " ms | " << QString::number(f1.median, 'f', 2)
            << " / " << QString::number(f1.p90, 'f', 2) << " ms | " << QString::number(f2.median, 'f', 2) << " / "
            << QString::number(f2.p90, 'f', 2) << " ms\n";
        out.flush();
        platform::forms().unloadAll();
        data::RS_DOSSIERS.reset();
        data::BASE_DOSSIERS.reset();
    }
    if (messages.shown)
        out << "(" << messages.shown << " message boxes answered)\n";
    return 0;
}
