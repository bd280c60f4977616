// The cycle sheet window: load, display, browsing, save, delete, close, workbook and the way to the follow-up.
#include "cycles/fiche.h"
#include "cycles/form6.h"
#include "data/database.h"
#include "data/globals.h"
#include "office/fakespreadsheet.h"
#include "platform/conversions.h"
#include "platform/environment.h"
#include "pregnancy/form30.h"
#include "ui_form30.h"
#include "support/rawdb.h"
#include "support/testenv.h"
#include "support/workstation.h"
#include "workup/form11.h"

#include "tst_sheetsupport.h"

#include <QFile>
#include <QProcess>
#include <QTest>

using platform::forms;

namespace {

void addExams(const QString& dbPath, int couple, const QVariantMap& values)
{
    auto db = data::Database::open(dbPath);
    auto rs = db->OpenRecordset(QStringLiteral("SELECT*FROM EXAMENS"));
    rs->AddNew();
    rs->setField(QStringLiteral("NUMERO"), couple);
    for (auto it = values.begin(); it != values.end(); ++it)
        rs->setField(it.key(), it.value());
    rs->Update();
}

// Data functions run before the test's clock is set: count from the fixed "today" of every test.
QString daysAgo(int days) { return platform::shortDate(TestEnv::defaultNow().date().addDays(-days)); }

// Recent values of every exam date, so only what a test changes can warn.
QVariantMap recentExams()
{
    QVariantMap m;
    for (const char* c : {"DTGENF", "DTBWF", "DTHIVF", "DTHBF", "DTHCF", "DTTOXOF", "DTRUBF", "DTHF", "DTGENM",
                          "DTBWM", "DTHIVM", "DTHBM", "DTHCM", "DTSPERMO"})
        m.insert(c, daysAgo(10));
    return m;
}

std::shared_ptr<data::Recordset> sheetRow(const QString& dbPath, qint64 id)
{
    auto rs = data::Database::open(dbPath)->OpenRecordset(QStringLiteral("SELECT*FROM FICHE WHERE NUMINTFICH=%1").arg(id));
    return rs->RecordCount() > 0 ? rs : nullptr;
}

int sheetCount(const QString& dbPath, int couple)
{
    return data::Database::open(dbPath)
        ->OpenRecordset(QStringLiteral("SELECT*FROM FICHE WHERE NUMERO=%1").arg(couple))
        ->RecordCount();
}

} // namespace

class TstSheet : public QObject {
    Q_OBJECT

    std::unique_ptr<TestEnv> env;
    std::unique_ptr<office::FakeSpreadsheet> fake;

private slots:
    void init()
    {
        env = std::make_unique<TestEnv>();
        fake = std::make_unique<office::FakeSpreadsheet>();
        data::CHEMIN_BASE = env->dbPath();
    }
    void cleanup()
    {
        fake.reset();
        env.reset();
        forms().flush();
    }

    void loadShowsLastSheetAndBrowses()
    {
        auto db = data::Database::open(env->dbPath());
        for (const char* t : {"Clinique des Lilas", "Centre AMP du Parc"}) {
            auto rs = db->OpenRecordset(QStringLiteral("SELECT*FROM OPTIONS"));
            rs->AddNew();
            rs->setField(QStringLiteral("NUMEROS"), 16);
            rs->setField(QStringLiteral("TEXTE"), QString::fromUtf8(t));
            rs->Update();
        }
        forms().get<Form4>()->ui->LblNumClin->setText(QStringLiteral("C-77"));
        forms().get<Form4>()->ui->LblNumBio->setText(QStringLiteral("B-12"));
        for (int n : {1, 2, 3})
            addSheet(env->dbPath(), 12, n, {{"DATEPONC", QStringLiteral("0%1/03/05").arg(n)}});
        const qint64 other = addSheet(env->dbPath(), 13, 9);
        Form5* f = openCouple(12);
        auto& ui = *f->ui;
        QCOMPARE(ui.TxtNumFich->text(), QStringLiteral("3"));
        QCOMPARE(ui.TxtNumDos->text(), QStringLiteral("12-3"));
        QCOMPARE(ui.Label29->text(), QStringLiteral("Fiche N° 3 du 15/03/2005"));
        QCOMPARE(ui.TxtMiseRoute->text(), QStringLiteral("15/03/2005"));
        QCOMPARE(ui.TxtDatePonc->text(), QStringLiteral("03/03/05"));
        QCOMPARE(ui.LblXls->text(), QStringLiteral("Pas de Fiche stim"));
        QVERIFY(ui.OptBloc2->isChecked());
        QVERIFY(ui.Optstim4->isChecked());
        QCOMPARE(ui.CmbAna->currentText(), QStringLiteral("DECAPEPTYL"));
        QCOMPARE(ui.LblEntNom->text(), QStringLiteral("Centre AMP du Parc"));
        QCOMPARE(ui.LblNumClin->text(), QStringLiteral("C-77"));
        QCOMPARE(ui.LblNumBio->text(), QStringLiteral("B-12"));
        QVERIFY(ui.CmbGynecoP->count() > 0);
        QCOMPARE(ui.CmbGynecoP->count(), ui.CmbGynecoT->count());

        QTest::mouseClick(ui.Command3, Qt::LeftButton);
        QTest::mouseClick(ui.Command3, Qt::LeftButton);
        QCOMPARE(ui.TxtNumFich->text(), QStringLiteral("1"));
        QTest::mouseClick(ui.Command3, Qt::LeftButton);
        QCOMPARE(ui.TxtNumFich->text(), QStringLiteral("1"));
        QTest::keyClick(ui.TxtNumFich, Qt::Key_Right);
        QCOMPARE(ui.TxtNumFich->text(), QStringLiteral("2"));
        QTest::keyClick(ui.TxtNumFich, Qt::Key_Left);
        QCOMPARE(ui.TxtNumFich->text(), QStringLiteral("1"));
        QTest::keyClick(ui.TxtNumFich, Qt::Key_A); // other keys and odd text do nothing
        QTest::mouseClick(ui.Command4, Qt::LeftButton);
        QCOMPARE(ui.TxtNumFich->text(), QStringLiteral("2"));

        // "&1er" and "&Der" read the list again, for the window's couple even when the main window moved on.
        addSheet(env->dbPath(), 12, 4);
        forms().get<Form4>()->ui->NumLbl->setText(QStringLiteral("13"));
        QTest::mouseClick(ui.Command4, Qt::LeftButton);
        QTest::mouseClick(ui.Command4, Qt::LeftButton);
        QCOMPARE(ui.TxtNumFich->text(), QStringLiteral("3"));
        QTest::mouseClick(ui.Command2, Qt::LeftButton);
        QCOMPARE(ui.TxtNumFich->text(), QStringLiteral("4"));
        QCOMPARE(ui.TxtNumDos->text(), QStringLiteral("12-4"));
        QTest::mouseClick(ui.Command1, Qt::LeftButton);
        QCOMPARE(ui.TxtNumFich->text(), QStringLiteral("1"));
        QVERIFY(ui.TxtNumIntFich->text() != QString::number(other));
        QCOMPARE(env->messages.texts(), QStringList());
    }

