// The operative report: the page composed from the cycle sheet window, the printer choice and the PDF rendering.
#include "cycles/report.h"
#include "data/database.h"
#include "data/globals.h"
#include "office/fakespreadsheet.h"
#include "support/faultyfiles.h"
#include "support/testenv.h"

#include "tst_sheetsupport.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QPrinter>
#include <QProcess>
#include <QStandardPaths>
#include <QTest>
#include <QTimer>

using platform::forms;

namespace {

// Prints to PDF files: the default printer writes one file, the dialog may "choose" another.
class PdfPrinters final : public report::PrinterService {
public:
    QString defaultFile;
    QString chosenFile;      // empty: the dialog keeps the default printer
    bool available = true;
    bool dialogAccepts = true;
    int dialogs = 0;

    std::unique_ptr<QPrinter> defaultPrinter() override
    {
        if (!available)
            return nullptr;
        auto p = std::make_unique<QPrinter>(QPrinter::HighResolution);
        p->setOutputFormat(QPrinter::PdfFormat);
        p->setPageSize(QPageSize(QPageSize::A4));
        p->setOutputFileName(defaultFile);
        return p;
    }
    bool choosePrinter(QPrinter& printer, QWidget*) override
    {
        ++dialogs;
        if (dialogAccepts && !chosenFile.isEmpty())
            printer.setOutputFileName(chosenFile);
        return dialogAccepts;
    }

    // Without a printer: the file the chooser "returns" (empty: Cancel), what it was offered, what was shown.
    QString pdfChosen;
    QStringList pdfOffered;
    QStringList pdfShown;
    bool viewerAvailable = true;
    QString choosePdfFile(QWidget*, const QString& suggestedPath) override
    {
        pdfOffered << suggestedPath;
        return pdfChosen;
    }
    bool showPdf(const QString& path) override
    {
        pdfShown << path;
        return viewerAvailable;
    }
};

QString run(const QString& program, const QStringList& args)
{
    QProcess p;
    p.start(program, args);
    p.waitForFinished(30000);
    return QString::fromUtf8(p.readAllStandardOutput());
}

QString pdfText(const QString& pdf) { return run(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), pdf, QStringLiteral("-")}); }

int pdfPages(const QString& pdf)
{
    for (const QString& line : run(QStringLiteral("pdfinfo"), {pdf}).split(QLatin1Char('\n')))
        if (line.startsWith(QStringLiteral("Pages:")))
            return line.mid(6).trimmed().toInt();
    return 0;
}

void addOption(const std::shared_ptr<data::Database>& db, int list, const QString& text)
{
    auto rs = db->OpenRecordset(QStringLiteral("SELECT*FROM OPTIONS"));
    rs->AddNew();
    rs->setField(QStringLiteral("NUMEROS"), list);
    rs->setField(QStringLiteral("TEXTE"), text);
    rs->Update();
}

} // namespace

class TstReport : public QObject {
    Q_OBJECT

    std::unique_ptr<TestEnv> env;
    std::unique_ptr<office::FakeSpreadsheet> fake;
    PdfPrinters printers;

    // A couple with one full sheet, opened as the main window opens it.
    Form5* openFullSheet(bool withExams = true)
    {
        auto db = data::Database::open(env->dbPath());
        addOption(db, 16, QStringLiteral("Dr Hélène BERTIN - Gynécologie obstétrique"));
        addOption(db, 17, QStringLiteral("12 rue des Tilleuls"));
        addOption(db, 18, QStringLiteral("Rennes"));
        addOption(db, 19, QStringLiteral("Tél. 02 99 00 00 00"));
        if (withExams) {
            auto ex = db->OpenRecordset(QStringLiteral("SELECT*FROM EXAMENS"));
            ex->AddNew();
            ex->setField(QStringLiteral("NUMERO"), 12);
            ex->setField(QStringLiteral("Diag"), QStringLiteral("Infertilité tubaire"));
            ex->Update();
        }
        addSheet(env->dbPath(), 12, 3,
                 {{"DATEPONC", "20/03/05"}, {"GYNECOP", "Dr DURAND"}, {"ANESTHESI", "Dr GARNIER"},
                  {"MODPONCTION", "Echo vaginale"}, {"COMMENT", "Ponction facile"}, {"NBRO", "9"}, {"NBRE", "5"},
                  {"NBREC", "2"}, {"DATETRANS", "22/03/05"}, {"MODAL", "Facile"}, {"GYNECOT", "Dr MOREAU"},
                  {"NBRET", "2"}});
        Form5* f = openCouple(12);
        return f;
    }

