// The cycle sheet creation window on a fresh database, the fake spreadsheet and the fixed clock (15/03/2005).
#include "app/form4.h"
#include "cycles/fiche.h"
#include "cycles/form6.h"
#include "data/globals.h"
#include "office/fakespreadsheet.h"
#include "platform/conversions.h"
#include "platform/environment.h"
#include "support/rawdb.h"
#include "support/testenv.h"

#include "ui_form4.h"
#include "ui_form6.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSignalSpy>
#include <QApplication>
#include <QThread>
#include <QTest>
#include <functional>
#include <cstdio>
#include <utility>

using data::Database;

namespace {

const QString kSheetQuestion = QStringLiteral("Voulez vous vraiment enregistrer cette nouvelle Fiche ?");
const QString kNoWorkbookQuestion =
    QStringLiteral("Pas de fiche de Stimulation à enregistrer, enregistrer quand même ?");
const QString kDateQuestion =
    QStringLiteral("Date des règles non valide ou date analogue manquante, continuer quand même ?");
const QString kBadDate = QStringLiteral("Une Date a été mal saisie, veuillez la corriger");

struct Fixture {
    TestEnv env;
    office::FakeSpreadsheet fake;
    std::shared_ptr<Database> db;

    Fixture()
    {
        data::CHEMIN_BASE = env.dbPath();
        db = Database::open(env.dbPath());
        for (int n = 1; n <= 10; ++n)
            writeTemplate(n);
    }
    void writeTemplate(int n)
    {
        QFile f(platform::programFile(QStringLiteral("Folivex%1.xls").arg(n, 2, 10, QLatin1Char('0'))));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("template " + QByteArray::number(n));
    }
    int addCouple(const QString& nom, const QString& prenom)
    {
        auto rs = db->OpenRecordset(QStringLiteral("SELECT*FROM CIVILITES"));
        rs->AddNew();
        rs->setField(QStringLiteral("Nom"), nom);
        rs->setField(QStringLiteral("Prenom"), prenom);
        rs->Update();
        rs = db->OpenRecordset(QStringLiteral("SELECT*FROM CIVILITES ORDER BY numero"));
        rs->MoveLast();
        return rs->Fields(QStringLiteral("numero")).toInt();
    }
    void addSheets(int couple, std::initializer_list<int> numbers)
    {
        auto rs = db->OpenRecordset(QStringLiteral("SELECT*FROM FICHE "));
        for (int n : numbers) {
            rs->AddNew();
            rs->setField(QStringLiteral("NUMERO"), couple);
            rs->setField(QStringLiteral("NUMFICH"), n);
            rs->Update();
        }
    }
    Form6* open(int couple)
    {
        platform::forms().get<Form4>()->ui->NumLbl->setText(couple ? QString::number(couple) : QString());
        openCreationWindowFromMain();
        return platform::forms().find<Form6>();
    }
    std::shared_ptr<data::Recordset> sheets(int couple)
    {
        return db->OpenRecordset(cycles::sheetsQuery(couple));
    }
    QString workbook(const QString& name) const { return env.workbookDir() + QLatin1Char('/') + name; }

    // MARTIN Claire with the given sheets, in a freshly loaded window.
    int martin = 0;
    Form6* openMartin(std::initializer_list<int> sheetNumbers = {})
    {
        martin = addCouple(QStringLiteral("MARTIN"), QStringLiteral("Claire"));
        addSheets(martin, sheetNumbers);
        return open(martin);
    }
    // Answers the questions in order, then presses the save button.
    void save(Form6* w, std::initializer_list<bool> answers)
    {
        for (bool yes : answers)
            yes ? env.messages.answerYes() : env.messages.answerNo();
        QTest::mouseClick(w->ui->CmdNouvFiche, Qt::LeftButton);
    }
};

// Another workstation acts while the user reads a question.
struct Meanwhile final : platform::MessageService {
    FakeMessages& boxes;
    QString question;
    std::function<void()> act;
    Meanwhile(FakeMessages& b, QString q, std::function<void()> a) : boxes(b), question(std::move(q)), act(std::move(a))
    {
        platform::setMessageService(this);
    }
    ~Meanwhile() override { platform::setMessageService(&boxes); }
    platform::MsgResult show(const platform::MsgBoxRequest& request) override
    {
        if (act && request.text == question)
            std::exchange(act, nullptr)();
        return boxes.show(request);
    }
};

// How long the office takes to store a workbook, on both workstations: long enough for their saves to overlap.
constexpr int kSaveMs = 200;

// The creation window of a couple with the type and the periods typed, its protocol workbook open.
Form6* readyToSave(int couple)
{
    platform::forms().get<Form4>()->ui->NumLbl->setText(QString::number(couple));
    openCreationWindowFromMain();
    Form6* w = platform::forms().find<Form6>();
    w->ui->CmbType->setEditText(QStringLiteral("FIV"));
    w->ui->TxtJRegles->setText(QStringLiteral("01/03/2005"));
    QTest::mouseClick(w->ui->Command1, Qt::LeftButton);
    return w;
}

// Another workstation: a program of its own on the same database and workbook folder, which saves a new sheet
// for the couple as soon as the file go appears, then writes the messages it gave, one a line.
int otherWorkstation(const QString& database, const QString& workbooks, int couple, const QString& go)
{
    TestEnv env;
    office::FakeSpreadsheet fake;
    fake.delaySaves(kSaveMs);
    env.setSetting(QStringLiteral("CHEMIN"), database);
    env.setSetting(QStringLiteral("CheminXls"), workbooks);
    data::CHEMIN_BASE = database;
    QFile protocol(platform::programFile(QStringLiteral("Folivex01.xls")));
    if (!protocol.open(QIODevice::WriteOnly) || protocol.write("template of the other workstation") <= 0)
        return 1;
    protocol.close();
    Form6* w = readyToSave(couple);
    std::printf("ready\n");
    std::fflush(stdout);
    while (!QFile::exists(go))
        QThread::msleep(1);
    for (int i = 0; i < 3; ++i) // whatever it asks
        env.messages.answerYes();
    QTest::mouseClick(w->ui->CmdNouvFiche, Qt::LeftButton);
    std::printf("%s\n", qPrintable(env.messages.texts().join(QLatin1Char('\n'))));
    return 0;
}

} // namespace

