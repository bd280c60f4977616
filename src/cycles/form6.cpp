#include "cycles/form6.h"

#include "app/dossier.h"
#include "app/form4.h"
#include "cycles/fiche.h"
#include "cycles/sheetfields.h"
#include "data/globals.h"
#include "data/schema.h"
#include "platform/controls.h"
#include "platform/conversions.h"
#include "platform/environment.h"
#include "platform/filewrite.h"
#include "platform/guarded.h"
#include "platform/help.h"
#include "platform/messages.h"
#include "platform/scrollable.h"
#include "workup/form11.h"
#include "workup/stale.h"

#include "ui_form4.h"
#include "ui_form6.h"

#include <QComboBox>
#include <cerrno>
#include <cstdio>
#include <QFile>
#include <QFileInfo>
#include <QLayout>
#include <QLocale>
#include <QMenuBar>
#include <QStyle>
#include <optional>

namespace {

constexpr int kHelpTopic = 60;
// Rounds of a save before it gives up to other workstations saving sheets of the couple at the same time.
constexpr int kSaveRounds = 5;

QString listQuery(int list)
{
    return QStringLiteral("SELECT*FROM OPTIONS WHERE NUMEROS = ") + QString::number(list) + QLatin1Char(' ');
}

std::optional<QDate> dateIn(const QLineEdit* edit) { return platform::parseDate(edit->text()); }

// The date boxes, stored as the cycle sheet window stores them.
QList<sheet::Field> dateFields(const Ui::Form6& ui)
{
    using K = sheet::Field::Kind;
    return {{"JSTIM", K::DateText, ui.TxtJRegles}, {"DATANA", K::DateText, ui.TxtDatAna},
            {"JCYCLE", K::DayNumber, ui.TxtMiseRoute}};
}

// 1-based rank of the selected button.
int selectedRank(std::initializer_list<const QRadioButton*> buttons)
{
    int rank = 1;
    for (const QRadioButton* b : buttons) {
        if (b->isChecked())
            return rank;
        ++rank;
    }
    return 0;
}

} // namespace

Form6::Form6() : ui(std::make_unique<Ui::Form6>())
{
    ui->setupUi(this);
    menuBar = new QMenuBar(this);
    menuBar->addAction(ui->reserve);
    menuBar->addAction(ui->Aide);
    layout()->setMenuBar(menuBar);
    ui->Command11->setIcon(style()->standardIcon(QStyle::SP_DialogResetButton));
    ui->MonthView1->setLocale(QLocale(QLocale::French, QLocale::France));
    for (QLineEdit* box : {ui->TxtMiseRoute, ui->TxtDatAna, ui->TxtJRegles})
        platform::keepDateWhole(box);
    ui->MonthView1->setFirstDayOfWeek(Qt::Monday);

    connect(ui->reserve, &QAction::triggered, this, platform::guarded(this, &Form6::reserve_Click));
    connect(ui->Aide, &QAction::triggered, this, platform::guarded(this, &Form6::Aide_Click));
    connect(ui->CmdNouvFiche, &QPushButton::clicked, this, platform::guarded(this, &Form6::CmdNouvFiche_Click));
    connect(ui->CmdQuitte, &QPushButton::clicked, this, platform::guarded(this, &Form6::CmdQuitte_Click));
    connect(ui->Command11, &QToolButton::clicked, this, platform::guarded(this, &Form6::Command11_Click));
    connect(ui->MonthView1, &QCalendarWidget::clicked, this, platform::guarded(this, &Form6::MonthView1_DateClick));
    for (int n = 1; n <= 10; ++n)
        connect(protocolButton(n), &QPushButton::clicked, this, platform::guarded([this, n] { Command_Click(n); }));
    // Each scheme acts when its button becomes the selected one (mouse or arrow keys).
    for (QRadioButton* b : {ui->OptBloc1, ui->OptBloc2, ui->OptBloc3})
        connect(b, &QRadioButton::toggled, this, platform::guarded([this](bool on) { if (on) OptBloc_Click(); }));
    for (QRadioButton* b : {ui->OptStim1, ui->OptStim2, ui->OptStim3, ui->Optstim4})
        connect(b, &QRadioButton::toggled, this, platform::guarded([this](bool on) { if (on) OptStim_Click(); }));
}

// A workbook stored for a sheet that never was is not left in the folder.
Form6::~Form6() { dropStaged(); }

