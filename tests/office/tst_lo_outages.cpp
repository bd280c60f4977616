// The program's real office stopped, killed or failing to store a workbook, driven through the windows: the
// user is asked within the time limit, what was typed stays on screen, nothing is said done that was not, no
// part of a workbook is left in the workbook folder; and the office the program started ends with it.
#include "app/program.h"
#include "cycles/fiche.h"
#include "cycles/form6.h"
#include "data/globals.h"
#include "office/libreoffice.h"
#include "platform/environment.h"
#include "pregnancy/followup.h"
#include "pregnancy/form30.h"
#include "support/faultyfiles.h"
#include "support/rawdb.h"
#include "support/testenv.h"

#include "cycles/tst_sheetsupport.h"

#include "ui_form5.h"
#include "ui_form6.h"

#include <QDir>
#include <QElapsedTimer>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QStandardPaths>
#include <QTest>

#include <csignal>
#include <functional>
#include <memory>

using namespace office;

namespace {

constexpr int kLimitMs = 2000;
const QString kQuestion = QStringLiteral("Le tableur ne répond pas depuis ");
const QString kSheetQuestion = QStringLiteral("Voulez vous vraiment enregistrer cette nouvelle Fiche ?");
const QString kSaved = QStringLiteral("Nouvelle Fiche Enregistrée");
const QString kNoWorkbookQuestion =
    QStringLiteral("Pas de fiche de Stimulation à enregistrer, enregistrer quand même ?");
const QString kWorkbookLost = QStringLiteral(
    "Le tableur a été fermé avant d'avoir enregistré le classeur : la fiche n'est pas enregistrée. Choisissez de "
    "nouveau le protocole pour refaire le classeur, puis enregistrez la fiche.");
const QString kRegistryLost = QStringLiteral(
    "Le tableur a été fermé avant que le formulaire FIVNAT soit rempli : cliquez de nouveau sur « Imprimer FIVNAT ».");

LibreOfficeOptions options(const QString& profile, LibreOfficeOptions::Display display)
{
    LibreOfficeOptions o;
    o.profileDir = profile;
    o.display = display;
    o.callLimitMs = kLimitMs;
    o.startLimitMs = 60000;
    return o;
}

void signalOffice(const LibreOfficeSpreadsheet& office, int signal)
{
    for (qint64 pid : office.officeProcessIds())
        ::kill(pid_t(pid), signal);
}

// The boxes of the run: the office's question answered as the test says, every other box as FakeMessages does.
class Boxes final : public platform::MessageService {
public:
    explicit Boxes(FakeMessages& messages) : m_messages(messages) {}
    platform::MsgResult show(const platform::MsgBoxRequest& request) override
    {
        if (!request.text.startsWith(kQuestion))
            return m_messages.show(request);
        m_messages.boxes.append(request);
        asked << since.elapsed();
        return onQuestion && onQuestion() ? platform::MsgResult::Yes : platform::MsgResult::No;
    }

    std::function<bool()> onQuestion; // runs at the office's question: true waits longer, false ends the office
    QElapsedTimer since;
    QList<qint64> asked; // when the office's questions came

private:
    FakeMessages& m_messages;
};

// Stands for the real engine and kills the office just before a chosen cell is written.
class KillingAt final : public Spreadsheet {
public:
    KillingAt(LibreOfficeSpreadsheet& office, QString cell) : m_office(office), m_cell(std::move(cell)) {}
    Opened open(const QString& path) override { return m_office.open(path); }
    bool isOpen(int document) override { return m_office.isOpen(document); }
    bool writeCell(int document, const QString& address, const CellValue& value) override
    {
        if (address == m_cell)
            signalOffice(m_office, SIGKILL);
        return m_office.writeCell(document, address, value);
    }
    bool save(int document, const QString& path, bool replace, platform::FileFailure* failure) override
    {
        return m_office.save(document, path, replace, failure);
    }
    void close(int document) override { m_office.close(document); }
    void closeAll() override { m_office.closeAll(); }
    void quit(const QList<int>& keep) override { m_office.quit(keep); }

private:
    LibreOfficeSpreadsheet& m_office;
    QString m_cell;
};

// An X server of the test's own, for an office that shows its windows.
class XServer {
public:
    XServer()
    {
        if (QStandardPaths::findExecutable(QStringLiteral("Xvfb")).isEmpty())
            return;
        m_server.start(QStringLiteral("Xvfb"), {QStringLiteral("-displayfd"), QStringLiteral("1"),
                                                QStringLiteral("-nolisten"), QStringLiteral("tcp"),
                                                QStringLiteral("-screen"), QStringLiteral("0"),
                                                QStringLiteral("1280x1024x24")});
        if (!m_server.waitForReadyRead(10000))
            return;
        m_saved = qgetenv("DISPLAY");
        qputenv("DISPLAY", ":" + m_server.readLine().trimmed());
        m_up = true;
    }
    ~XServer()
    {
        if (m_up)
            qputenv("DISPLAY", m_saved);
        m_server.kill();
        m_server.waitForFinished();
    }
    bool up() const { return m_up; }

private:
    QProcess m_server;
    QByteArray m_saved;
    bool m_up = false;
};

} // namespace