class TstCreation : public QObject {
    Q_OBJECT
private slots:
    void loadShowsCoupleListsAndDesignState();
    void nextSheetNumber();
    void staleExams_data();
    void staleExams();
    void uncheckedExamsAreSaid();
    void emptyListsDoNotStopTheLoad();
    void refusesWithoutCouple();
    void optionsShowTheirProductBox();
    void calendarFillsOnlyTheChosenDate();
    void protocolPersonalisesTheWorkingCopy();
    void protocolQuestionsAndMissingTemplate();
    void saveStoresWorkbookAndRow();
    void saveWithoutWorkbook();
    void saveRefusals();
    void blankDateBoxesAreEmpty_data();
    void blankDateBoxesAreEmpty();
    void existingFileIsNeverReplaced();
    void couplesNeverShareAWorkbook();
    void missingWorkbookFolderIsNamed();
    void sheetStaysWithTheLoadedCouple();
    void coupleDeletedMeanwhileStoresNothing();
    void sheetNumberTakenElsewhere_data();
    void sheetNumberTakenElsewhere();
    void databaseFailureKeepsTheWindow();
    void otherWorkstationSavesAtTheSameMoment_data();
    void otherWorkstationSavesAtTheSameMoment();
    void quitAndHelp();
};

void TstCreation::loadShowsCoupleListsAndDesignState()
{
    Fixture f;
    Form6* w = f.openMartin();
    const int couple = f.martin;
    QVERIFY(w && w->isVisible());
    const auto& ui = *w->ui;
    QCOMPARE(ui.LblNom->text(), QStringLiteral("MARTIN"));
    QCOMPARE(ui.lblprenom->text(), QStringLiteral("Claire"));
    QCOMPARE(ui.LblNumFich->text(), QStringLiteral("1"));
    QCOMPARE(ui.TxtMiseRoute->text(), QStringLiteral("15/03/2005"));
    QCOMPARE(ui.MonthView1->selectedDate(), QDate(2005, 3, 15));
    // Lists filled in table order, the boxes themselves left empty.
    QCOMPARE(ui.CmbAna->count(), 4);
    QCOMPARE(ui.CmbAna->itemText(1), QStringLiteral("Décapeptyl 3"));
    QCOMPARE(ui.CmbType->itemText(0), QStringLiteral("FIV"));
    QCOMPARE(ui.CmbDeclencho->count(), 3);
    for (const QComboBox* c : {ui.CmbAna, ui.CmbAntago, ui.CmbStimuline, ui.CmbType, ui.CmbDeclencho})
        QVERIFY(c->currentText().isEmpty());
    QVERIFY(ui.TxtDatAna->text().isEmpty() && ui.TxtJRegles->text().isEmpty());
    QCOMPARE(ui.Command1->text(), QStringLiteral("Agoniste long"));
    QCOMPARE(ui.Command10->text(), QStringLiteral("Protocole 10"));
    QCOMPARE(ui.TxtEntete->text(), QStringLiteral("Centre d'AMP - Fiche de stimulation"));
    QVERIFY(ui.Label30->isHidden()); // no exam row
    QVERIFY(ui.OptBloc3->isChecked() && ui.Optstim4->isChecked() && ui.Option2->isChecked());
    QVERIFY(ui.Check1->isChecked());
    QVERIFY(ui.CmbAna->isHidden() && !ui.CmbAntago->isHidden() && !ui.CmbStimuline->isHidden());
    w->grab().save(QDir::tempPath() + QStringLiteral("/form6.png"));

    // Opening again only brings it to the front.
    w->ui->TxtDatAna->setText(QStringLiteral("01/03/2005"));
    openCreationWindowFromMain();
    QCOMPARE(platform::forms().find<Form6>(), w);
    QCOMPARE(w->ui->TxtDatAna->text(), QStringLiteral("01/03/2005"));
}

void TstCreation::nextSheetNumber()
{
    Fixture f;
    const int a = f.addCouple(QStringLiteral("A"), QStringLiteral("a"));
    const int b = f.addCouple(QStringLiteral("B"), QStringLiteral("b"));
    const int c = f.addCouple(QStringLiteral("C"), QStringLiteral("c"));
    f.addSheets(a, {1, 2, 3});
    f.addSheets(b, {1, 3, 4}); // sheet 2 deleted: its number is not given again
    f.addSheets(c, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10});
    QCOMPARE(cycles::nextSheetNumber(f.db, b), 5);
    QCOMPARE(cycles::nextSheetNumber(f.db, c), 11); // numeric order: the tenth sheet is the highest
    QCOMPARE(cycles::nextSheetNumber(f.db, 99), 1);
    QCOMPARE(f.open(a)->ui->LblNumFich->text(), QStringLiteral("4"));
}

void TstCreation::staleExams_data()
{
    QTest::addColumn<bool>("examRow");
    QTest::addColumn<int>("spermDays"); // age of DTSPERMO, -1000: empty
    QTest::addColumn<int>("labDays");   // age of DTHCM, every other lab date 10 days old
    QTest::addColumn<QString>("caption"); // empty: no warning
    const QString sperm = QStringLiteral("Dossier non à jour (Dernier spermogramme, plus de 3 mois)");
    const QString lab = QStringLiteral("Dossier non à jour (examens de labo non à jour)");
    QTest::newRow("spermogram 93 days") << true << 93 << 10 << sperm;
    QTest::newRow("spermogram 92 days") << true << 92 << 10 << QString();
    QTest::newRow("lab 366 days wins") << true << 93 << 366 << lab;
    QTest::newRow("lab 365 days") << true << 10 << 365 << QString();
    QTest::newRow("lab in the future") << true << 10 << -400 << QString();
    QTest::newRow("empty spermogram") << true << -1000 << 10 << QString();
    QTest::newRow("no exam row") << false << 0 << 0 << QString();
}