QPushButton* Form6::protocolButton(int n) const
{
    QPushButton* const buttons[] = {ui->Command1, ui->Command2, ui->Command3, ui->Command4, ui->Command5,
                                    ui->Command6, ui->Command7, ui->Command8, ui->Command9, ui->Command10};
    return buttons[n - 1];
}

void openCreationWindowFromMain() { platform::forms().show<Form6>(); }

void Form6::Form_Load()
{
    if (!loadWindow())
        platform::forms().unload(this);
    else
        markSaved();
}

bool Form6::loadWindow()
{
    ui->MonthView1->setSelectedDate(platform::today());
    // The couple is fixed now: the sheet is saved under it whatever the main window shows by then.
    const Form4* main = platform::forms().find<Form4>();
    const QString caption = main ? main->ui->NumLbl->text().trimmed() : QString();
    m_couple = app::coupleNumber(caption);
    if (m_couple <= 0) {
        m_couple = 0;
        platform::notice(QStringLiteral("Aucun dossier n'est affiché dans la fenêtre principale : "
                                        "choisissez d'abord le couple de la nouvelle fiche."));
        return false;
    }
    try {
        reopenDatabase();
        const std::pair<int, QComboBox*> lists[] = {{3, ui->CmbAna}, {4, ui->CmbAntago}, {5, ui->CmbStimuline},
                                                    {10, ui->CmbType}, {9, ui->CmbDeclencho}};
        for (const auto& [list, combo] : lists) {
            m_rs = m_db->OpenRecordset(listQuery(list));
            platform::setItems(combo, data::textsToEnd(*m_rs, QStringLiteral("TEXTE")));
        }
        // An empty list leaves the button's own caption, and the sheet header empty.
        for (int list = 21; list <= 30; ++list) {
            m_rs = m_db->OpenRecordset(listQuery(list));
            if (!m_rs->isEOF())
                protocolButton(list - 20)->setText(m_rs->text(QStringLiteral("TEXTE")));
        }
        m_rs = m_db->OpenRecordset(listQuery(15));
        ui->TxtEntete->setText(m_rs->isEOF() ? QString() : m_rs->text(QStringLiteral("TEXTE")));

        checkExamDates();

        m_sql = QStringLiteral("SELECT*FROM CIVILITES");
        m_rs = m_db->OpenRecordset(m_sql);
        m_rs->FindFirst(QStringLiteral("Numero=") + QString::number(m_couple));
        if (m_rs->NoMatch()) {
            platform::notice(QStringLiteral("Le dossier n° ") + QString::number(m_couple) +
                             QStringLiteral(" est introuvable dans la base : la fiche ne peut pas être créée."));
            return false;
        }
        AFFICHE();

        const int next = cycles::nextSheetNumber(m_db, m_couple);
        EFFACEFICHE();
        ui->LblNumFich->setText(QString::number(next));
    } catch (const data::DbError& e) {
        platform::notice(QStringLiteral("La fenêtre de création de fiche ne peut pas s'ouvrir :\n") + e.message());
        return false;
    }
    return true;
}

void Form6::reopenDatabase()
{
    m_rs.reset();
    m_db = data::Database::open(data::CHEMIN_BASE);
}

// Warns when the couple's work-up is stale; a spermogram without a date does not warn here. Exams that cannot be
// read are said so in place of the warning.
void Form6::checkExamDates()
{
    try {
        if (const auto rs = workup::coupleExams(*m_db, m_couple))
            workup::showStaleWarning(ui->Label30, *rs, false);
    } catch (const data::DbError&) {
        workup::showExamsUnchecked(ui->Label30);
    }
}

void Form6::AFFICHE()
{
    ui->LblNom->setText(m_rs->text(QStringLiteral("Nom")));
    ui->lblprenom->setText(m_rs->text(QStringLiteral("Prenom")));
}

void Form6::EFFACEFICHE()
{
    for (QComboBox* combo : {ui->CmbAna, ui->CmbStimuline, ui->CmbDeclencho, ui->CmbType, ui->CmbAntago}) {
        combo->setCurrentIndex(-1);
        combo->clearEditText();
    }
    ui->TxtDatAna->clear();
    ui->TxtJRegles->clear();
    ui->TxtMiseRoute->setText(platform::shortDate(platform::today()));
}

void Form6::Command11_Click()
{
    ui->TxtDatAna->clear();
    ui->TxtJRegles->clear();
}

