// The main window's couple list on real files: a name found as typed whatever its apostrophes and hyphens, a
// centre's file from an earlier version that opens with the same rows in the same order, a read-only file
// said at start-up, and search as you type while another process writes the same file.
#include "app/form2.h"
#include "appfixture.h"
#include "data/globals.h"
#include "support/rawdb.h"
#include "support/testenv.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QProcess>
#include <QThread>

using fixture::click;
using fixture::control;
using fixture::label;
using fixture::mainWindow;

namespace {

QLineEdit* box(const char* name) { return control<QLineEdit>(mainWindow(), name); }

// Another workstation: saves dossiers one by one as the new dossier window does, then reads the list back.
int writer(const QString& path, int dossiers)
{
    data::setLockWait(3000);
    try {
        for (int i = 0; i < dossiers; ++i) {
            auto db = data::Database::open(path);
            auto rs = db->OpenRecordset(QStringLiteral("SELECT*FROM CIVILITES"));
            rs->AddNew();
            for (const auto& f : app::kDossierFields)
                rs->setField(QLatin1String(f.column), QString());
            rs->setField(QStringLiteral("Nom"), QStringLiteral("AUTRE-POSTE %1").arg(i));
            rs->Update();
            db->OpenRecordset(QStringLiteral("SELECT*FROM CIVILITES ORDER BY NOM, PRENOM"))
                ->FindFirst(QStringLiteral("NOM>='AUTRE'"));
            QThread::msleep(2);
        }
    } catch (const data::DbError& e) {
        fprintf(stderr, "%s\n", qPrintable(e.message()));
        return 1;
    }
    return 0;
}

// Every couple of the list as "&Debut" then "&>" show them, by number.
QStringList browsed(int couples)
{
    QStringList out;
    click(mainWindow(), "Command1");
    for (int i = 0; i < couples; ++i) {
        out << label("NumLbl");
        click(mainWindow(), "Command4");
    }
    return out;
}

} // namespace

class TestCoupleList : public QObject {
    Q_OBJECT
private slots:
    void init() { fixture::countQuits(); }
    void cleanup() { data::setLockWait(10000); }

    void namesAreFoundWithoutTheirApostrophesAndHyphens()
    {
        TestEnv env;
        for (const char* nom : {"DARMON", "D'ARC", "DUPONT", "MARTINON", "MARTIN-LEFEBVRE", "MARTINEZ"})
            fixture::addCouple(env.dbPath(), QString::fromUtf8(nom), QString::fromUtf8(nom) + QStringLiteral("-P"));
        mainWindow();
        // The search box drops the apostrophe: what is typed is the name without it.
        const struct {
            const char* box;
            const char* typed;
            const char* shown;
            const char* label;
        } searches[] = {{"Text1", "d'arc", "D'ARC", "NomLbl"},
                        {"Text1", "darc", "D'ARC", "NomLbl"},
                        {"Text1", "DAR", "D'ARC", "NomLbl"},
                        {"Text1", "DARM", "DARMON", "NomLbl"},
                        {"Text1", "martinl", "MARTIN-LEFEBVRE", "NomLbl"},
                        {"Text1", "MARTIN-L", "MARTIN-LEFEBVRE", "NomLbl"},
                        {"Text2", "darc", "D'ARC-P", "NomPartLbl"}};
        for (const auto& s : searches) {
            box(s.box)->clear();
            QTest::keyClicks(box(s.box), QString::fromUtf8(s.typed));
            QCOMPARE(label(s.label), QString::fromUtf8(s.shown));
        }
        // The list's order is the search's: D'ARC comes before DARMON.
        box("Text1")->clear();
        QTest::keyClicks(box("Text1"), "darc");
        click(mainWindow(), "Command4");
        QCOMPARE(label("NomLbl"), QString("DARMON"));
        QVERIFY(env.messages.boxes.isEmpty());
    }

    void earlierVersionFileOpensWithTheSameRowsInTheSameOrder()
    {
        TestEnv env;
        // Ties, accents, marks, a name typed again, and empty names: all in the order of the file itself.
        const QStringList noms = {"MARTIN", "Émile", "D'ARC", "EMILE", "", "DARC", "martin", "ZOLA", "DA-RC",
                                  "MARTIN", "dupont", "Z", "É"};
        for (int i = 0; i < noms.size(); ++i)
            fixture::addCouple(env.dbPath(), noms[i], noms[(i * 5) % noms.size()]);
        RawDb raw(env.dbPath());
        raw.makeEarlierVersion();
        QCOMPARE(raw.text("SELECT count(*) FROM sqlite_master WHERE type='index' AND sql IS NOT NULL"), QString("0"));
        const QString byName = raw.text("SELECT numero FROM CIVILITES ORDER BY NOM, PRENOM, numero");
        const QString byPartner = raw.text("SELECT numero FROM CIVILITES ORDER BY NOMPART, PRENOMPART, numero");

        mainWindow();
        QCOMPARE(raw.text("SELECT count(*) FROM sqlite_master WHERE type='index' AND sql IS NOT NULL"),
                 QString::number(data::indexStatements().size()));
        QCOMPARE(browsed(int(noms.size())).join(QLatin1Char('|')), byName);
        QTest::keyClicks(box("Text2"), "A");
        QCOMPARE(browsed(int(noms.size())).join(QLatin1Char('|')), byPartner);
        QCOMPARE(raw.text("SELECT count(*) FROM CIVILITES"), QString::number(noms.size()));
        QCOMPARE(raw.text("PRAGMA integrity_check"), QString("ok"));
        QVERIFY(env.messages.boxes.isEmpty());
    }