void TstCreation::staleExams()
{
    QFETCH(bool, examRow);
    QFETCH(int, spermDays);
    QFETCH(int, labDays);
    QFETCH(QString, caption);
    Fixture f;
    const int couple = f.addCouple(QStringLiteral("MARTIN"), QStringLiteral("Claire"));
    if (examRow) {
        const QDate today = platform::today();
        const auto ago = [&](int days) { return platform::shortDate(today.addDays(-days)); };
        auto rs = f.db->OpenRecordset(QStringLiteral("SELECT*FROM EXAMENS"));
        rs->AddNew();
        rs->setField(QStringLiteral("NUMERO"), couple);
        for (const char* col : {"DTGENF", "DTBWF", "DTHIVF", "DTHBF", "DTHCF", "DTTOXOF", "DTRUBF", "DTHF",
                                "DTGENM", "DTBWM", "DTHIVM", "DTHBM"})
            rs->setField(QLatin1String(col), ago(10));
        rs->setField(QStringLiteral("DTHCM"), ago(labDays));
        rs->setField(QStringLiteral("DTSPERMO"), spermDays == -1000 ? QString() : ago(spermDays));
        rs->Update();
    }
    Form6* w = f.open(couple);
    QVERIFY(w);
    QCOMPARE(w->ui->Label30->isHidden(), caption.isEmpty());
    if (!caption.isEmpty())
        QCOMPARE(w->ui->Label30->text(), caption);
}

// Exams that cannot be read (rows the engine fails to read) never pass for a recent work-up.
void TstCreation::uncheckedExamsAreSaid()
{
    Fixture f;
    const int couple = f.addCouple(QStringLiteral("MARTIN"), QStringLiteral("Claire"));
    {
        RawDb raw(f.env.dbPath());
        QVERIFY(raw.exec(QStringLiteral("INSERT INTO EXAMENS (NUMERO) VALUES (%1)").arg(couple)));
        // A column the engine fails to compute, at every row read.
        QVERIFY(raw.exec(QStringLiteral("ALTER TABLE EXAMENS ADD COLUMN ILLISIBLE GENERATED ALWAYS AS "
                                         "(abs(-9223372036854775807 - 1)) VIRTUAL")));
    }
    Form6* w = f.open(couple);
    QVERIFY(w && w->isVisible());
    QVERIFY(!w->ui->Label30->isHidden());
    QCOMPARE(w->ui->Label30->text(), QStringLiteral("Vérification des examens impossible : la base n'a pas pu être lue"));
}

void TstCreation::emptyListsDoNotStopTheLoad()
{
    Fixture f;
    f.db->exec(QStringLiteral("DELETE FROM OPTIONS WHERE NUMEROS IN (15, 21, 3)"));
    const int couple = f.addCouple(QStringLiteral("MARTIN"), QStringLiteral("Claire"));
    Form6* w = f.open(couple);
    QVERIFY(w && w->isVisible());
    QVERIFY(w->ui->TxtEntete->text().isEmpty());
    QCOMPARE(w->ui->Command1->text(), QStringLiteral("Protocole 1"));
    QCOMPARE(w->ui->Command2->text(), QStringLiteral("Agoniste court"));
    QCOMPARE(w->ui->CmbAna->count(), 0);
    QVERIFY(f.env.messages.boxes.isEmpty());
}

void TstCreation::refusesWithoutCouple()
{
    Fixture f;
    QVERIFY(!f.open(0));
    QCOMPARE(f.env.messages.boxes.size(), 1);
    QVERIFY(!platform::forms().isLoaded<Form6>());
    // A couple number whose dossier is gone.
    QVERIFY(!f.open(42));
    QVERIFY(f.env.messages.texts().last().contains(QStringLiteral("introuvable")));
}

void TstCreation::optionsShowTheirProductBox()
{
    Fixture f;
    Form6* w = f.openMartin();
    auto& ui = *w->ui;
    ui.CmbAntago->setEditText(QStringLiteral("Cetrotide"));
    ui.OptBloc1->click();
    QVERIFY(ui.CmbAna->isHidden() && ui.CmbAntago->isHidden());
    QCOMPARE(ui.CmbAntago->currentText(), QStringLiteral("Cetrotide")); // hidden, not emptied
    ui.OptBloc2->click();
    QVERIFY(!ui.CmbAna->isHidden() && ui.CmbAntago->isHidden());
    ui.OptBloc3->click();
    QVERIFY(ui.CmbAna->isHidden() && !ui.CmbAntago->isHidden());

    const std::pair<QRadioButton*, bool> stim[] = {
        {ui.OptStim1, false}, {ui.OptStim3, true}, {ui.OptStim2, false}, {ui.Optstim4, true}};
    for (const auto& [button, shown] : stim) {
        button->click();
        QCOMPARE(!ui.CmbStimuline->isHidden(), shown);
    }
}