    void nullsAndOddValuesAreHarmless()
    {
        addSheet(env->dbPath(), 5, 1, {{"OPTIONBLOC", 3}, {"COMMENT", QStringLiteral("RAS")}});
        addSheet(env->dbPath(), 5, 2, {{"OPTIONBLOC", 0}, {"OPTIONSTIM", QVariant()}, {"JCYCLE", QVariant()},
                                       {"COMMENT", QVariant()}, {"REDUC", QVariant()}, {"ABANDON", QVariant()}});
        Form5* f = openCouple(5);
        auto& ui = *f->ui;
        QCOMPARE(ui.TxtNumFich->text(), QStringLiteral("2"));
        QCOMPARE(ui.TxtMiseRoute->text(), QString());
        QCOMPARE(ui.Label29->text(), QStringLiteral("Fiche N° 2"));
        QCOMPARE(ui.TxtComments->toPlainText(), QString());
        QVERIFY(!ui.ChkReduc->isChecked());
        QTest::mouseClick(ui.Command3, Qt::LeftButton);
        QVERIFY(ui.OptBloc3->isChecked());
        ui.OptBloc1->setChecked(true);
        QTest::mouseClick(ui.Command4, Qt::LeftButton);
        QVERIFY(ui.OptBloc1->isChecked()); // 0 leaves the option shown before
        QCOMPARE(env->messages.texts(), QStringList());
    }

    void abandonmentHidesTheStages()
    {
        addSheet(env->dbPath(), 7, 1);
        addSheet(env->dbPath(), 7, 2, {{"ABANDON", 1}});
        Form5* f = openCouple(7);
        auto& ui = *f->ui;
        QVERIFY(ui.Check1->isChecked());
        QVERIFY(ui.LblCycle->isVisible());
        for (QWidget* w : {static_cast<QWidget*>(ui.Frame6), static_cast<QWidget*>(ui.Frame3), static_cast<QWidget*>(ui.Frame4)})
            QVERIFY(!w->isVisible());
        QTest::mouseClick(ui.Command3, Qt::LeftButton);
        QVERIFY(!ui.LblCycle->isVisible());
        for (QWidget* w : {static_cast<QWidget*>(ui.Frame6), static_cast<QWidget*>(ui.Frame3), static_cast<QWidget*>(ui.Frame4)})
            QVERIFY(w->isVisible());
        ui.Check1->click();
        QVERIFY(ui.LblCycle->isVisible());
    }