class TstLoOutages : public QObject {
    Q_OBJECT

    QTemporaryDir m_profiles;
    std::unique_ptr<TestEnv> m_env;
    std::unique_ptr<Boxes> m_boxes;
    std::unique_ptr<LibreOfficeSpreadsheet> m_office;

    int addCouple(const QString& nom, const QString& prenom)
    {
        RawDb db(m_env->dbPath());
        db.exec(QStringLiteral("INSERT INTO CIVILITES (Nom, Prenom) VALUES ('%1', '%2')").arg(nom, prenom));
        return db.text(QStringLiteral("SELECT MAX(numero) FROM CIVILITES")).toInt();
    }
    // The workbook the couple's last sheet names.
    QString workbookOf(int couple)
    {
        return cycles::workbookPath(RawDb(m_env->dbPath())
                                        .text(QStringLiteral("SELECT NomFichier FROM FICHE WHERE NUMERO=%1 ORDER BY "
                                                             "NUMINTFICH DESC LIMIT 1").arg(couple)));
    }
    int sheets(int couple)
    {
        return RawDb(m_env->dbPath()).text(QStringLiteral("SELECT COUNT(*) FROM FICHE WHERE NUMERO=%1").arg(couple)).toInt();
    }
    // The creation window of a new couple MARTIN Claire, with the type and the periods typed.
    Form6* creationWindow()
    {
        const int couple = addCouple(QStringLiteral("MARTIN"), QStringLiteral("Claire"));
        platform::forms().get<Form4>()->ui->NumLbl->setText(QString::number(couple));
        openCreationWindowFromMain();
        Form6* w = platform::forms().find<Form6>();
        if (w) {
            w->ui->CmbType->setEditText(QStringLiteral("FIV"));
            w->ui->TxtJRegles->setText(QStringLiteral("01/03/2005"));
        }
        return w;
    }
    // A new follow-up of the sheet the cycle sheet window shows.
    Form30* openFollowUp()
    {
        followup::showSheet({});
        data::CHEMINS_BASE = m_env->dbPath();
        data::GROSS_EXISTE = false;
        return Form30::openFollowUp();
    }
    // The workbook folder holds exactly these entries, hidden ones included.
    QStringList workbookFolder(const QString& dir) const
    {
        QStringList entries = QDir(dir).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
        entries.removeAll(QStringLiteral(".filler"));
        return entries;
    }

private slots:
    void initTestCase()
    {
        m_env = std::make_unique<TestEnv>();
        m_boxes = std::make_unique<Boxes>(m_env->messages);
        m_office = createLibreOfficeSpreadsheet(
            options(m_profiles.path() + QStringLiteral("/program"), LibreOfficeOptions::Display::Headless));
    }
    void init()
    {
        setSpreadsheet(m_office.get());
        platform::setMessageService(m_boxes.get());
        m_env->messages.clear();
        m_env->messages.answers.clear();
        m_boxes->asked.clear();
        m_boxes->onQuestion = nullptr;
        m_env->installTemplates();
        data::CHEMIN_BASE = m_env->dbPath();
        m_env->setSetting(QStringLiteral("CheminXls"), m_env->workbookDir());
        QVERIFY2(QFileInfo::exists(m_env->programDir() + QStringLiteral("/Folivex01.xls")), "templates not built");
    }
    void cleanup()
    {
        signalOffice(*m_office, SIGCONT);
        platform::forms().unloadAll();
        platform::forms().flush();
        for (const QString& f : QDir(m_env->workbookDir()).entryList(QDir::Files | QDir::Hidden))
            QFile::remove(m_env->workbookDir() + QLatin1Char('/') + f);
        RawDb(m_env->dbPath()).exec(QStringLiteral("DELETE FROM FICHE")); // workbook names are free again
    }
    void cleanupTestCase()
    {
        const QString pipe = m_office->options().pipeName;
        m_env.reset();
        m_office.reset();
        QVERIFY(officeProcessIds(pipe).isEmpty());
    }