void TstCreation::calendarFillsOnlyTheChosenDate()
{
    Fixture f;
    Form6* w = f.openMartin();
    auto& ui = *w->ui;
    const auto pick = [&](const QDate& d) {
        ui.MonthView1->setSelectedDate(d);
        emit ui.MonthView1->clicked(d);
    };
    pick(QDate(2005, 3, 2));
    QCOMPARE(ui.TxtJRegles->text(), QStringLiteral("02/03/2005"));
    QVERIFY(ui.TxtDatAna->text().isEmpty());
    ui.Option1->click();
    pick(QDate(2005, 2, 20));
    QCOMPARE(ui.TxtDatAna->text(), QStringLiteral("20/02/2005"));
    QCOMPARE(ui.TxtJRegles->text(), QStringLiteral("02/03/2005"));
    QTest::mouseClick(ui.Command11, Qt::LeftButton);
    QVERIFY(ui.TxtDatAna->text().isEmpty() && ui.TxtJRegles->text().isEmpty());
}

void TstCreation::protocolPersonalisesTheWorkingCopy()
{
    Fixture f;
    Form6* w = f.openMartin();
    auto& ui = *w->ui;
    ui.TxtJRegles->setText(QStringLiteral("1/3/05"));
    ui.TxtDatAna->setText(QStringLiteral("20/02/2005"));
    ui.CmbType->setEditText(QStringLiteral("ICSI"));

    QTest::mouseClick(ui.Command3, Qt::LeftButton);
    QTest::mouseClick(ui.Command5, Qt::LeftButton);
    QCOMPARE(w->templateName(), QStringLiteral("Folivex05.xls"));
    QFile copy(office::workingCopyPath());
    QVERIFY(copy.open(QIODevice::ReadOnly));
    QCOMPARE(copy.readAll(), QByteArray("template 5"));
    // The first workbook is closed before the second copy is opened.
    const QStringList log = f.fake.log();
    const int secondOpen = log.lastIndexOf(QStringLiteral("open ") + office::workingCopyPath());
    QVERIFY(log.indexOf(QStringLiteral("close 1")) >= 0 && log.indexOf(QStringLiteral("close 1")) < secondOpen);
    QCOMPARE(f.fake.openDocuments(), QList<int>{2});
    QCOMPARE(f.fake.writes(2), (QStringList{
        QStringLiteral("A3=text \"Centre d'AMP - Fiche de stimulation\""), QStringLiteral("B6=text \"MARTIN\""),
        QStringLiteral("K6=text \"Claire\""), QStringLiteral("I1=date 01/03/2005"),
        QStringLiteral("H10=date 20/02/2005"), QStringLiteral("N8=typed \"1\""),
        QStringLiteral("K8=text \"ICSI\"")}));

    // Only the analogue date: no question, H10 written and I1 left alone.
    ui.TxtJRegles->clear();
    QTest::mouseClick(ui.Command1, Qt::LeftButton);
    const QStringList cells = f.fake.writes(3);
    QVERIFY(cells.contains(QStringLiteral("H10=date 20/02/2005")));
    QVERIFY(!cells.join(' ').contains(QStringLiteral("I1=")));

    // Unticked: the working copy is opened untouched.
    ui.Check1->click();
    QTest::mouseClick(ui.Command2, Qt::LeftButton);
    QCOMPARE(f.fake.openDocuments(), QList<int>{4});
    QVERIFY(f.fake.writes(4).isEmpty());
    QVERIFY(f.env.messages.boxes.isEmpty());
}

void TstCreation::protocolQuestionsAndMissingTemplate()
{
    Fixture f;
    Form6* w = f.openMartin();
    auto& ui = *w->ui;
    ui.TxtJRegles->setText(QStringLiteral("32/13/2005"));
    f.env.messages.answerNo();
    QTest::mouseClick(ui.Command1, Qt::LeftButton);
    QCOMPARE(f.env.messages.texts(), QStringList{kDateQuestion});
    QVERIFY(f.fake.openDocuments().isEmpty());
    f.env.messages.answerYes();
    QTest::mouseClick(ui.Command1, Qt::LeftButton);
    QCOMPARE(f.fake.openDocuments().size(), 1);

    f.env.messages.clear();
    QFile::remove(platform::programFile(QStringLiteral("Folivex07.xls")));
    QTest::mouseClick(ui.Command7, Qt::LeftButton);
    QCOMPARE(f.env.messages.texts(), QStringList{QStringLiteral("Le fichier ") +
                                                 platform::programFile(QStringLiteral("Folivex07.xls")) +
                                                 QStringLiteral(" n'existe pas.")});
    QVERIFY(f.fake.openDocuments().isEmpty()); // the earlier workbook was closed by the button
}