    void staleWarning_data()
    {
        QTest::addColumn<bool>("examRow");
        QTest::addColumn<QVariantMap>("dates");
        QTest::addColumn<QString>("warning");
        const QString sperm = QStringLiteral("Dossier non à jour (Dernier spermogramme, plus de 3 mois)");
        const QString labo = QStringLiteral("Dossier non à jour (examens de labo non à jour)");
        QTest::newRow("no exam row") << false << QVariantMap() << QString();
        QTest::newRow("all recent") << true << QVariantMap() << QString();
        QTest::newRow("spermogram missing") << true << QVariantMap{{"DTSPERMO", QString()}} << sperm;
        QTest::newRow("spermogram not a date") << true << QVariantMap{{"DTSPERMO", QStringLiteral("fait")}} << sperm;
        QTest::newRow("at the limits") << true << QVariantMap{{"DTSPERMO", daysAgo(92)}, {"DTHCM", daysAgo(365)}} << QString();
        QTest::newRow("spermogram 93 days") << true << QVariantMap{{"DTSPERMO", daysAgo(93)}} << sperm;
        QTest::newRow("laboratory 366 days") << true << QVariantMap{{"DTGENF", daysAgo(366)}} << labo;
        QTest::newRow("both: laboratory wins") << true << QVariantMap{{"DTSPERMO", daysAgo(100)}, {"DTRUBF", daysAgo(400)}} << labo;
        QTest::newRow("future dates") << true << QVariantMap{{"DTSPERMO", daysAgo(-500)}, {"DTBWM", daysAgo(-900)}} << QString();
        QVariantMap noLab = recentExams();
        for (auto it = noLab.begin(); it != noLab.end(); ++it)
            it.value() = QString();
        noLab.insert("DTSPERMO", daysAgo(5));
        QTest::newRow("laboratory dates empty") << true << noLab << QString();
    }
    void staleWarning()
    {
        QFETCH(bool, examRow);
        QFETCH(QVariantMap, dates);
        QFETCH(QString, warning);
        if (examRow) {
            QVariantMap values = recentExams();
            for (auto it = dates.begin(); it != dates.end(); ++it)
                values.insert(it.key(), it.value());
            values.insert("Diag", QStringLiteral("Infertilité tubaire"));
            addExams(env->dbPath(), 12, values);
        }
        addSheet(env->dbPath(), 12, 1);
        Form5* f = openCouple(12);
        QCOMPARE(f->ui->Label5->text(), examRow ? QStringLiteral("Infertilité tubaire") : QString());
        QCOMPARE(f->ui->Label30->isVisible(), !warning.isEmpty());
        if (!warning.isEmpty())
            QCOMPARE(f->ui->Label30->text(), warning);
    }

    // Exams that cannot be read (rows the engine fails to read) never pass for a recent work-up.
    void uncheckedExamsAreSaid()
    {
        addExams(env->dbPath(), 12, {{"DTSPERMO", daysAgo(400)}});
        addSheet(env->dbPath(), 12, 1);
        {
            RawDb raw(env->dbPath());
            // A column the engine fails to compute, at every row read.
            QVERIFY(raw.exec(QStringLiteral("ALTER TABLE EXAMENS ADD COLUMN ILLISIBLE GENERATED ALWAYS AS "
                                             "(abs(-9223372036854775807 - 1)) VIRTUAL")));
        }
        Form5* f = openCouple(12);
        QVERIFY(f->isVisible());
        QVERIFY(f->ui->Label30->isVisible());
        QCOMPARE(f->ui->Label30->text(), QStringLiteral("Vérification des examens impossible : la base n'a pas pu être lue"));
    }

    // The main window leaves the window loaded and hidden for a couple without sheets; the next couple opened
    // must not inherit anything from it, nor from a couple still shown.
    void secondCoupleShowsItsOwnSheets()
    {
        addExams(env->dbPath(), 1, {{"Diag", QStringLiteral("Couple A")}, {"DTSPERMO", daysAgo(3)}});
        QVariantMap b = recentExams();
        b.insert("Diag", QStringLiteral("Couple B"));
        b.insert("DTSPERMO", QString());
        addExams(env->dbPath(), 2, b);
        addSheet(env->dbPath(), 2, 1, {{"Type", "ICSI"}});
        addSheet(env->dbPath(), 2, 2, {{"Type", "IIU"}});
        addSheet(env->dbPath(), 3, 1, {{"Type", "TEC"}});

        Form4* main = forms().get<Form4>();
        main->ui->NumLbl->setText(QStringLiteral("1"));
        Form5* f = forms().get<Form5>();
        f->ui->TxtNumPat->setText(QStringLiteral("1"));
        QVERIFY(!f->isVisible());
        QCOMPARE(f->ui->Label5->text(), QStringLiteral("Couple A"));

        f = openCouple(2, QStringLiteral("DUPONT"), QStringLiteral("Anne"));
        QCOMPARE(f->couple(), 2);
        QCOMPARE(f->ui->Label5->text(), QStringLiteral("Couple B"));
        QVERIFY(f->ui->Label30->isVisible());
        QCOMPARE(f->ui->Label30->text(), QStringLiteral("Dossier non à jour (Dernier spermogramme, plus de 3 mois)"));
        QCOMPARE(f->ui->CmbType->currentText(), QStringLiteral("IIU"));
        QTest::mouseClick(f->ui->Command1, Qt::LeftButton);
        QCOMPARE(f->ui->CmbType->currentText(), QStringLiteral("ICSI"));

        f = openCouple(3, QStringLiteral("LEROY"), QStringLiteral("Marie"));
        QCOMPARE(f->ui->CmbType->currentText(), QStringLiteral("TEC"));
        QVERIFY(f->ui->Label5->text().isEmpty());
        QVERIFY(!f->ui->Label30->isVisible());
    }