    static QStringList texts(const report::Page& page)
    {
        QStringList out;
        for (const report::Line& l : page.lines)
            out << l.text;
        return out;
    }

private slots:
    void init()
    {
        env = std::make_unique<TestEnv>();
        fake = std::make_unique<office::FakeSpreadsheet>();
        data::CHEMIN_BASE = env->dbPath();
        printers = PdfPrinters();
        printers.defaultFile = env->path(QStringLiteral("default.pdf"));
        report::setPrinterService(&printers);
    }
    void cleanup()
    {
        report::setPrinterService(nullptr);
        fake.reset();
        env.reset();
        forms().flush();
    }

    void pageOfAFullSheet()
    {
        Form5* f = openFullSheet();
        const report::Page page = f->IMPRIME();
        const QString s10(10, QLatin1Char(' ')), s20(20, QLatin1Char(' ')), s40(40, QLatin1Char(' '));
        const QStringList expected = {
            "",
            "Dr Hélène BERTIN - Gynécologie obstétrique",
            "12 rue des Tilleuls\rRennes\rTél. 02 99 00 00 00",
            "Madame MARTIN Claire",
            "",
            "Compte rendu opératoire d'AMP",
            s10 + "Indication : Infertilité tubaire",
            s10 + "Type d'AMP : FIV N° 3",
            "\n\nPonction ovocytaire et transfert embryonnaire. ",
            "", "",
            s10 + "PONCTION OVOCYTAIRE",
            "",
            s20 + "Ponction le 20/03/05",
            s20 + "Opérateur : Dr DURAND",
            s20 + "Anesthèsiste : Dr GARNIER",
            s20 + "Modalités : Echo vaginale",
            s20 + "Commentaires : Ponction facile",
            s20 + "Nombre d'ovocytes recueillis : 9",
            s20 + "Nombre d'embryons obtenus : 5",
            s20 + "Nombre d'embryons congelés : 2",
            "",
            s20 + "K Opératoire : KC41",
            "",
            s10 + "TRANSFERT EMBRYONNAIRE",
            "",
            s20 + "Transfert le 22/03/05",
            s20 + "Modalités : Facile",
            s20 + "Opérateur : Dr MOREAU",
            s20 + "Nombre d'embryons transféreés : 2",
            "",
            s20 + "K Opératoire : KC25",
            "", "",
            s40 + "Rennes le 15/03/2005",
        };
        QCOMPARE(texts(page), expected);
        QCOMPARE(page.originCm, 3.0);
        // Sizes: 16 for the first two lines, then 12; bold from "Madame" to the two blank lines after the title
        // paragraph; the vertical position 6 cm set before "Madame".
        for (int i = 0; i < page.lines.size(); ++i) {
            const report::Line& l = page.lines[i];
            QCOMPARE(l.size, i < 2 ? 16 : 12);
            QCOMPARE(l.bold, i >= 3 && i <= 10);
            QCOMPARE(l.position.has_value(), i == 3);
        }
        QCOMPARE(*page.lines[3].position, 6.0);
    }

    void pagePrintsWhatTheWindowShows()
    {
        Form5* f = openFullSheet(false);
        for (QLineEdit* e : {f->ui->TxtDateTrans, f->ui->TxtNbrET})
            e->clear();
        for (QComboBox* c : {f->ui->CmbModal, f->ui->CmbGynecoT})
            c->setEditText(QString());
        f->ui->TxtNbrO->setText(QStringLiteral("11")); // typed, not saved
        const QStringList lines = texts(f->IMPRIME());
        const QString s20(20, QLatin1Char(' '));
        QVERIFY(lines.contains(QString(10, QLatin1Char(' ')) + "Indication : "));
        QVERIFY(lines.contains(s20 + "Nombre d'ovocytes recueillis : 11"));
        for (const char* label : {"Transfert le ", "Modalités : ", "Opérateur : ", "Nombre d'embryons transféreés : "})
            QVERIFY2(lines.contains(s20 + QString::fromUtf8(label)), label);
    }