void TstCreation::saveStoresWorkbookAndRow()
{
    Fixture f;
    Form6* w = f.openMartin({1, 2});
    const int couple = f.martin;
    auto& ui = *w->ui;
    QCOMPARE(ui.LblNumFich->text(), QStringLiteral("3"));
    ui.CmbType->setEditText(QStringLiteral("FIV"));
    ui.OptBloc2->click();
    ui.CmbAna->setEditText(QStringLiteral("Décapeptyl 0,1"));
    ui.CmbAntago->setEditText(QStringLiteral("Orgalutran")); // hidden, still saved
    ui.OptStim3->click();
    ui.CmbStimuline->setEditText(QStringLiteral("Gonal-f"));
    ui.CmbDeclencho->setEditText(QStringLiteral("Ovitrelle"));
    ui.TxtMiseRoute->setText(QStringLiteral("14/03/2005"));
    ui.TxtDatAna->setText(QStringLiteral("20/02/2005"));
    ui.TxtJRegles->setText(QStringLiteral("01/03/2005"));
    QTest::mouseClick(ui.Command1, Qt::LeftButton);

    f.save(w, {true});
    QCOMPARE(f.env.messages.texts(), (QStringList{kSheetQuestion, QStringLiteral("Nouvelle Fiche Enregistrée")}));
    QVERIFY(!platform::forms().isLoaded<Form6>());
    QFile workbook(f.workbook(QStringLiteral("MARTICl3_38426.xls")));
    QVERIFY(workbook.open(QIODevice::ReadOnly));
    QVERIFY(workbook.readAll().startsWith("template 1\nA3=")); // the protocol's workbook as personalised
    QCOMPARE(QDir(f.env.workbookDir()).entryList(QDir::Files | QDir::Hidden), QStringList{"MARTICl3_38426.xls"});
    QVERIFY(f.fake.openDocuments().isEmpty());

    auto rs = f.sheets(couple);
    QCOMPARE(rs->RecordCount(), 3);
    rs->MoveLast();
    const std::pair<const char*, QVariant> expected[] = {
        {"NUMERO", couple}, {"ANA", "Décapeptyl 0,1"}, {"JCYCLE", 38425.0}, {"STIMULINE", "Gonal-f"},
        {"MODAL", ""}, {"TYPE", "FIV"}, {"ANTAGO", "Orgalutran"}, {"DECLENCHO", "Ovitrelle"},
        {"OPTIONBLOC", 2}, {"OPTIONSTIM", 3}, {"DATANA", "20/02/2005"}, {"DATEPONC", ""},
        {"MODPONCTION", ""}, {"DATETRANS", ""}, {"JSTIM", "01/03/2005"}, {"NBRE", ""}, {"NBREC", ""},
        {"NBRET", ""}, {"NBRO", ""}, {"REDUC", 0}, {"NUMFICH", 3}, {"TRAITEMENT", ""}, {"GROSSESSE", ""},
        {"MULTIPLE", ""}, {"GYNECOP", ""}, {"GYNECOT", ""}, {"ANESTHESI", ""}, {"COMMENT", ""},
        {"NomFichier", "MARTICl3_38426.xls"}, {"ABANDON", 0}};
    for (const auto& [column, value] : expected) {
        const QVariant got = rs->Fields(QLatin1String(column));
        QVERIFY2(!got.isNull(), column);
        QVERIFY2(got.toString() == value.toString(), qPrintable(QStringLiteral("%1: %2").arg(column, got.toString())));
    }
    QVERIFY(rs->Fields(QStringLiteral("NUMINTFICH")).toInt() > 0);

    // Helpers: a short surname is taken whole.
    QCOMPARE(cycles::workbookFileName(QStringLiteral("ROY"), QStringLiteral("Anne"), QStringLiteral("1"),
                                      QDate(2005, 3, 15)),
             QStringLiteral("ROYAn1_38426.xls"));
}

void TstCreation::saveWithoutWorkbook()
{
    Fixture f;
    Form6* w = f.openMartin();
    const int couple = f.martin;
    w->ui->CmbType->setEditText(QStringLiteral("IAC"));
    w->ui->TxtMiseRoute->clear(); // an empty start date is stored as Null
    f.save(w, {true, true});
    QCOMPARE(f.env.messages.texts(),
             (QStringList{kSheetQuestion, kNoWorkbookQuestion, QStringLiteral("Nouvelle Fiche Enregistrée")}));
    auto rs = f.sheets(couple);
    QCOMPARE(rs->RecordCount(), 1);
    QCOMPARE(rs->text(QStringLiteral("NomFichier")), cycles::kNoWorkbook);
    QVERIFY(rs->Fields(QStringLiteral("JCYCLE")).isNull());
    QCOMPARE(rs->text(QStringLiteral("OPTIONBLOC")), QStringLiteral("3"));
    QCOMPARE(rs->text(QStringLiteral("OPTIONSTIM")), QStringLiteral("4"));

    // No to the second question: nothing saved, window closed.
    platform::forms().flush();
    w = f.open(couple);
    QCOMPARE(w->ui->LblNumFich->text(), QStringLiteral("2"));
    w->ui->CmbType->setEditText(QStringLiteral("IAC"));
    f.save(w, {true, false});
    QVERIFY(!platform::forms().isLoaded<Form6>());
    QCOMPARE(f.sheets(couple)->RecordCount(), 1);

    // A workbook built, then closed in the spreadsheet: why it is not stored comes before the question.
    platform::forms().flush();
    w = f.open(couple);
    w->ui->CmbType->setEditText(QStringLiteral("IAC"));
    w->ui->TxtJRegles->setText(QStringLiteral("01/03/2005"));
    QTest::mouseClick(w->ui->Command1, Qt::LeftButton);
    f.fake.userCloses(f.fake.openDocuments().first());
    f.env.messages.clear();
    f.save(w, {true, false});
    QCOMPARE(f.env.messages.texts(),
             (QStringList{kSheetQuestion,
                          QStringLiteral("Le classeur du protocole n'est plus ouvert dans le tableur : il ne peut pas "
                                         "être enregistré."),
                          kNoWorkbookQuestion}));
}

void TstCreation::saveRefusals()
{
    Fixture f;
    Form6* w = f.openMartin();
    const int couple = f.martin;
    auto& ui = *w->ui;
    QTest::mouseClick(ui.CmdNouvFiche, Qt::LeftButton);
    QCOMPARE(f.env.messages.texts(), QStringList{QStringLiteral("Vous devez remplir le type de stimulation.")});

    ui.CmbType->setEditText(QStringLiteral("FIV"));
    for (QLineEdit* box : {ui.TxtJRegles, ui.TxtDatAna, ui.TxtMiseRoute}) {
        f.env.messages.clear();
        const QString before = box->text();
        box->setText(QStringLiteral("31/02/2005"));
        QTest::mouseClick(ui.CmdNouvFiche, Qt::LeftButton);
        QCOMPARE(f.env.messages.texts(), QStringList{kBadDate});
        box->setText(before);
    }
    QVERIFY(platform::forms().isLoaded<Form6>());

    // No to the confirmation: nothing saved, the workbook stays open.
    ui.TxtJRegles->setText(QStringLiteral("01/03/2005"));
    QTest::mouseClick(ui.Command4, Qt::LeftButton);
    f.save(w, {false});
    QVERIFY(!platform::forms().isLoaded<Form6>());
    QCOMPARE(f.sheets(couple)->RecordCount(), 0);
    QCOMPARE(f.fake.openDocuments().size(), 1);
}