void Form6::MonthView1_DateClick()
{
    QLineEdit* target = ui->Option1->isChecked() ? ui->TxtDatAna : ui->TxtJRegles;
    target->setText(platform::shortDate(ui->MonthView1->selectedDate()));
}

// Hiding a product box keeps its text: it is saved with the sheet all the same.
void Form6::OptBloc_Click()
{
    ui->CmbAna->setVisible(ui->OptBloc2->isChecked());
    ui->CmbAntago->setVisible(ui->OptBloc3->isChecked());
}

void Form6::OptStim_Click()
{
    ui->CmbStimuline->setVisible(ui->OptStim3->isChecked() || ui->Optstim4->isChecked());
}

void Form6::reserve_Click()
{
    platform::forms().show<Form11>();
}

void Form6::Aide_Click() { platform::showHelp(platform::HelpContext, kHelpTopic); }

void Form6::DECH_EXCEL() { office::DECH_EXCEL(m_excel); }

void Form6::Command_Click(int protocol)
{
    DECH_EXCEL();
    dropStaged();
    m_numberInWorkbook = false;
    m_template = QStringLiteral("Folivex%1.xls").arg(protocol, 2, 10, QLatin1Char('0'));
    CREEXCEL();
}

void Form6::CREEXCEL()
{
    if (!office::COPIE_MODELE(m_template))
        return;
    const auto periods = dateIn(ui->TxtJRegles);
    const auto analogue = dateIn(ui->TxtDatAna);
    if (!periods && !analogue &&
        !platform::askYesNo(
            QStringLiteral("Date des règles non valide ou date analogue manquante, continuer quand même ?")))
        return;
    m_excel = office::OUVRE_EXCEL(office::workingCopyPath());
    if (ui->Check1->isChecked()) {
        // Names, the header and the type go in as typed: a type such as "1/2" is no date.
        using office::CellValue;
        office::ECRIT_CELLULE(m_excel, QStringLiteral("A3"), CellValue::literal(ui->TxtEntete->text()));
        office::ECRIT_CELLULE(m_excel, QStringLiteral("B6"), CellValue::literal(ui->LblNom->text()));
        office::ECRIT_CELLULE(m_excel, QStringLiteral("K6"), CellValue::literal(ui->lblprenom->text()));
        if (periods)
            office::ECRIT_CELLULE(m_excel, QStringLiteral("I1"), *periods);
        if (analogue)
            office::ECRIT_CELLULE(m_excel, QStringLiteral("H10"), *analogue);
        office::ECRIT_CELLULE(m_excel, QStringLiteral("N8"), ui->LblNumFich->text());
        m_numberInWorkbook = true;
        office::ECRIT_CELLULE(m_excel, QStringLiteral("K8"), CellValue::literal(ui->CmbType->currentText()));
    }
    if (m_excel.lost())
        platform::notice(QStringLiteral("Le tableur a été fermé avant que le classeur du protocole soit prêt : "
                                        "choisissez de nouveau le protocole."));
}