    void readOnlyDatabaseIsSaidAtStartUp()
    {
        TestEnv env;
        fixture::addCouple(env.dbPath(), "MARTIN");
        QVERIFY(QFile::setPermissions(env.dbPath(), QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther));
        mainWindow();
        QCOMPARE(env.messages.texts(), QStringList{QStringLiteral("La base de données %1 est en lecture seule : aucune "
                                                                  "modification ne pourra être enregistrée.")
                                                       .arg(env.dbPath())});
        QCOMPARE(fixture::quits, 0);
        // Everything still reads; what would be stored is refused in French.
        QTest::keyClicks(box("Text1"), "MAR");
        QCOMPARE(label("NomLbl"), QString("MARTIN"));
        env.messages.clear();
        env.messages.answerYes();
        click(mainWindow(), "CmdSupprime");
        QCOMPARE(env.messages.texts().size(), 2);
        const QString failure = env.messages.texts().last();
        QVERIFY2(failure.startsWith(QStringLiteral("La suppression du dossier a échoué")), qPrintable(failure));
        QVERIFY2(failure.contains(QStringLiteral("est en lecture seule")), qPrintable(failure));
        QVERIFY2(!failure.contains(QStringLiteral("readonly")), qPrintable(failure));
        QCOMPARE(fixture::count(env.dbPath(), "SELECT*FROM CIVILITES"), 1);
        QFile::setPermissions(env.dbPath(), QFile::ReadOwner | QFile::WriteOwner);
    }

    void searchAsYouTypeWhileAnotherProcessWrites()
    {
        TestEnv env;
        for (const char* nom : {"BERNARD", "DURAND", "LEROY", "MARTIN", "PETIT"})
            fixture::addCouple(env.dbPath(), QString::fromUtf8(nom));
        // A short wait for a lock: a statement left holding the file would fail here at once.
        data::setLockWait(3000);
        constexpr int kTheirs = 120;
        QProcess other;
        other.start(QCoreApplication::applicationFilePath(),
                    {QStringLiteral("--writer"), env.dbPath(), QString::number(kTheirs)});
        QVERIFY(other.waitForStarted());
        mainWindow();
        int ours = 0, meanwhile = 0;
        QStringList expectedBoxes;
        for (int round = 0; other.state() != QProcess::NotRunning || round < 3; ++round) {
            meanwhile += other.state() != QProcess::NotRunning;
            for (const char* typed : {"MARTIN", "AUTRE-POSTE", "DUR", "PETIT"}) {
                box("Text1")->clear();
                QTest::keyClicks(box("Text1"), QString::fromUtf8(typed));
                QVERIFY(!label("NomLbl").isEmpty());
            }
            if (round % 3 == 0) { // and a dossier of our own now and then
                click(mainWindow(), "CmdCreeDossier");
                Form2* f2 = platform::forms().find<Form2>();
                QVERIFY(f2);
                QTest::keyClicks(f2->box("NomTxt"), QStringLiteral("ICI %1").arg(ours));
                env.messages.answerYes();
                click(f2, "Command1");
                expectedBoxes << QStringLiteral("Voulez vous vraiment enregistrer cette nouvelle Fiche ?")
                              << QStringLiteral("Nouvelle Fiche Enregistrée");
                ++ours;
            }
            QCoreApplication::processEvents();
        }
        QVERIFY(other.state() == QProcess::NotRunning || other.waitForFinished(30000));
        QVERIFY2(meanwhile >= 3, qPrintable(QString::number(meanwhile))); // the two really wrote together
        QCOMPARE(QString::fromLocal8Bit(other.readAllStandardError()), QString());
        QCOMPARE(other.exitCode(), 0);
        QCOMPARE(env.messages.texts(), expectedBoxes);
        QCOMPARE(fixture::count(env.dbPath(), "SELECT*FROM CIVILITES WHERE NOM LIKE 'AUTRE-POSTE *'"), kTheirs);
        QCOMPARE(fixture::count(env.dbPath(), "SELECT*FROM CIVILITES WHERE NOM LIKE 'ICI *'"), ours);
        QCOMPARE(fixture::count(env.dbPath(), "SELECT*FROM CIVILITES"), 5 + kTheirs + ours);
        QCOMPARE(RawDb(env.dbPath()).text("PRAGMA integrity_check"), QString("ok"));
    }
};

int main(int argc, char** argv)
{
    if (argc == 4 && qstrcmp(argv[1], "--writer") == 0) {
        QCoreApplication app(argc, argv);
        return writer(QString::fromLocal8Bit(argv[2]), QByteArray(argv[3]).toInt());
    }
    QApplication app(argc, argv);
    TestCoupleList test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_couplelist.moc"