// A date box that holds only blanks is empty, as in the cycle sheet window: an empty periods or analogue date
// stores the empty text, an empty start date a Null cycle day; a start date that is not a date is refused.
void TstCreation::blankDateBoxesAreEmpty_data()
{
    QTest::addColumn<QString>("box");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("column");
    QTest::addColumn<QVariant>("stored"); // invalid: the save is refused
    QTest::newRow("periods, two blanks") << "TxtJRegles" << "  " << "JSTIM" << QVariant(QString());
    QTest::newRow("analogue, one blank") << "TxtDatAna" << " " << "DATANA" << QVariant(QString());
    QTest::newRow("start, two blanks") << "TxtMiseRoute" << "  " << "JCYCLE" << QVariant(QMetaType(QMetaType::Nullptr));
    QTest::newRow("start, not a date") << "TxtMiseRoute" << "31/02/05" << "JCYCLE" << QVariant();
}

void TstCreation::blankDateBoxesAreEmpty()
{
    QFETCH(QString, box);
    QFETCH(QString, text);
    QFETCH(QString, column);
    QFETCH(QVariant, stored);
    Fixture f;
    Form6* w = f.openMartin();
    w->ui->CmbType->setEditText(QStringLiteral("FIV"));
    w->ui->TxtJRegles->setText(QStringLiteral("01/03/2005"));
    w->ui->TxtDatAna->setText(QStringLiteral("20/02/2005"));
    w->findChild<QLineEdit*>(box)->setText(text);
    if (!stored.isValid()) {
        f.save(w, {});
        QCOMPARE(f.env.messages.texts(), QStringList{kBadDate});
        QVERIFY(platform::forms().isLoaded<Form6>());
        QCOMPARE(f.sheets(f.martin)->RecordCount(), 0);
        return;
    }
    f.save(w, {true, true});
    QCOMPARE(f.env.messages.texts().last(), QStringLiteral("Nouvelle Fiche Enregistrée"));
    auto rs = f.sheets(f.martin);
    QCOMPARE(rs->RecordCount(), 1);
    if (column == QLatin1String("JCYCLE"))
        QVERIFY(rs->Fields(column).isNull());
    else
        QCOMPARE(rs->Fields(column), stored);
}

void TstCreation::existingFileIsNeverReplaced()
{
    Fixture f;
    const int couple = f.addCouple(QStringLiteral("MARTIN"), QStringLiteral("Claire"));
    const QString existing = f.workbook(QStringLiteral("MARTICl1_38426.xls"));
    {
        QFile file(existing);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("earlier workbook");
    }
    Form6* w = f.open(couple);
    w->ui->CmbType->setEditText(QStringLiteral("FIV"));
    w->ui->TxtJRegles->setText(QStringLiteral("01/03/2005"));
    QTest::mouseClick(w->ui->Command1, Qt::LeftButton);
    f.save(w, {true});
    QCOMPARE(f.env.messages.texts(), (QStringList{kSheetQuestion, QStringLiteral("Nouvelle Fiche Enregistrée")}));
    QFile file(existing);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), QByteArray("earlier workbook"));
    QCOMPARE(f.sheets(couple)->text(QStringLiteral("NomFichier")), QStringLiteral("MARTICl1_38426_2.xls"));
    QVERIFY(QFile::exists(f.workbook(QStringLiteral("MARTICl1_38426_2.xls"))));
}

// MARTIN Claire and MARTINEAU Clémence give the same name on the same day: the second takes the next free one.
void TstCreation::couplesNeverShareAWorkbook()
{
    Fixture f;
    const QString base = QStringLiteral("MARTICl1_38426");
    QStringList recorded;
    for (const QString& nom : {QStringLiteral("MARTIN"), QStringLiteral("MARTINEAU"), QStringLiteral("MARTINET")}) {
        const int couple = f.addCouple(nom, nom == QLatin1String("MARTINEAU") ? QStringLiteral("Clémence")
                                                                             : QStringLiteral("Claire"));
        Form6* w = f.open(couple);
        w->ui->CmbType->setEditText(QStringLiteral("FIV"));
        w->ui->TxtJRegles->setText(QStringLiteral("01/03/2005"));
        QTest::mouseClick(w->ui->Command1, Qt::LeftButton);
        f.env.messages.clear();
        f.save(w, {true});
        QCOMPARE(f.env.messages.texts(), (QStringList{kSheetQuestion, QStringLiteral("Nouvelle Fiche Enregistrée")}));
        recorded << f.sheets(couple)->text(QStringLiteral("NomFichier"));
        QFile file(f.workbook(recorded.last()));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(nom.toUtf8()); // the couple's own work in its workbook
    }
    QCOMPARE(recorded, (QStringList{base + ".xls", base + "_2.xls", base + "_3.xls"}));
    QFile first(f.workbook(recorded.first()));
    QVERIFY(first.open(QIODevice::ReadOnly));
    QCOMPARE(first.readAll(), QByteArray("MARTIN"));

    // A file that no sheet names is passed over as well.
    QVERIFY(QFile::remove(f.workbook(recorded[1])));
    f.db->exec(QStringLiteral("UPDATE FICHE SET NomFichier='autre.xls' WHERE NomFichier='%1'").arg(recorded[1]));
    QFile stray(f.workbook(base + "_2.xls"));
    QVERIFY(stray.open(QIODevice::WriteOnly));
    stray.close();
    const int couple = f.addCouple(QStringLiteral("MARTINI"), QStringLiteral("Claude"));
    Form6* w = f.open(couple);
    w->ui->CmbType->setEditText(QStringLiteral("FIV"));
    w->ui->TxtJRegles->setText(QStringLiteral("01/03/2005"));
    QTest::mouseClick(w->ui->Command1, Qt::LeftButton);
    f.env.messages.clear();
    f.save(w, {true});
    QCOMPARE(f.env.messages.texts(), (QStringList{kSheetQuestion, QStringLiteral("Nouvelle Fiche Enregistrée")}));
    QCOMPARE(f.sheets(couple)->text(QStringLiteral("NomFichier")), base + "_4.xls");
    QCOMPARE(QFileInfo(f.workbook(base + "_2.xls")).size(), 0);
}