    // The office stopped at each moment the program needs it: asked within the limit, then either the office
    // answers again (the step is done) or the user ends it (the step is done in a new office, or said not done).
    void stoppedOffice_data()
    {
        QTest::addColumn<QString>("moment");
        QTest::addColumn<bool>("waitLonger");
        for (const char* moment : {"second protocol", "new sheet saved", "registry form", "sheet saved"}) {
            QTest::addRow("%s, waited for", moment) << QString::fromLatin1(moment) << true;
            QTest::addRow("%s, ended", moment) << QString::fromLatin1(moment) << false;
        }
    }
    void stoppedOffice()
    {
        QFETCH(QString, moment);
        QFETCH(bool, waitLonger);
        Form6* creation = nullptr;
        Form30* followUp = nullptr;
        Form5* sheet = nullptr;
        int couple = 0;
        if (moment == QLatin1String("registry form")) {
            followUp = openFollowUp();
            QVERIFY(followUp);
            followup::ctl<QPlainTextEdit>(followUp, "TxtComment")->setPlainText(QStringLiteral("Grossesse gémellaire"));
        } else if (moment == QLatin1String("sheet saved")) {
            couple = addCouple(QStringLiteral("MARTIN"), QStringLiteral("Claire"));
            addSheet(m_env->dbPath(), couple, 1);
            sheet = openCouple(couple);
            sheet->ui->TxtNbrO->setText(QStringLiteral("7"));
        } else {
            creation = creationWindow();
            QVERIFY(creation);
            couple = creation->couple();
            QTest::mouseClick(creation->ui->Command1, Qt::LeftButton);
            QVERIFY(m_env->messages.boxes.isEmpty());
        }
        QVERIFY(m_office->start());
        const QList<qint64> before = m_office->officeProcessIds();
        QCOMPARE(before.size(), 1);

        signalOffice(*m_office, SIGSTOP);
        m_boxes->onQuestion = [&] {
            if (waitLonger)
                signalOffice(*m_office, SIGCONT);
            return waitLonger;
        };
        m_boxes->since.start();
        QStringList said;
        if (moment == QLatin1String("second protocol")) {
            QTest::mouseClick(creation->ui->Command3, Qt::LeftButton);
        } else if (moment == QLatin1String("new sheet saved")) {
            m_env->messages.answerYes();
            QTest::mouseClick(creation->ui->CmdNouvFiche, Qt::LeftButton);
            said << kSheetQuestion;
        } else if (moment == QLatin1String("registry form")) {
            followup::ctl<QPushButton>(followUp, "CmdImprim")->click();
        } else {
            m_env->messages.answerYes();
            QTest::mouseClick(sheet->ui->CmdModif, Qt::LeftButton);
            said << QStringLiteral("Voulez vous vraiment enregistrer les modifications apportées à cette Fiche ?")
                 << QStringLiteral("Fiche courante modifiée");
        }
        QCOMPARE(m_boxes->asked.size(), 1);
        QVERIFY2(m_boxes->asked[0] >= kLimitMs - 100 && m_boxes->asked[0] < kLimitMs + 3000,
                 qPrintable(QString::number(m_boxes->asked[0])));
        said << m_env->messages.texts().value(said.size()); // the question, in French
        QVERIFY(said.last().startsWith(kQuestion));
        const QList<qint64> after = m_office->officeProcessIds();

        if (moment == QLatin1String("second protocol")) {
            // Done, in the same office or a new one: the window as it was, and the sheet saves with protocol 3.
            QCOMPARE(m_env->messages.texts(), said);
            QVERIFY(platform::forms().isLoaded<Form6>());
            QCOMPARE(creation->templateName(), QStringLiteral("Folivex03.xls"));
            QCOMPARE(creation->ui->CmbType->currentText(), QStringLiteral("FIV"));
            QCOMPARE(after.size(), 1);
            QCOMPARE(after == before, waitLonger);
            m_env->messages.answerYes();
            QTest::mouseClick(creation->ui->CmdNouvFiche, Qt::LeftButton);
            QCOMPARE(m_env->messages.texts().mid(said.size()), (QStringList{kSheetQuestion, kSaved}));
            const QString workbook = workbookOf(couple);
            QVERIFY(isWholeWorkbook(workbook));
            QCOMPARE(m_office->readCells(workbook, {QStringLiteral("B6")}).value(0).text, QStringLiteral("MARTIN"));
        } else if (moment == QLatin1String("new sheet saved")) {
            if (waitLonger) {
                QCOMPARE(m_env->messages.texts(), said << kSaved);
                QCOMPARE(sheets(couple), 1);
                QVERIFY(isWholeWorkbook(workbookOf(couple)));
                QCOMPARE(workbookFolder(m_env->workbookDir()), QStringList{QFileInfo(workbookOf(couple)).fileName()});
            } else {
                QCOMPARE(m_env->messages.texts(), said << kWorkbookLost);
                QVERIFY(platform::forms().isLoaded<Form6>());
                QCOMPARE(creation->ui->CmbType->currentText(), QStringLiteral("FIV"));
                QCOMPARE(creation->ui->TxtJRegles->text(), QStringLiteral("01/03/2005"));
                QCOMPARE(sheets(couple), 0);
                QCOMPARE(workbookFolder(m_env->workbookDir()), QStringList());
                QVERIFY(after.isEmpty());
            }
        } else if (moment == QLatin1String("registry form")) {
            // Filled, in the same office or a new one, and left open for the user.
            QCOMPARE(m_env->messages.texts(), said);
            QVERIFY(platform::forms().isLoaded<Form30>());
            QCOMPARE(followup::ctl<QPlainTextEdit>(followUp, "TxtComment")->toPlainText(),
                     QStringLiteral("Grossesse gémellaire"));
            QVERIFY(followUp->registryForm().hasWorkbook());
            QVERIFY(m_office->isOpen(followUp->registryForm().document()));
            QCOMPARE(m_office->officeProcessIds() == before, waitLonger);
        } else {
            // The sheet was saved before the office was needed: said so, and only so.
            QCOMPARE(m_env->messages.texts(), said);
            QCOMPARE(RawDb(m_env->dbPath()).text(QStringLiteral("SELECT NBRO FROM FICHE WHERE NUMERO=%1").arg(couple)),
                     QStringLiteral("7"));
            QVERIFY(after.isEmpty());
        }
    }