    void saveWritesTheShownSheet()
    {
        const qint64 id = addSheet(env->dbPath(), 12, 1, {{"NomFichier", "MARTICl1_38426.xls"}});
        Form5* f = openCouple(12);
        auto& ui = *f->ui;
        const QList<std::pair<QWidget*, QString>> typed = {
            {ui.CmbAna, "ENANTONE"}, {ui.CmbStimuline, "GONAL F"}, {ui.CmbModal, "Facile"}, {ui.CmbType, "ICSI"},
            {ui.CmbAntago, "CETROTIDE"}, {ui.CmbDeclencho, "OVITRELLE"}, {ui.TxtDatAna, "01/02/05"},
            {ui.TxtDatePonc, "20/03/05"}, {ui.CmbModePonc, "Echo vaginale"}, {ui.TxtDateTrans, "22/03/05"},
            {ui.TxtMiseRoute, "16/03/2005"}, {ui.TxtJRegles, "10/03/05"}, {ui.TxtNbrE, "5"}, {ui.TxtNbrEC, "2"},
            {ui.TxtNbrET, "2"}, {ui.TxtNbrO, "9"}, {ui.TxtNumFich, "1"}, {ui.CmbTtt, "Progestérone"},
            {ui.CmbGross, "Positive"}, {ui.CmbMult, "Gémellaire"}, {ui.CmbGynecoP, "Dr DURAND"},
            {ui.CmbGynecoT, "Dr MOREAU"}, {ui.CmbAnesthesi, "Dr GARNIER"}, {ui.TxtComments, "Ponction l'après-midi"}};
        for (const auto& [w, text] : typed) {
            if (auto* e = qobject_cast<QLineEdit*>(w))
                e->setText(text);
            else if (auto* c = qobject_cast<QComboBox*>(w))
                c->setEditText(text);
            else
                qobject_cast<QPlainTextEdit*>(w)->setPlainText(text);
        }
        ui.ChkReduc->setChecked(true);
        ui.Check1->setChecked(true);
        ui.OptBloc3->setChecked(true);
        env->messages.answerYes();
        QTest::mouseClick(ui.CmdModif, Qt::LeftButton);
        QCOMPARE(env->messages.texts(),
                 QStringList({"Voulez vous vraiment enregistrer les modifications apportées à cette Fiche ?",
                              "Fiche courante modifiée"}));
        QVERIFY(!forms().isLoaded<Form5>());
        QCOMPARE(fake->log(), QStringList{"quit"});

        auto rs = sheetRow(env->dbPath(), id);
        const QStringList columns = {"Ana", "Stimuline", "MODAL", "Type", "Antago", "Declencho", "DATANA", "DATEPONC",
                                     "MODPONCTION", "DATETRANS", "JSTIM", "NBRE", "NBREC", "NBRET", "NBRO", "NUMFICH",
                                     "TRAITEMENT", "GROSSESSE", "MULTIPLE", "GYNECOP", "GYNECOT", "ANESTHESI", "COMMENT"};
        QStringList expected;
        for (const auto& [w, text] : typed)
            if (w != ui.TxtMiseRoute)
                expected << text;
        QStringList stored;
        for (const QString& c : columns)
            stored << rs->text(c);
        QCOMPARE(stored, expected);
        QCOMPARE(rs->Fields("JCYCLE").toDouble(), 38427.0);
        QCOMPARE(rs->Fields("REDUC").toInt(), 1);
        QCOMPARE(rs->Fields("ABANDON").toInt(), 1);
        QCOMPARE(rs->Fields("OPTIONBLOC").toInt(), 2); // the options shown are not saved
        QCOMPARE(rs->Fields("NUMERO").toInt(), 12);
        QCOMPARE(rs->text("NomFichier"), QStringLiteral("MARTICl1_38426.xls"));

        // Reopened: the abandoned cycle hides its stages.
        f = openCouple(12);
        QVERIFY(!f->ui->Frame6->isVisible());
    }

    // A date box that holds only blanks is empty: the save goes on, and stores no blanks.
    void saveWithEmptyDatesEmptiesTheCycleStart_data()
    {
        QTest::addColumn<QString>("text");
        QTest::newRow("emptied") << QString();
        QTest::newRow("blanks only") << QStringLiteral("  ");
    }
    void saveWithEmptyDatesEmptiesTheCycleStart()
    {
        QFETCH(QString, text);
        const qint64 id = addSheet(env->dbPath(), 12, 1, {{"DATEPONC", "16/03/2005"}, {"JSTIM", "01/03/2005"}});
        Form5* f = openCouple(12);
        for (QLineEdit* e : {f->ui->TxtDatAna, f->ui->TxtMiseRoute, f->ui->TxtJRegles, f->ui->TxtDateTrans, f->ui->TxtDatePonc})
            e->setText(text);
        env->messages.answerYes();
        QTest::mouseClick(f->ui->CmdModif, Qt::LeftButton);
        QCOMPARE(env->messages.texts().last(), QStringLiteral("Fiche courante modifiée"));
        auto rs = sheetRow(env->dbPath(), id);
        QVERIFY(rs->Fields("JCYCLE").isNull());
        for (const char* column : {"DATANA", "JSTIM", "DATETRANS", "DATEPONC"})
            QCOMPARE(rs->Fields(column), QVariant(QString()));
    }