void TstCreation::missingWorkbookFolderIsNamed()
{
    Fixture f;
    const QString missing = f.env.path(QStringLiteral("classeurs absents"));
    f.env.setSetting(QStringLiteral("CheminXls"), missing);
    Form6* w = f.openMartin();
    w->ui->CmbType->setEditText(QStringLiteral("FIV"));
    w->ui->TxtJRegles->setText(QStringLiteral("01/03/2005"));
    QTest::mouseClick(w->ui->Command1, Qt::LeftButton);
    f.env.messages.clear();
    f.save(w, {true, false});
    const QStringList texts = f.env.messages.texts();
    QCOMPARE(texts.size(), 3);
    QVERIFY(texts[1].contains(missing));
    QVERIFY(texts[1].contains(QStringLiteral("introuvable")));
    QCOMPARE(texts[2], kNoWorkbookQuestion);
    QVERIFY(f.sheets(f.martin)->isEOF());
}

void TstCreation::sheetStaysWithTheLoadedCouple()
{
    Fixture f;
    const int first = f.addCouple(QStringLiteral("MARTIN"), QStringLiteral("Claire"));
    const int second = f.addCouple(QStringLiteral("DUPONT"), QStringLiteral("Sophie"));
    Form6* w = f.open(first);
    platform::forms().find<Form4>()->ui->NumLbl->setText(QString::number(second));
    w->ui->CmbType->setEditText(QStringLiteral("FIV"));
    f.save(w, {true, true});
    QCOMPARE(f.sheets(first)->RecordCount(), 1);
    QCOMPARE(f.sheets(second)->RecordCount(), 0);
}

void TstCreation::coupleDeletedMeanwhileStoresNothing()
{
    Fixture f;
    Form6* w = f.openMartin();
    w->ui->CmbType->setEditText(QStringLiteral("FIV"));
    f.db->exec(QStringLiteral("DELETE FROM CIVILITES WHERE numero=") + QString::number(f.martin));
    f.save(w, {});
    QVERIFY(f.env.messages.texts().last().contains(QStringLiteral("a été supprimé")));
    QVERIFY(platform::forms().isLoaded<Form6>());
    QCOMPARE(f.sheets(f.martin)->RecordCount(), 0);
    QVERIFY(f.fake.log().filter(QStringLiteral("save ")).isEmpty());
}

// Another workstation gives the couple the sheet number this window showed: the sheet is stored under the
// next free number, and its workbook name and number cell follow it.
void TstCreation::sheetNumberTakenElsewhere_data()
{
    QTest::addColumn<QString>("when"); // the question during which the other sheet is stored, or none
    QTest::addColumn<bool>("workbook");
    QTest::newRow("before the save") << QString() << true;
    QTest::newRow("while the save is asked") << kSheetQuestion << true;
    QTest::newRow("while asked to go on without workbook") << kNoWorkbookQuestion << false;
}

void TstCreation::sheetNumberTakenElsewhere()
{
    QFETCH(QString, when);
    QFETCH(bool, workbook);
    Fixture f;
    Form6* w = f.openMartin({1, 2});
    QCOMPARE(w->ui->LblNumFich->text(), QStringLiteral("3"));
    w->ui->CmbType->setEditText(QStringLiteral("FIV"));
    w->ui->TxtJRegles->setText(QStringLiteral("01/03/2005"));
    if (workbook)
        QTest::mouseClick(w->ui->Command1, Qt::LeftButton);
    const auto other = [&] {
        QVERIFY(RawDb(f.env.dbPath())
                    .exec(QStringLiteral("INSERT INTO FICHE (NUMERO, NUMFICH, NomFichier) VALUES (%1, 3, 'AUTRE.xls')")
                              .arg(f.martin)));
    };
    if (when.isEmpty())
        other();
    {
        Meanwhile meanwhile(f.env.messages, when, other);
        f.save(w, workbook ? std::initializer_list<bool>{true} : std::initializer_list<bool>{true, true});
    }
    QCOMPARE(f.env.messages.texts().last(), QStringLiteral("Nouvelle Fiche Enregistrée"));
    const QString name = workbook ? QStringLiteral("MARTICl4_38426.xls") : cycles::kNoWorkbook;
    QCOMPARE(RawDb(f.env.dbPath())
                 .text(QStringLiteral("SELECT NUMFICH || ' ' || NomFichier FROM FICHE WHERE NUMERO=%1 AND NUMFICH > 2 "
                                      "ORDER BY NUMINTFICH").arg(f.martin)),
             QStringLiteral("3 AUTRE.xls|4 ") + name);
    if (workbook) {
        QFile stored(f.workbook(name));
        QVERIFY(stored.open(QIODevice::ReadOnly));
        QCOMPARE(QString::fromUtf8(stored.readAll()).split(QLatin1Char('\n')).filter(QStringLiteral("N8=")).last(),
                 QStringLiteral("N8=typed \"4\""));
    }
}