    // A store that fails, whatever fails, leaves the workbook's name free and the folder as it was, says why,
    // then asks whether to save the sheet without workbook; an office that stops while it copies the workbook
    // is ended, and the sheet is said not saved.
    void workbookSaveFailures_data()
    {
        addDiskFaultRows();
        QTest::newRow("office stopped while it copies") << QStringLiteral("stop") << QString();
    }
    void workbookSaveFailures()
    {
        QFETCH(QString, fault);
        QFETCH(QString, cause);
        SmallDisk disk(8 * 1024 * 1024);
        DISK_FAULT_OR_SKIP(disk, fault);
        m_env->setSetting(QStringLiteral("CheminXls"), disk.path());
        const QString name = QStringLiteral("MARTICl1_38426.xls");
        m_office->shutdown(); // the office started next inherits the fault
        Form6* w = nullptr;
        {
            std::unique_ptr<DiskFault> failing;
            std::unique_ptr<WriteErrors> stopping;
            if (fault == QLatin1String("stop"))
                stopping = std::make_unique<WriteErrors>(name, "SIGSTOP", "write", 4096);
            else
                failing = std::make_unique<DiskFault>(fault, disk, name);
            w = creationWindow();
            QVERIFY(w);
            QTest::mouseClick(w->ui->Command1, Qt::LeftButton);
            m_env->messages.answerYes();
            if (!stopping)
                m_env->messages.answerNo(); // no sheet without its workbook
            QTest::mouseClick(w->ui->CmdNouvFiche, Qt::LeftButton);
        }
        const int couple = RawDb(m_env->dbPath()).text(QStringLiteral("SELECT MAX(numero) FROM CIVILITES")).toInt();
        if (fault == QLatin1String("stop")) {
            QCOMPARE(m_boxes->asked.size(), 1);
            QStringList texts = m_env->messages.texts();
            QVERIFY(texts.value(1).startsWith(kQuestion));
            texts.removeAt(1);
            QCOMPARE(texts, (QStringList{kSheetQuestion, kWorkbookLost}));
            QVERIFY(platform::forms().isLoaded<Form6>());
        } else {
            QCOMPARE(m_env->messages.texts(),
                     (QStringList{kSheetQuestion,
                                  QStringLiteral("Le fichier %1/%2 n'a pas pu être enregistré : %3.").arg(disk.path(), name, cause),
                                  kNoWorkbookQuestion}));
            QVERIFY(!platform::forms().isLoaded<Form6>());
        }
        QCOMPARE(workbookFolder(disk.path()), QStringList());
        QCOMPARE(sheets(couple), 0);
        m_office->shutdown(); // without the fault
    }