    void printsToTheDefaultPrinter()
    {
        Form5* f = openFullSheet();
        QTest::mouseClick(f->ui->CmdCRO, Qt::LeftButton);
        QVERIFY(env->messages.boxes.isEmpty());
        QCOMPARE(printers.dialogs, 0);
        QCOMPARE(pdfPages(printers.defaultFile), 1);
        const QString text = pdfText(printers.defaultFile);
        for (const char* wanted : {"Compte rendu opératoire d'AMP", "Madame MARTIN Claire", "KC41", "KC25",
                                   "Infertilité tubaire", "Rennes le 15/03/2005", "Tél. 02 99 00 00 00"})
            QVERIFY2(text.contains(QString::fromUtf8(wanted)), wanted);
        // The letterhead's lines stand one under the other.
        QVERIFY(text.indexOf(QStringLiteral("12 rue des Tilleuls")) < text.indexOf(QStringLiteral("Rennes")));
        QVERIFY(f->isVisible());
        const QString shots = qEnvironmentVariable("FOLIVEX_SHOTS");
        if (!shots.isEmpty())
            run(QStringLiteral("pdftoppm"), {QStringLiteral("-png"), QStringLiteral("-r"), QStringLiteral("60"),
                                             printers.defaultFile, shots + QStringLiteral("/report")});
    }

    void dialogComesFirst()
    {
        Form5* f = openFullSheet();
        printers.dialogAccepts = false;
        f->ui->Cro->trigger();
        QCOMPARE(printers.dialogs, 1);
        QVERIFY(!QFile::exists(printers.defaultFile));
        QVERIFY(env->messages.boxes.isEmpty());

        printers.dialogAccepts = true;
        printers.chosenFile = env->path(QStringLiteral("chosen.pdf"));
        f->ui->Cro->trigger();
        QVERIFY(!QFile::exists(printers.defaultFile));
        QCOMPARE(pdfPages(printers.chosenFile), 1);
        QVERIFY(pdfText(printers.chosenFile).contains(QStringLiteral("KC25")));
    }

    // Without a printer both commands offer the report as a PDF in the workbook folder, named after the couple
    // and the day, and show it once saved; Cancel saves and says nothing.
    void noPrinter_data()
    {
        QTest::addColumn<bool>("menu");
        QTest::newRow("button") << false;
        QTest::newRow("menu") << true;
    }
    void noPrinter()
    {
        QFETCH(bool, menu);
        if (QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty())
            QSKIP("pdftotext (poppler-utils) is not installed");
        Form5* f = openFullSheet();
        printers.available = false;
        const auto command = [&] {
            if (menu)
                f->ui->Cro->trigger();
            else
                QTest::mouseClick(f->ui->CmdCRO, Qt::LeftButton);
        };
        const QString offered = env->workbookDir() + "/CRO MARTIN Claire 2005-03-15.pdf";

        command(); // Cancel
        QCOMPARE(printers.pdfOffered, QStringList{offered});
        QVERIFY(printers.pdfShown.isEmpty());
        QVERIFY(!QFile::exists(offered));

        printers.pdfChosen = env->path("cro martin.pdf");
        f->ui->TxtNbrO->setText(QStringLiteral("11")); // typed, not saved
        command();
        QCOMPARE(printers.pdfOffered, QStringList({offered, offered}));
        QCOMPARE(printers.pdfShown, QStringList{printers.pdfChosen});
        QVERIFY(env->messages.boxes.isEmpty());
        QCOMPARE(printers.dialogs, 0);
        QCOMPARE(pdfPages(printers.pdfChosen), 1);
        const QString text = pdfText(printers.pdfChosen);
        for (const char* wanted : {"Madame MARTIN Claire", "Compte rendu opératoire d'AMP", "Ponction le 20/03/05",
                                   "Transfert le 22/03/05", "Nombre d'ovocytes recueillis : 11",
                                   "Rennes le 15/03/2005"})
            QVERIFY2(text.contains(QString::fromUtf8(wanted)), wanted);
        QVERIFY(!QFile::exists(printers.defaultFile));
    }