    void saveRefusals_data()
    {
        QTest::addColumn<QString>("box");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("message");
        const QString date = QStringLiteral("Une Date a été mal saisie, veuillez la corriger. JJ/MM/AA");
        const QString number = QStringLiteral("Le numéro de fiche doit être un nombre entier positif.");
        QTest::newRow("impossible date") << "TxtDatePonc" << "31/02/03" << date;
        QTest::newRow("text in a date") << "TxtJRegles" << "demain" << date;
        QTest::newRow("sheet number text") << "TxtNumFich" << "abc" << number;
        QTest::newRow("sheet number zero") << "TxtNumFich" << "0" << number;
        QTest::newRow("sheet number decimal") << "TxtNumFich" << "2,5" << number;
        QTest::newRow("answered No") << "TxtNbrO" << "12" << QString();
    }
    void saveRefusals()
    {
        QFETCH(QString, box);
        QFETCH(QString, text);
        QFETCH(QString, message);
        const qint64 id = addSheet(env->dbPath(), 12, 1, {{"NBRO", "4"}});
        Form5* f = openCouple(12);
        f->findChild<QLineEdit*>(box)->setText(text);
        if (message.isEmpty())
            env->messages.answerNo();
        QTest::mouseClick(f->ui->CmdModif, Qt::LeftButton);
        if (!message.isEmpty())
            QCOMPARE(env->messages.texts(), QStringList{message});
        QVERIFY(f->isVisible());
        auto rs = sheetRow(env->dbPath(), id);
        QCOMPARE(rs->text("NBRO"), QStringLiteral("4"));
        QCOMPARE(rs->text("NUMFICH"), QStringLiteral("1"));
        QCOMPARE(rs->text("DATEPONC"), QString());
        QVERIFY(fake->log().isEmpty());
    }

    void saveOfASheetDeletedElsewhere()
    {
        const qint64 id = addSheet(env->dbPath(), 12, 1);
        Form5* f = openCouple(12);
        data::Database::open(env->dbPath())->exec(QStringLiteral("DELETE FROM FICHE WHERE NUMINTFICH=%1").arg(id));
        f->ui->TxtNbrO->setText(QStringLiteral("8"));
        env->messages.answerYes();
        QTest::mouseClick(f->ui->CmdModif, Qt::LeftButton);
        QCOMPARE(env->messages.boxes.size(), 2);
        QVERIFY(env->messages.boxes.last().text.startsWith(QStringLiteral("La fiche n'a pas pu être enregistrée")));
        QVERIFY(forms().isLoaded<Form5>());
        QCOMPARE(f->ui->TxtNbrO->text(), QStringLiteral("8"));
    }