void TstCreation::databaseFailureKeepsTheWindow()
{
    Fixture f;
    Form6* w = f.openMartin();
    const int couple = f.martin;
    w->ui->CmbType->setEditText(QStringLiteral("FIV"));
    w->ui->TxtJRegles->setText(QStringLiteral("01/03/2005"));
    QTest::mouseClick(w->ui->Command1, Qt::LeftButton);
    f.db->exec(QStringLiteral("CREATE TRIGGER nofiche BEFORE INSERT ON FICHE BEGIN "
                              "SELECT RAISE(ABORT, 'disque plein'); END"));
    f.save(w, {true});
    QVERIFY(platform::forms().isLoaded<Form6>());
    QVERIFY(f.env.messages.texts().last().contains(QStringLiteral("MARTICl1_38426.xls")));
    QCOMPARE(w->ui->CmbType->currentText(), QStringLiteral("FIV"));
    QCOMPARE(f.sheets(couple)->RecordCount(), 0);

    // Once the database accepts rows again, the retry records the workbook already stored.
    f.db->exec(QStringLiteral("DROP TRIGGER nofiche"));
    f.env.messages.clear();
    f.save(w, {true});
    QCOMPARE(f.env.messages.texts(), (QStringList{kSheetQuestion, QStringLiteral("Nouvelle Fiche Enregistrée")}));
    QCOMPARE(f.sheets(couple)->text(QStringLiteral("NomFichier")), QStringLiteral("MARTICl1_38426.xls"));
}

void TstCreation::quitAndHelp()
{
    Fixture f;
    Form6* w = f.openMartin();
    const int couple = f.martin;
    w->ui->Aide->trigger();
    QCOMPARE(f.env.help.calls.size(), 1);
    QCOMPARE(f.env.help.calls[0].command, 1);
    QCOMPARE(f.env.help.calls[0].topic, 60);
    w->ui->TxtJRegles->setText(QStringLiteral("01/03/2005"));
    QTest::mouseClick(w->ui->Command1, Qt::LeftButton);
    QTest::mouseClick(w->ui->CmdQuitte, Qt::LeftButton);
    QVERIFY(!platform::forms().isLoaded<Form6>());
    QCOMPARE(f.fake.openDocuments().size(), 1);
    QCOMPARE(f.sheets(couple)->RecordCount(), 0);
}

// Another workstation saves a new sheet at the same moment, for the same couple or for a couple whose names give
// the same workbook name: each sheet gets a number of its own and names the workbook stored for it, whole, with
// its number and its couple; no workbook is written over another.
void TstCreation::otherWorkstationSavesAtTheSameMoment_data()
{
    QTest::addColumn<bool>("sameCouple");
    QTest::newRow("same couple") << true;
    QTest::newRow("two couples, one workbook name") << false;
}

void TstCreation::otherWorkstationSavesAtTheSameMoment()
{
    QFETCH(bool, sameCouple);
    for (int round = 0; round < 3; ++round) {
        Fixture f;
        f.fake.delaySaves(kSaveMs);
        const int ours = f.addCouple(QStringLiteral("MARTIN"), QStringLiteral("Claire"));
        const int theirs = sameCouple ? ours : f.addCouple(QStringLiteral("MARTINEAU"), QStringLiteral("Clémence"));
        f.addSheets(ours, {1, 2});
        if (!sameCouple)
            f.addSheets(theirs, {1, 2});
        const QString go = f.env.path(QStringLiteral("go"));
        QProcess other;
        other.start(QCoreApplication::applicationFilePath(),
                    {QStringLiteral("--workstation"), f.env.dbPath(), f.env.workbookDir(), QString::number(theirs), go});
        QVERIFY(other.waitForReadyRead(30000));
        QCOMPARE(other.readLine().trimmed(), QByteArray("ready"));
        Form6* w = readyToSave(ours);
        QFile(go).open(QIODevice::WriteOnly);
        f.save(w, {true});
        QVERIFY(other.waitForFinished(30000));
        QCOMPARE(other.exitCode(), 0);
        const QStringList said{kSheetQuestion, QStringLiteral("Nouvelle Fiche Enregistrée")};
        QCOMPARE(QString::fromUtf8(other.readAllStandardOutput()).trimmed().split(QLatin1Char('\n')), said);
        QCOMPARE(f.env.messages.texts(), said);

        const QStringList rows = RawDb(f.env.dbPath())
                                     .text(QStringLiteral("SELECT NUMERO || ' ' || NUMFICH || ' ' || NomFichier FROM "
                                                          "FICHE WHERE NUMFICH > 2 ORDER BY NUMINTFICH"))
                                     .split(QLatin1Char('|'));
        QCOMPARE(rows.size(), 2);
        QStringList names;
        for (const QString& row : rows) {
            const QStringList parts = row.split(QLatin1Char(' '));
            const int couple = parts[0].toInt();
            names << parts[2];
            QFile file(f.workbook(parts[2]));
            QVERIFY2(file.open(QIODevice::ReadOnly), qPrintable(row));
            const QStringList cells = QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'));
            QCOMPARE(cells.filter(QStringLiteral("N8=")).last(), QStringLiteral("N8=typed \"%1\"").arg(parts[1]));
            QCOMPARE(cells.filter(QStringLiteral("B6=")).last(),
                     QStringLiteral("B6=text \"%1\"").arg(couple == ours ? "MARTIN" : "MARTINEAU"));
        }
        QCOMPARE(RawDb(f.env.dbPath()).text(QStringLiteral("SELECT NUMFICH FROM FICHE WHERE NUMFICH > 2 ORDER BY NUMFICH")),
                 sameCouple ? QStringLiteral("3|4") : QStringLiteral("3|3"));
        names.sort();
        QCOMPARE(QDir(f.env.workbookDir()).entryList(QDir::Files | QDir::Hidden, QDir::Name), names);
        platform::forms().unloadAll();
        platform::forms().flush();
    }
}

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    if (argc == 6 && qstrcmp(argv[1], "--workstation") == 0)
        return otherWorkstation(QString::fromLocal8Bit(argv[2]), QString::fromLocal8Bit(argv[3]),
                                QByteArray(argv[4]).toInt(), QString::fromLocal8Bit(argv[5]));
    TstCreation test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_creation.moc"