    void noPrinterSaveFailures()
    {
        if (QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty())
            QSKIP("pdftotext (poppler-utils) is not installed");
        Form5* f = openFullSheet();
        printers.available = false;
        printers.pdfChosen = env->path("no/such/dir/cro.pdf");
        QTest::mouseClick(f->ui->CmdCRO, Qt::LeftButton);
        QCOMPARE(env->messages.texts(), QStringList{"Le compte rendu opératoire n'a pas pu être enregistré dans " +
                                                    printers.pdfChosen + " : le répertoire n'existe pas."});
        QVERIFY(printers.pdfShown.isEmpty());

        env->messages.clear();
        printers.pdfChosen = env->path("cro.pdf");
        printers.viewerAvailable = false;
        QTest::mouseClick(f->ui->CmdCRO, Qt::LeftButton);
        QCOMPARE(env->messages.texts(), QStringList{"Le compte rendu opératoire est enregistré dans " +
                                                    printers.pdfChosen + ", mais aucun programme ne peut l'afficher."});
        QVERIFY(pdfText(printers.pdfChosen).contains(QStringLiteral("Madame MARTIN Claire")));
    }

    // A full or failing disk: never said saved nor shown, an earlier report of that name kept whole, the cause
    // said.
    void noPrinterSaveOntoAFailingDisk_data() { addDiskFaultRows(); }
    void noPrinterSaveOntoAFailingDisk()
    {
        QFETCH(QString, fault);
        QFETCH(QString, cause);
        SmallDisk disk(1024 * 1024);
        DISK_FAULT_OR_SKIP(disk, fault);
        Form5* f = openFullSheet();
        printers.available = false;
        printers.pdfChosen = disk.path() + "/CRO MARTIN Claire 2005-03-15.pdf";
        QFile earlier(printers.pdfChosen);
        QVERIFY(earlier.open(QIODevice::WriteOnly) && earlier.write("earlier report") == 14);
        earlier.close();
        {
            const DiskFault failing(fault, disk, "CRO MARTIN", 4096);
            QTest::mouseClick(f->ui->CmdCRO, Qt::LeftButton);
        }
        QVERIFY(earlier.open(QIODevice::ReadOnly));
        QCOMPARE(earlier.readAll(), QByteArray("earlier report"));
        QCOMPARE(QDir(disk.path()).entryList(QDir::Files | QDir::Hidden).filter(".~"), QStringList());
        QVERIFY(printers.pdfShown.isEmpty());
        QCOMPARE(env->messages.texts(), QStringList{"Le compte rendu opératoire n'a pas pu être enregistré dans " +
                                                    printers.pdfChosen + " : " + cause + "."});
    }

    // The offered name holds no character that would make it a path or that a share refuses.
    void pdfFileName_data()
    {
        QTest::addColumn<QString>("nom");
        QTest::addColumn<QString>("prenom");
        QTest::addColumn<QString>("expected");
        QTest::newRow("plain") << "MARTIN" << "Claire" << "CRO MARTIN Claire 2005-03-15.pdf";
        QTest::newRow("accents, apostrophe")
            << "D'ARC-LEFÈVRE" << "Hélène" << "CRO D'ARC-LEFÈVRE Hélène 2005-03-15.pdf";
        QTest::newRow("reserved") << "DU/PONT\\:*" << "A?\"<B>|" << "CRO DU PONT A B 2005-03-15.pdf";
        QTest::newRow("control, blanks") << "  MARTIN\tLE\nGOFF " << "" << "CRO MARTIN LE GOFF 2005-03-15.pdf";
        QTest::newRow("no couple") << "" << "" << "CRO 2005-03-15.pdf";
    }
    void pdfFileName()
    {
        QFETCH(QString, nom);
        QFETCH(QString, prenom);
        QFETCH(QString, expected);
        QCOMPARE(report::pdfFileName(nom, prenom, QDate(2005, 3, 15)), expected);
    }