void Form6::CmdNouvFiche_Click()
{
    if (ui->CmbType->currentText().trimmed().isEmpty()) {
        platform::notice(QStringLiteral("Vous devez remplir le type de stimulation."));
        return;
    }
    if (!sheet::datesAccepted(dateFields(*ui))) {
        platform::notice(QStringLiteral("Une Date a été mal saisie, veuillez la corriger"));
        return;
    }
    try {
        m_db = data::Database::open(data::CHEMIN_BASE);
        m_sql = QStringLiteral("SELECT*FROM FICHE ");
        m_rs = m_db->OpenRecordset(m_sql);
        if (!data::coupleExists(*m_db, m_couple)) {
            platform::notice(QStringLiteral("Le dossier n° ") + QString::number(m_couple) +
                             QStringLiteral(" a été supprimé depuis l'ouverture de la fenêtre : la fiche n'est pas "
                                            "enregistrée."));
            return;
        }
    } catch (const data::DbError& e) {
        platform::notice(QStringLiteral("La base de données ne peut pas être ouverte, la fiche n'est pas "
                                        "enregistrée :\n") + e.message());
        return;
    }
    ui->Text1->setText(ui->LblNom->text().left(5));
    ui->Text2->setText(ui->lblprenom->text().left(2));
    if (!platform::askYesNo(QStringLiteral("Voulez vous vraiment enregistrer cette nouvelle Fiche ?"))) {
        closeWindow();
        return;
    }
    // Another workstation may have given the couple this number since the window opened: the workbook is
    // stored with the number the sheet will get.
    try {
        showSheetNumber(cycles::nextSheetNumber(m_db, m_couple));
    } catch (const data::DbError& e) {
        platform::notice(QStringLiteral("La base de données ne peut pas être lue, la fiche n'est pas "
                                        "enregistrée :\n") + e.message());
        return;
    }
    // Each round stores the workbook, then the sheet; a round is done again when another workstation gave the
    // couple the sheet's number meanwhile.
    for (int round = 0; round < kSaveRounds; ++round) {
        const std::optional<QString> workbook = stageWorkbook();
        if (!workbook)
            return;
        if (workbook->isEmpty()) {
            closeWindow();
            return;
        }
        Stored stored = Stored::Refused;
        try {
            stored = storeSheet(*workbook);
        } catch (const data::DbError& e) {
            if (m_rs && m_rs->editing())
                m_rs->CancelUpdate();
            QString text = QStringLiteral("La fiche n'a pas pu être enregistrée dans la base de données :\n") +
                           e.message();
            if (*workbook != cycles::kNoWorkbook)
                text += QStringLiteral("\nLe classeur ") + m_nomFichier +
                        QStringLiteral(" est gardé pour l'essai suivant ; vos saisies restent affichées.");
            platform::notice(text);
            return;
        }
        if (stored == Stored::Yes) {
            office::DECH_EXCEL(m_excel); // stored whole, with its sheet
            platform::notice(QStringLiteral("Nouvelle Fiche Enregistrée"));
            closeWindow();
            return;
        }
        if (stored == Stored::Refused)
            return;
    }
    platform::notice(QStringLiteral("La fiche n'a pas pu être enregistrée : d'autres postes enregistrent en ce moment "
                                    "des fiches de ce couple. Vos saisies restent affichées : enregistrez de nouveau "
                                    "dans un instant."));
}

void Form6::showSheetNumber(int number, bool intoWorkbook)
{
    const QString text = QString::number(number);
    if (ui->LblNumFich->text() == text)
        return;
    ui->LblNumFich->setText(text);
    if (intoWorkbook && m_numberInWorkbook && m_excel.hasWorkbook()) {
        office::ECRIT_CELLULE(m_excel, QStringLiteral("N8"), text);
        dropStaged(); // it holds the number it had
    }
}

QString Form6::plannedWorkbookName() const
{
    return cycles::workbookFileName(ui->Text1->text(), ui->Text2->text(), ui->LblNumFich->text(), platform::today());
}

void Form6::dropStaged()
{
    if (!m_staged.isEmpty())
        QFile::remove(m_staged);
    m_staged.clear();
}

Form6::Stored Form6::storeSheet(const QString& workbook)
{
    const bool withWorkbook = workbook != cycles::kNoWorkbook;
    QString installed; // the workbook's name once it is in place
    m_db->BeginTrans();
    try {
        if (!data::coupleExists(*m_db, m_couple)) {
            m_db->Rollback();
            platform::notice(QStringLiteral("Le dossier n° ") + QString::number(m_couple) +
                             QStringLiteral(" a été supprimé depuis l'ouverture de la fenêtre : la fiche n'est pas "
                                            "enregistrée."));
            return Stored::Refused;
        }
        // The number and the workbook's name are taken together under the lock: another workstation may have
        // stored a sheet, or put a workbook in the folder, while this workbook was stored.
        const int number = cycles::nextSheetNumber(m_db, m_couple);
        if (withWorkbook && m_numberInWorkbook && QString::number(number) != ui->LblNumFich->text()) {
            m_db->Rollback();
            showSheetNumber(number); // into the workbook, which is stored again
            return Stored::Again;
        }
        showSheetNumber(number, false);
        m_nomFichier = withWorkbook ? cycles::freeWorkbookName(*m_db, plannedWorkbookName()) : cycles::kNoWorkbook;
        if (withWorkbook) {
            platform::FileFailure failure;
            const QString target = cycles::workbookPath(m_nomFichier);
            if (!platform::installFile(workbook, target, false, &failure)) {
                if (!QFileInfo::exists(workbook))
                    ::rename(QFile::encodeName(target).constData(), QFile::encodeName(workbook).constData());
                m_db->Rollback();
                if (failure.error == EEXIST)
                    return Stored::Again; // put there meanwhile by a program that takes no lock
                platform::notice(failure.message() +
                                 QStringLiteral("\nLa fiche n'est pas enregistrée ; vos saisies restent affichées."));
                return Stored::Refused;
            }
            installed = target;
        }
        CREEFICHE();
        m_db->CommitTrans();
    } catch (const data::DbError&) {
        m_db->rollbackQuietly();
        // No row names it: the workbook goes back where it waited, for the next try.
        if (!installed.isEmpty())
            ::rename(QFile::encodeName(installed).constData(), QFile::encodeName(workbook).constData());
        throw;
    }
    if (withWorkbook)
        m_staged.clear();
    return Stored::Yes;
}