    // Since the window showed the sheet, another workstation changed or deleted it, or a write of theirs failed and
    // was rolled back, or another file whose sheet of that number is another couple's was copied over the file. The
    // save and the delete reach the sheet shown only: asked about a change of it, refused when it is no longer there.
    void sheetChangedElsewhereSinceShown_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<QString>("meanwhile");
        QTest::addColumn<bool>("yes"); // the answer to the question about another workstation's change
        QTest::addColumn<QStringList>("told");
        QTest::addColumn<QString>("after"); // the sheet's NBRO and NBRE, "-" when it is gone
        QTest::addColumn<bool>("open");
        const QString save = QStringLiteral("Voulez vous vraiment enregistrer les modifications apportées à cette Fiche ?");
        const QString saveChanged = QStringLiteral("Cette fiche a été modifiée sur un autre poste depuis son ouverture. "
                                                   "Enregistrer quand même vos modifications ?");
        const QString saved = QStringLiteral("Fiche courante modifiée");
        const QString saveGone = QStringLiteral("La fiche n'a pas pu être enregistrée : elle a été supprimée ou "
                                                "remplacée sur un autre poste ; vos saisies restent affichées.");
        const QString del = QStringLiteral("Voulez vous vraiment SUPPRIMER cette Fiche ?");
        const QString delChanged = QStringLiteral("Cette fiche a été modifiée sur un autre poste depuis son "
                                                  "ouverture. La supprimer quand même ?");
        const QString delGone = QStringLiteral("La fiche n'a pas pu être supprimée : elle a été supprimée ou "
                                               "remplacée sur un autre poste.");
        QTest::newRow("save, changed, stored over it") << "save" << "changed" << true
                                                       << QStringList{save, saveChanged, saved} << "8/" << false;
        QTest::newRow("save, changed, left to them") << "save" << "changed" << false
                                                     << QStringList{save, saveChanged} << "/7" << true;
        QTest::newRow("save, deleted") << "save" << "deleted" << false << QStringList{save, saveGone} << "-" << true;
        QTest::newRow("save, rolled back") << "save" << "rolled back" << false << QStringList{save, saved} << "8/"
                                           << false;
        QTest::newRow("save, changed then rolled back") << "save" << "changed, rolled back" << true
                                                        << QStringList{save, saveChanged, saved} << "8/" << false;
        QTest::newRow("save, another file copied over") << "save" << "copied" << false << QStringList{save, saveGone}
                                                        << "-" << true;
        QTest::newRow("delete, changed, deleted all the same") << "delete" << "changed" << true
                                                               << QStringList{del, delChanged} << "-" << false;
        QTest::newRow("delete, changed, left to them") << "delete" << "changed" << false
                                                       << QStringList{del, delChanged} << "/7" << false;
        QTest::newRow("delete, deleted") << "delete" << "deleted" << false << QStringList{del, delGone} << "-" << false;
        QTest::newRow("delete, rolled back") << "delete" << "rolled back" << false << QStringList{del} << "-" << false;
        QTest::newRow("delete, another file copied over") << "delete" << "copied" << false
                                                          << QStringList{del, delGone} << "-" << false;
    }
    void sheetChangedElsewhereSinceShown()
    {
        QFETCH(QString, command);
        QFETCH(QString, meanwhile);
        QFETCH(bool, yes);
        QFETCH(QStringList, told);
        QFETCH(QString, after);
        QFETCH(bool, open);
        // The other file: its first sheet is couple 13's, written as often as this one (a later counter).
        const QString theirs = env->path("theirs.mdb");
        QVERIFY(QFile::copy(env->dbPath(), theirs));
        const qint64 id = addSheet(env->dbPath(), 12, 1);
        QCOMPARE(addSheet(theirs, 13, 1, {{"NBRE", "13"}}), id);
        addSheet(theirs, 13, 2);
        Form5* f = openCouple(12);
        const QString sheet = QStringLiteral("NUMINTFICH=%1").arg(id);
        if (meanwhile.startsWith("changed"))
            QVERIFY(workstation::act({"sql", env->dbPath(), "UPDATE FICHE SET NBRE='7' WHERE " + sheet}));
        if (meanwhile == "deleted")
            QVERIFY(workstation::act({"sql", env->dbPath(), "DELETE FROM FICHE WHERE " + sheet}));
        if (meanwhile.endsWith("rolled back"))
            QVERIFY(workstation::act({"rollback", env->dbPath(), workstation::kLargeWrite}));
        if (meanwhile == "copied")
            QCOMPARE(QProcess::execute("cp", {theirs, env->dbPath()}), 0);
        f->ui->TxtNbrO->setText(QStringLiteral("8"));
        env->messages.answerYes();
        if (told.size() > 1 && told[1].endsWith(QLatin1Char('?')))
            env->messages.answer(yes ? platform::MsgResult::Yes : platform::MsgResult::No);
        QTest::mouseClick(command == "save" ? f->ui->CmdModif : f->ui->CmdSupprimer, Qt::LeftButton);
        QCOMPARE(env->messages.texts(), told);
        auto rs = sheetRow(env->dbPath(), id);
        if (meanwhile == "copied") {
            QCOMPARE(rs->text("NUMERO") + "/" + rs->text("NBRO") + "/" + rs->text("NBRE"), QString("13//13"));
            QCOMPARE(sheetCount(env->dbPath(), 12), 0);
        } else {
            QCOMPARE(rs ? rs->text("NBRO") + "/" + rs->text("NBRE") : QString("-"), after);
        }
        QCOMPARE(forms().isLoaded<Form5>(), open);
        if (open)
            QCOMPARE(f->ui->TxtNbrO->text(), QStringLiteral("8"));
    }

    void deleteRemovesOnlyTheShownSheet()
    {
        const qint64 first = addSheet(env->dbPath(), 1, 2);
        addSheet(env->dbPath(), 2, 1);
        const qint64 shown = addSheet(env->dbPath(), 2, 2);
        Form5* f = openCouple(2);
        forms().get<Form4>()->ui->NumLbl->setText(QStringLiteral("1")); // the main window moved to couple 1
        f->ui->TxtNumFich->setText(QStringLiteral("1"));              // typed, not saved
        env->messages.answerYes();
        QTest::mouseClick(f->ui->CmdSupprimer, Qt::LeftButton);
        QCOMPARE(env->messages.texts(), QStringList{"Voulez vous vraiment SUPPRIMER cette Fiche ?"});
        QVERIFY(!sheetRow(env->dbPath(), shown));
        QVERIFY(sheetRow(env->dbPath(), first));
        QCOMPARE(sheetCount(env->dbPath(), 2), 1);
        QVERIFY(!forms().isLoaded<Form5>());
        QCOMPARE(fake->log(), QStringList{"quit"});
    }

    void deleteAnsweredNoStillCloses()
    {
        addSheet(env->dbPath(), 2, 1);
        Form5* f = openCouple(2);
        env->messages.answerNo();
        QTest::mouseClick(f->ui->CmdSupprimer, Qt::LeftButton);
        QCOMPARE(sheetCount(env->dbPath(), 2), 1);
        QVERIFY(!forms().isLoaded<Form5>());
    }

    void withoutASheetNothingIsSavedOrDeleted()
    {
        Form5* f = openCouple(4); // the main window would not show it; its buttons must stay harmless all the same
        for (QPushButton* b : {f->ui->Command1, f->ui->Command2, f->ui->Command3, f->ui->Command4,
                               f->ui->CmdSupprimer, f->ui->CmdModif})
            QTest::mouseClick(b, Qt::LeftButton);
        QCOMPARE(env->messages.texts(), QStringList());
        QVERIFY(forms().isLoaded<Form5>());
        QTest::mouseClick(f->ui->Command5, Qt::LeftButton);
        QCOMPARE(env->messages.texts(), QStringList{"Aucune fiche n'est affichée : pas de suivi de grossesse possible."});
        QVERIFY(!forms().isLoaded<Form30>());
    }

    void quitEmptiesTheSearchBox()
    {
        addSheet(env->dbPath(), 2, 1);
        Form5* f = openCouple(2);
        Form4* main = forms().get<Form4>();
        {
            const QSignalBlocker quiet(main->ui->Text1); // typing would search
            main->ui->Text1->setText(QStringLiteral("MART"));
        }
        QTest::mouseClick(f->ui->CmdQuitte, Qt::LeftButton);
        QVERIFY(!forms().isLoaded<Form5>());
        QCOMPARE(main->ui->Text1->text(), QString());
        QCOMPARE(env->messages.texts(), QStringList());
        QCOMPARE(fake->log(), QStringList{"quit"});
        QVERIFY(!main->isVisible()); // focusing the box never shows a hidden main window
    }

    void otherWindowsAndHelp()
    {
        {
            // The creation window wants the couple's dossier.
            auto db = data::Database::open(env->dbPath());
            auto rs = db->OpenRecordset(QStringLiteral("SELECT*FROM CIVILITES"));
            for (const char* nom : {"DURAND", "MARTIN"}) {
                rs->AddNew();
                rs->setField(QStringLiteral("Nom"), QString::fromLatin1(nom));
                rs->Update();
            }
        }
        addSheet(env->dbPath(), 2, 1);
        Form5* f = openCouple(2);
        QTest::mouseClick(f->ui->CmdCree, Qt::LeftButton);
        QVERIFY(forms().find<Form6>() && forms().find<Form6>()->isVisible());
        f->ui->reserve->trigger();
        QVERIFY(forms().find<Form11>() && forms().find<Form11>()->isVisible());
        f->ui->Aide->trigger();
        QCOMPARE(env->help.calls.size(), 1);
        QCOMPARE(env->help.calls[0].topic, 70);
        QCOMPARE(env->help.calls[0].command, platform::HelpContext);
        QVERIFY(f->isVisible());
    }

    void workbook()
    {
        addSheet(env->dbPath(), 2, 1, {{"NomFichier", "MARTICl1_38426.xls"}});
        addSheet(env->dbPath(), 2, 2);
        Form5* f = openCouple(2);
        const QString missing = env->workbookDir() + QStringLiteral("/Pas de Fiche stim");
        QTest::mouseClick(f->ui->CmdOuvrXls, Qt::LeftButton);
        QCOMPARE(env->messages.texts(), QStringList{"Fichier " + missing + " introuvable"});
        QVERIFY(fake->log().isEmpty()); // no spreadsheet started for nothing
        // An emptied setting means the program directory, where the creation window saved too.
        env->setSetting(QStringLiteral("CheminXls"), QString());
        env->messages.clear();
        QTest::mouseClick(f->ui->CmdOuvrXls, Qt::LeftButton);
        QCOMPARE(env->messages.texts(), QStringList{"Fichier " + platform::programFile("Pas de Fiche stim") + " introuvable"});
        QCOMPARE(cycles::workbookPath(QStringLiteral("x.xls")), platform::programFile(QStringLiteral("x.xls")));
        env->setSetting(QStringLiteral("CheminXls"), env->workbookDir());

        QTest::mouseClick(f->ui->Command3, Qt::LeftButton);
        const QString path = env->workbookDir() + QStringLiteral("/MARTICl1_38426.xls");
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.close();
        env->messages.clear();
        QTest::mouseClick(f->ui->CmdOuvrXls, Qt::LeftButton);
        QCOMPARE(fake->log(), QStringList{"open " + path});
        // Open again: the workbook and its edits stay and come to the front; nothing is closed.
        QTest::mouseClick(f->ui->CmdOuvrXls, Qt::LeftButton);
        QCOMPARE(fake->log(), QStringList({"open " + path, "front 1"}));
        QVERIFY(env->messages.boxes.isEmpty());
        QCOMPARE(fake->openDocuments().size(), 1);
        // Closed by the user meanwhile: opened again.
        fake->userCloses(fake->openDocuments().first());
        QTest::mouseClick(f->ui->CmdOuvrXls, Qt::LeftButton);
        QCOMPARE(fake->log().size(), 3);

        env->messages.clear();
        fake->setAvailable(false);
        fake->userCloses(fake->openDocuments().first());
        QTest::mouseClick(f->ui->CmdOuvrXls, Qt::LeftButton);
        QCOMPARE(env->messages.texts(), QStringList{"Aucun tableur n'a pu être lancé pour ouvrir " + path + "."});
    }

    void followUp()
    {
        const qint64 withRow = addSheet(env->dbPath(), 2, 1);
        const qint64 without = addSheet(env->dbPath(), 2, 2);
        {
            auto rs = data::Database::open(env->dbPath())->OpenRecordset(QStringLiteral("SELECT*FROM GROSSESSE"));
            rs->AddNew();
            rs->setField(QStringLiteral("NUMFICH"), double(withRow));
            rs->setField(QStringLiteral("Nom"), QStringLiteral("MARTIN"));
            rs->Update();
        }
        Form5* f = openCouple(2);
        QCOMPARE(f->ui->TxtNumIntFich->text(), QString::number(without));
        env->messages.answerNo();
        QTest::mouseClick(f->ui->Command5, Qt::LeftButton);
        QCOMPARE(env->messages.texts(), QStringList{"Voulez vous creer une Fiche de suivi de grossesse"});
        QCOMPARE(data::GROSS_EXISTE, false);
        QCOMPARE(data::CHEMINS_BASE, env->dbPath());
        QCOMPARE(data::SQL_GROSS, QStringLiteral("SELECT*FROM GROSSESSE WHERE NUMFICH=%1").arg(without));
        QVERIFY(f->isVisible());
        QVERIFY(!forms().isLoaded<Form30>());

        env->messages.answerYes();
        QTest::mouseClick(f->ui->Command5, Qt::LeftButton);
        QVERIFY(forms().find<Form30>() && forms().find<Form30>()->isVisible());
        QVERIFY(!f->isVisible() && forms().isLoaded<Form5>());
        forms().unload<Form30>();
        QCOMPARE(data::Database::open(env->dbPath())->OpenRecordset(QStringLiteral("SELECT*FROM GROSSESSE"))->RecordCount(), 1);

        env->messages.clear();
        forms().show<Form5>();
        QTest::mouseClick(f->ui->Command3, Qt::LeftButton);
        QTest::mouseClick(f->ui->Command5, Qt::LeftButton);
        QCOMPARE(env->messages.texts(), QStringList());
        QCOMPARE(data::GROSS_EXISTE, true);
        QCOMPARE(data::RS_GROSS->text(QStringLiteral("Nom")), QStringLiteral("MARTIN"));
        QVERIFY(!f->isVisible());

        // The sheet window shown again over the open follow-up, moved to the other sheet: the follow-up of
        // that sheet opens, not the one still open.
        forms().show<Form5>();
        QTest::mouseClick(f->ui->Command4, Qt::LeftButton);
        env->messages.answerYes();
        QTest::mouseClick(f->ui->Command5, Qt::LeftButton);
        QCOMPARE(forms().find<Form30>()->ui->TxtNumFich->text(), QString::number(without));
        QVERIFY(forms().find<Form30>()->isVisible());
        QVERIFY(!f->isVisible());
    }

    void followUpWithAnUnusableDatabase()
    {
        addSheet(env->dbPath(), 2, 1);
        env->setSetting(QStringLiteral("CHEMINS"), env->path(QStringLiteral("absent.mdb")));
        Form5* f = openCouple(2);
        QTest::mouseClick(f->ui->Command5, Qt::LeftButton);
        QCOMPARE(env->messages.boxes.size(), 1);
        QVERIFY(env->messages.boxes[0].text.startsWith(
            QStringLiteral("Impossible d'ouvrir le suivi de grossesse dans la base ") + env->path(QStringLiteral("absent.mdb"))));
        QVERIFY(f->isVisible());
        QVERIFY(!forms().isLoaded<Form30>());
    }

    void unreadableDatabaseGivesOneMessage()
    {
        forms().get<Form4>(); // its load reads the path first
        data::CHEMIN_BASE = env->path(QStringLiteral("absent.mdb"));
        Form5* f = openCouple(2);
        QCOMPARE(env->messages.boxes.size(), 1);
        QVERIFY(env->messages.boxes[0].text.startsWith(QStringLiteral("Impossible de lire la base ")));
        QTest::mouseClick(f->ui->Command2, Qt::LeftButton); // browsing reports its own failure, nothing worse
        QCOMPARE(env->messages.boxes.size(), 2);
    }

    void layoutByEye()
    {
        QVariantMap exams = recentExams();
        exams.insert("DTHCM", daysAgo(400)); // the longest warning
        exams.insert("Diag", QStringLiteral("Infertilité tubaire bilatérale, endométriose stade II"));
        addExams(env->dbPath(), 2, exams);
        addSheet(env->dbPath(), 2, 1, {{"COMMENT", "Ponction sans difficulté"}});
        Form5* f = openCouple(2);
        f->resize(f->sizeHint());
        const QString out = qEnvironmentVariable("FOLIVEX_SHOTS");
        if (!out.isEmpty())
            f->grab().save(out + QStringLiteral("/form5.png"));
        QVERIFY(f->sizeHint().width() < 1280);
    }
};

FOLIVEX_TEST_MAIN(TstSheet)
#include "tst_sheet.moc"