    // The system's chooser: French texts, a PDF filter, the offered folder and name; Cancel returns nothing.
    void systemPdfChooser()
    {
        report::setPrinterService(nullptr);
        const QString offered = env->workbookDir() + "/CRO MARTIN Claire 2005-03-15.pdf";
        QString title, folder, name, accept, reject;
        QStringList filters;
        QTimer::singleShot(0, [&] {
            auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
            if (!dialog)
                return;
            title = dialog->windowTitle();
            filters = dialog->nameFilters();
            folder = dialog->directory().absolutePath();
            const QStringList selected = dialog->selectedFiles();
            name = selected.isEmpty() ? QString() : QFileInfo(selected.first()).fileName();
            accept = dialog->labelText(QFileDialog::Accept);
            reject = dialog->labelText(QFileDialog::Reject);
            dialog->reject();
        });
        QCOMPARE(report::printerService().choosePdfFile(nullptr, offered), QString());
        QCOMPARE(title, QStringLiteral("Enregistrer le compte rendu opératoire en PDF"));
        QCOMPARE(filters, QStringList{"Documents PDF (*.pdf)"});
        QCOMPARE(folder, QDir(env->workbookDir()).absolutePath());
        QCOMPARE(name, QStringLiteral("CRO MARTIN Claire 2005-03-15.pdf"));
        QCOMPARE(accept, QStringLiteral("Enregistrer"));
        QCOMPARE(reject, QStringLiteral("Annuler"));
    }

    void longCommentsWrapAndBreakPages()
    {
        report::Page page;
        QStringList words;
        for (int i = 0; i < 60; ++i)
            words << QStringLiteral("mot%1").arg(i);
        page.lines.append({QString(20, QLatin1Char(' ')) + "Commentaires : " + words.join(' '), 12, false, {}});
        QStringList many;
        for (int i = 0; i < 70; ++i)
            many << QStringLiteral("ligne%1").arg(i);
        page.lines.append({many.join('\r'), 12, false, {}});
        auto printer = printers.defaultPrinter();
        QVERIFY(report::render(page, *printer));
        const QString text = pdfText(printers.defaultFile);
        QVERIFY(text.contains(QStringLiteral("mot0")) && text.contains(QStringLiteral("mot59")));
        QVERIFY(text.contains(QStringLiteral("ligne0")) && text.contains(QStringLiteral("ligne69")));
        QCOMPARE(pdfPages(printers.defaultFile), 2);
    }

    // Whatever the length of the comment, the closing place and date line stays on a page with the text before
    // it: a gap gives way, or the last lines go over with it.
    void closingLineNeverAlone_data()
    {
        QTest::addColumn<int>("commentLength");
        for (int length = 150; length <= 600; length += 25)
            QTest::newRow(qPrintable(QString::number(length))) << length;
    }
    void closingLineNeverAlone()
    {
        QFETCH(int, commentLength);
        Form5* f = openFullSheet();
        QString comment;
        while (comment.size() < commentLength)
            comment += QStringLiteral("ovaire droit haut situé, ponction difficile ");
        f->ui->TxtComments->setPlainText(comment.left(commentLength));
        QTest::mouseClick(f->ui->CmdCRO, Qt::LeftButton);
        const int pages = pdfPages(printers.defaultFile);
        QVERIFY(pages >= 1);
        const QString last = run(QStringLiteral("pdftotext"),
                                 {QStringLiteral("-f"), QString::number(pages), QStringLiteral("-l"),
                                  QString::number(pages), printers.defaultFile, QStringLiteral("-")});
        QVERIFY2(last.contains(QStringLiteral("Rennes le 15/03/2005")), qPrintable(last));
        QVERIFY2(last.contains(QStringLiteral("K Opératoire : KC25")), qPrintable(last));
    }

    void unwritableOutputIsReported()
    {
        Form5* f = openFullSheet();
        printers.defaultFile = env->path(QStringLiteral("no/such/dir/out.pdf"));
        QTest::mouseClick(f->ui->CmdCRO, Qt::LeftButton);
        QCOMPARE(env->messages.texts(), QStringList{"L'impression du compte rendu opératoire a échoué."});
    }
};

QTEST_MAIN(TstReport)
#include "tst_report.moc"
