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
            bench::buildCouples(path, n);
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
            return bench::figures(ms);
        };
        const bench::Figures f1 = type("Text1", names);
        const bench::Figures f2 = type("Text2", partners);
        const bench::Figures r = bench::figures(ready);
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