    // The office dies while the registry form is filled: the user is told, the follow-up stays as it was.
    void officeDiesWhileTheRegistryFormIsFilled()
    {
        KillingAt dying(*m_office, QStringLiteral("P53"));
        setSpreadsheet(&dying);
        Form30* f = openFollowUp();
        QVERIFY(f);
        followup::ctl<QPlainTextEdit>(f, "TxtComment")->setPlainText(QStringLiteral("Grossesse gémellaire"));
        followup::ctl<QPushButton>(f, "CmdImprim")->click();
        QCOMPARE(m_env->messages.texts(), QStringList{kRegistryLost});
        QVERIFY(platform::forms().isLoaded<Form30>());
        QCOMPARE(followup::ctl<QPlainTextEdit>(f, "TxtComment")->toPlainText(), QStringLiteral("Grossesse gémellaire"));
        platform::forms().unloadAll();
        setSpreadsheet(m_office.get());
    }

    // At the program's end its office, shown on the desktop, closes without saving the working copy; only a
    // filled registry form, or a cycle workbook the user changed there and has not saved, stays for the user.
    void officeEndsWithTheProgram_data()
    {
        QTest::addColumn<QString>("left"); // what stays in the office at the end
        QTest::newRow("protocol workbook typed in") << QString();
        QTest::newRow("registry form filled") << QStringLiteral("registry form");
        QTest::newRow("cycle workbook changed, no protocol since") << QStringLiteral("cycle workbook");
    }
    void officeEndsWithTheProgram()
    {
        QFETCH(QString, left);
        const XServer display;
        if (!display.up())
            QSKIP("no X server (Xvfb) for an office that shows its windows");
        const LibreOfficeOptions shown =
            options(m_profiles.path() + QStringLiteral("/shown"), LibreOfficeOptions::Display::Visible);
        QString pipe;
        {
            auto office = createLibreOfficeSpreadsheet(shown);
            setSpreadsheet(office.get());
            // No protocol after the cycle workbook: a protocol closes whatever the office holds.
            if (left == QLatin1String("cycle workbook")) {
                const int couple = addCouple(QStringLiteral("MARTIN"), QStringLiteral("Claire"));
                QVERIFY(QFile::copy(m_env->programDir() + QStringLiteral("/Folivex02.xls"),
                                    cycles::workbookPath(QStringLiteral("MARTICl1_38426.xls"))));
                addSheet(m_env->dbPath(), couple, 1, {{"NomFichier", "MARTICl1_38426.xls"}});
                Form5* sheet = openCouple(couple);
                QTest::mouseClick(sheet->ui->CmdOuvrXls, Qt::LeftButton);
                // What the user types in it: the first document of this office.
                QVERIFY(office->writeCell(1, QStringLiteral("B6"), CellValue::literal(QStringLiteral("MARTIN"))));
            } else {
                Form6* w = creationWindow();
                QVERIFY(w);
                QTest::mouseClick(w->ui->Command1, Qt::LeftButton);
            }
            if (left == QLatin1String("registry form")) {
                Form30* f = openFollowUp();
                QVERIFY(f);
                followup::ctl<QPushButton>(f, "CmdImprim")->click();
                QVERIFY(f->registryForm().hasWorkbook());
            }
            QVERIFY(m_env->messages.boxes.isEmpty());
            QCOMPARE(office->officeProcessIds().size(), 1);
            app::tearDown(); // the program's end, then its engine goes
            pipe = office->options().pipeName;
        }
        QCOMPARE(officeProcessIds(pipe).size(), left.isEmpty() ? 0 : 1);
        if (!left.isEmpty())
            createLibreOfficeSpreadsheet(shown)->shutdown();
        QVERIFY(officeProcessIds(pipe).isEmpty());
    }
};

QTEST_MAIN(TstLoOutages)
#include "tst_lo_outages.moc"