std::optional<QString> Form6::stageWorkbook()
{
    // A try after a failed row uses the workbook already stored for it.
    if (!m_staged.isEmpty() && QFileInfo::exists(m_staged))
        return m_staged;
    const QString planned = cycles::workbookPath(plannedWorkbookName());
    const QString staged = platform::temporaryNameBeside(planned);
    platform::FileFailure failure;
    const bool built = m_excel.hasWorkbook();
    switch (office::storeWorkbook(m_excel, staged, &failure)) {
    case office::SaveResult::Saved:
        m_staged = staged;
        return staged;
    case office::SaveResult::Lost:
        // What was built in the spreadsheet is gone; what was typed here stays. A next save without a new
        // protocol goes on without workbook, on the user's word.
        m_excel = office::ExcelApp();
        platform::notice(QStringLiteral("Le tableur a été fermé avant d'avoir enregistré le classeur : la fiche n'est "
                                        "pas enregistrée. Choisissez de nouveau le protocole pour refaire le "
                                        "classeur, puis enregistrez la fiche."));
        return std::nullopt;
    case office::SaveResult::Failed:
        // The user has just built a workbook: say why it is not stored before asking to go on without it.
        if (!QFileInfo(cycles::workbookDir()).isDir()) {
            platform::notice(QStringLiteral("Le répertoire des fiches de stimulation ") + cycles::workbookDir() +
                             QStringLiteral(" est introuvable : le classeur ne peut pas y être enregistré."));
        } else {
            failure.path = planned;
            platform::notice(failure.message());
        }
        break;
    case office::SaveResult::NoWorkbook:
        if (built) // closed in the spreadsheet, or the spreadsheet ended, since the protocol was chosen
            platform::notice(QStringLiteral("Le classeur du protocole n'est plus ouvert dans le tableur : il ne peut "
                                            "pas être enregistré."));
        break;
    case office::SaveResult::Refused:
        break;
    }
    if (!platform::askYesNo(
            QStringLiteral("Pas de fiche de Stimulation à enregistrer, enregistrer quand même ?")))
        return QString();
    return cycles::kNoWorkbook;
}

void Form6::CREEFICHE()
{
    const QString empty;
    const std::pair<const char*, QVariant> row[] = {
        {"numero", m_couple},
        {"Ana", ui->CmbAna->currentText()},
        {"Stimuline", ui->CmbStimuline->currentText()},
        {"MODAL", empty},
        {"Type", ui->CmbType->currentText()},
        {"Antago", ui->CmbAntago->currentText()},
        {"Declencho", ui->CmbDeclencho->currentText()},
        {"OPTIONBLOC", selectedRank({ui->OptBloc1, ui->OptBloc2, ui->OptBloc3})},
        {"OPTIONSTIM", selectedRank({ui->OptStim1, ui->OptStim2, ui->OptStim3, ui->Optstim4})},
        {"DATEPONC", empty},
        {"MODPONCTION", empty},
        {"DATETRANS", empty},
        {"NBRE", empty},
        {"NBREC", empty},
        {"NBRET", empty},
        {"NBRO", empty},
        {"REDUC", 0},
        {"NUMFICH", ui->LblNumFich->text().toInt()},
        {"TRAITEMENT", empty},
        {"GROSSESSE", empty},
        {"MULTIPLE", empty},
        {"GYNECOP", empty},
        {"GYNECOT", empty},
        {"ANESTHESI", empty},
        {"COMMENT", empty},
        {"NomFichier", m_nomFichier},
    };
    m_rs->AddNew();
    for (const auto& [column, value] : row)
        m_rs->setField(QLatin1String(column), value);
    for (const sheet::Field& date : dateFields(*ui))
        m_rs->setField(QLatin1String(date.column), sheet::controlValue(date));
    m_rs->Update();
}

void Form6::CmdQuitte_Click() { closeWindow(); }

void Form6::closeWindow()
{
    hide();
    platform::forms().unload(this);
}
