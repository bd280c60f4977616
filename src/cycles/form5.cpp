#include "cycles/form5.h"

#include "app/dossier.h"
#include "app/form4.h"
#include "cycles/fiche.h"
#include "cycles/form6.h"
#include "cycles/sheetfields.h"
#include "data/globals.h"
#include "platform/controls.h"
#include "platform/conversions.h"
#include "platform/environment.h"
#include "platform/guarded.h"
#include "platform/help.h"
#include "platform/messages.h"
#include "platform/rowwrite.h"
#include "platform/scrollable.h"
#include "platform/settings.h"
#include "pregnancy/form30.h"
#include "workup/form11.h"
#include "workup/stale.h"

#include "ui_form4.h"
#include "ui_form5.h"

#include <QDir>
#include <QFileInfo>
#include <QKeyEvent>
#include <QMenuBar>

using platform::forms;

namespace {

// The main window's couple number, or 0 when the main window is not loaded.
qint64 mainCouple()
{
    const Form4* main = forms().find<Form4>();
    return main ? app::coupleNumber(main->ui->NumLbl->text()) : 0;
}

void reportDbError(const QString& what, const data::DbError& e)
{
    platform::notice(what + QStringLiteral("\n\n") + e.message());
}

QString plainNumber(qint64 n) { return QString::number(n); }

// A positive whole number typed in a box; 0 otherwise.
qint64 positiveWhole(const QString& text)
{
    bool ok = false;
    const qint64 n = text.trimmed().toLongLong(&ok);
    return ok && n > 0 ? n : 0;
}

} // namespace

Form5::Form5() : ui(std::make_unique<Ui::Form5>())
{
    ui->setupUi(this);
    auto* bar = new QMenuBar(this);
    bar->addAction(ui->Cro);
    bar->addAction(ui->reserve);
    bar->addAction(ui->Aide);
    layout()->setMenuBar(bar);
    for (QLineEdit* box : {ui->TxtMiseRoute, ui->TxtJRegles, ui->TxtDatAna, ui->TxtDatePonc, ui->TxtDateTrans})
        platform::keepDateWhole(box);
    // Products, operators and treatments read whole.
    for (QComboBox* combo : {ui->CmbAna, ui->CmbAntago, ui->CmbModePonc})
        platform::fitCharacters(combo, 20);
    for (QComboBox* combo : {ui->CmbGynecoP, ui->CmbAnesthesi, ui->CmbModal, ui->CmbTtt, ui->CmbGynecoT})
        platform::fitCharacters(combo, 32);
    platform::makeScrollable(this);

    connect(ui->Command1, &QPushButton::clicked, this, platform::guarded(this, &Form5::Command1_Click));
    connect(ui->Command2, &QPushButton::clicked, this, platform::guarded(this, &Form5::Command2_Click));
    connect(ui->Command3, &QPushButton::clicked, this, platform::guarded(this, &Form5::Command3_Click));
    connect(ui->Command4, &QPushButton::clicked, this, platform::guarded(this, &Form5::Command4_Click));
    connect(ui->Check1, &QCheckBox::toggled, this, platform::guarded(this, &Form5::Check1_Click));
    connect(ui->TxtNumPat, &QLineEdit::textChanged, this, platform::guarded(this, &Form5::TxtNumPat_Change));
    connect(ui->CmdModif, &QPushButton::clicked, this, platform::guarded(this, &Form5::CmdModif_Click));
    connect(ui->CmdSupprimer, &QPushButton::clicked, this, platform::guarded(this, &Form5::CmdSupprimer_Click));
    connect(ui->CmdQuitte, &QPushButton::clicked, this, platform::guarded(this, &Form5::CmdQuitte_Click));
    connect(ui->CmdCree, &QPushButton::clicked, this, platform::guarded(this, &Form5::CmdCree_Click));
    connect(ui->CmdOuvrXls, &QPushButton::clicked, this, platform::guarded(this, &Form5::CmdOuvrXls_Click));
    connect(ui->Command5, &QPushButton::clicked, this, platform::guarded(this, &Form5::Command5_Click));
    connect(ui->CmdCRO, &QPushButton::clicked, this, platform::guarded(this, &Form5::CmdCRO_Click));
    connect(ui->Cro, &QAction::triggered, this, platform::guarded(this, &Form5::Cro_Click));
    connect(ui->reserve, &QAction::triggered, this, platform::guarded(this, &Form5::reserve_Click));
    connect(ui->Aide, &QAction::triggered, this, platform::guarded(this, &Form5::Aide_Click));
    ui->TxtNumFich->installEventFilter(this);
}

Form5::~Form5() = default;

void Form5::Form_Load() { loadCouple(mainCouple()); }

// The main window writes the couple number after touching the window. When the window was already loaded for
// another couple (left loaded after a couple without sheets, or still open), it is loaded again for the new one
// so that names, sheets, diagnosis and warning always belong to the same couple.
void Form5::TxtNumPat_Change()
{
    const qint64 n = positiveWhole(ui->TxtNumPat->text());
    if (n > 0 && n != m_couple)
        loadCouple(n);
}

void Form5::loadCouple(qint64 couple)
{
    if (const Form4* main = forms().find<Form4>()) {
        ui->LblNumClin->setText(main->ui->LblNumClin->text());
        ui->LblNumBio->setText(main->ui->LblNumBio->text());
    }
    m_couple = couple;
    m_rs.reset();
    clearSheet();
    ui->Label5->clear();
    ui->Label30->setVisible(false);
    try {
        m_db = data::Database::open(data::CHEMIN_BASE);
        loadReferenceLists();
    } catch (const data::DbError& e) {
        reportDbError(QStringLiteral("Impossible de lire la base ") + data::CHEMIN_BASE + QLatin1Char('.'), e);
        return;
    }
    checkExams();
    if (openSheets() && m_rs->RecordCount() > 0) {
        m_rs->MoveLast();
        AFFICHEFICHE();
    }
    markSaved();
}

void Form5::loadReferenceLists()
{
    const QList<std::pair<int, QComboBox*>> combos = {
        {1, ui->CmbGynecoP}, {1, ui->CmbGynecoT}, {2, ui->CmbAnesthesi}, {3, ui->CmbAna},  {4, ui->CmbAntago},
        {5, ui->CmbStimuline}, {9, ui->CmbDeclencho}, {6, ui->CmbModal}, {20, ui->CmbModePonc}, {7, ui->CmbGross},
        {8, ui->CmbMult}, {10, ui->CmbType}, {11, ui->CmbTtt},
    };
    const QList<std::pair<int, QLabel*>> letterhead = {
        {16, ui->LblEntNom}, {17, ui->LblEntAdress}, {18, ui->LblEntVille}, {19, ui->LblEntTel}};
    auto rows = [this](int list) {
        auto rs = m_db->OpenRecordset(QStringLiteral("SELECT*FROM OPTIONS WHERE NUMEROS = %1 ").arg(list));
        return data::textsToEnd(*rs, QStringLiteral("TEXTE"));
    };
    for (const auto& [list, combo] : combos) {
        platform::setItems(combo, rows(list));
        combo->setEditText(QString());
    }
    for (const auto& [list, label] : letterhead) {
        const QStringList texts = rows(list);
        label->setText(texts.isEmpty() ? QString() : texts.last());
    }
}

// The "Dossier non à jour" warning: a spermogram older than 92 days or missing, or a laboratory exam older than
// 365 days (the laboratory text wins). Exams that cannot be read are said so in its place.
void Form5::checkExams()
{
    try {
        const auto rs = workup::coupleExams(*m_db, m_couple);
        if (!rs) {
            ui->Label5->clear();
            return;
        }
        ui->Label5->setText(rs->text(QStringLiteral("Diag")));
        workup::showStaleWarning(ui->Label30, *rs, true);
    } catch (const data::DbError&) {
        workup::showExamsUnchecked(ui->Label30);
    }
}

bool Form5::openSheets()
{
    m_sql = QStringLiteral("SELECT*FROM FICHE WHERE NUMERO=") + plainNumber(m_couple) + QStringLiteral(" ORDER BY NUMFICH");
    try {
        m_db = data::Database::open(data::CHEMIN_BASE);
        m_rs = m_db->OpenRecordset(m_sql);
        m_rs->FindFirst(QStringLiteral("NUMERO=") + plainNumber(m_couple));
        return true;
    } catch (const data::DbError& e) {
        m_rs.reset();
        reportDbError(QStringLiteral("Impossible de lire les fiches de ce couple."), e);
        return false;
    }
}

bool Form5::hasCurrentSheet() const { return m_rs && m_rs->RecordCount() > 0 && !m_rs->isBOF() && !m_rs->isEOF(); }

void Form5::clearSheet()
{
    for (const sheet::Field& f : sheet::fields(*ui))
        sheet::setControlValue(f, QVariant());
    m_shown.clear();
    for (QLineEdit* box : {ui->TxtNumIntFich, ui->TxtNumDos})
        box->clear();
    ui->Label29->clear();
    ui->LblXls->setText(QStringLiteral("Fichier.xls"));
    for (QWidget* frame : {ui->Frame6, ui->Frame3, ui->Frame4})
        frame->setVisible(true);
}

void Form5::AFFICHEFICHE()
{
    if (!hasCurrentSheet())
        return;
    try {
        const QList<QRadioButton*> bloc = {ui->OptBloc1, ui->OptBloc2, ui->OptBloc3};
        const QList<QRadioButton*> stim = {ui->OptStim1, ui->OptStim2, ui->OptStim3, ui->Optstim4};
        const int optBloc = m_rs->Fields(QStringLiteral("OPTIONBLOC")).toInt();
        const int optStim = m_rs->Fields(QStringLiteral("OPTIONSTIM")).toInt();
        if (optBloc >= 1 && optBloc <= bloc.size())
            bloc[optBloc - 1]->setChecked(true);
        if (optStim >= 1 && optStim <= stim.size())
            stim[optStim - 1]->setChecked(true);

        m_shown.clear();
        for (const sheet::Field& f : sheet::fields(*ui)) {
            const QString column = QString::fromLatin1(f.column);
            const QVariant value = m_rs->Fields(column);
            sheet::setControlValue(f, value);
            m_shown.shown(column, value, f.control);
        }

        const QString numFich = m_rs->text(QStringLiteral("NUMFICH"));
        ui->TxtNumIntFich->setText(m_rs->text(QStringLiteral("NUMINTFICH")));
        ui->TxtNumDos->setText(plainNumber(m_couple) + QLatin1Char('-') + numFich);
        QString title = QStringLiteral("Fiche N° ") + numFich;
        if (!ui->TxtMiseRoute->text().isEmpty())
            title += QStringLiteral(" du ") + ui->TxtMiseRoute->text();
        ui->Label29->setText(title);
        const bool abandoned = ui->Check1->isChecked();
        for (QWidget* frame : {ui->Frame6, ui->Frame3, ui->Frame4})
            frame->setVisible(!abandoned);
        ui->LblXls->setText(m_rs->text(QStringLiteral("NomFichier")));
        markSaved();
    } catch (const data::DbError& e) {
        reportDbError(QStringLiteral("Impossible d'afficher cette fiche."), e);
    }
}

void Form5::Check1_Click() { ui->LblCycle->setVisible(ui->Check1->isChecked()); }

bool Form5::event(QEvent* e)
{
    // Form_Activate: the usual next entry is the retrieval date, unless the cycle was abandoned.
    if (e->type() == QEvent::WindowActivate && !ui->Check1->isChecked())
        ui->TxtDatePonc->setFocus();
    return platform::Form::event(e);
}

bool Form5::eventFilter(QObject* watched, QEvent* e)
{
    if (watched == ui->TxtNumFich && e->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(e)->key();
        // Browsing reads the database, and Qt's event delivery must not see its failure.
        if (key == Qt::Key_Right)
            platform::runGuarded([this] { Command4_Click(); });
        else if (key == Qt::Key_Left)
            platform::runGuarded([this] { Command3_Click(); });
    }
    return platform::Form::eventFilter(watched, e);
}

void Form5::reloadAndMove(void (data::Recordset::*move)())
{
    if (!openSheets() || m_rs->RecordCount() == 0)
        return;
    (m_rs.get()->*move)();
    AFFICHEFICHE();
}

void Form5::browse(void (data::Recordset::*move)(), bool (data::Recordset::*passed)() const,
                   void (data::Recordset::*back)())
{
    if (!m_rs || m_rs->RecordCount() == 0)
        return;
    try {
        (m_rs.get()->*move)();
        if ((m_rs.get()->*passed)())
            (m_rs.get()->*back)();
        AFFICHEFICHE();
    } catch (const data::DbError& e) {
        reportDbError(QStringLiteral("Impossible de changer de fiche."), e);
    }
}

void Form5::Command1_Click() { reloadAndMove(&data::Recordset::MoveFirst); }
void Form5::Command2_Click() { reloadAndMove(&data::Recordset::MoveLast); }
void Form5::Command3_Click() { browse(&data::Recordset::MovePrevious, &data::Recordset::isBOF, &data::Recordset::MoveFirst); }
void Form5::Command4_Click() { browse(&data::Recordset::MoveNext, &data::Recordset::isEOF, &data::Recordset::MoveLast); }

void Form5::CmdModif_Click()
{
    if (!hasCurrentSheet())
        return;
    if (!sheet::datesAccepted(sheet::fields(*ui))) {
        platform::notice(QStringLiteral("Une Date a été mal saisie, veuillez la corriger. JJ/MM/AA"));
        return;
    }
    if (positiveWhole(ui->TxtNumFich->text()) == 0) {
        platform::notice(QStringLiteral("Le numéro de fiche doit être un nombre entier positif."));
        ui->TxtNumFich->setFocus();
        return;
    }
    if (!platform::askYesNo(QStringLiteral("Voulez vous vraiment enregistrer les modifications apportées à cette Fiche ?")))
        return;
    try {
        m_rs->Edit();
        for (const sheet::Field& f : sheet::fields(*ui)) {
            const QString column = QString::fromLatin1(f.column);
            m_rs->setField(column, m_shown.stored(column, sheet::controlValue(f)));
        }
        // Checked against the sheet as shown: another workstation's change since is not lost unseen.
        if (!platform::storeEdit(*m_rs,
                                 QStringLiteral("Cette fiche a été modifiée sur un autre poste depuis son ouverture. "
                                                "Enregistrer quand même vos modifications ?"),
                                 QStringLiteral("La fiche n'a pas pu être enregistrée : elle a été supprimée ou "
                                                "remplacée sur un autre poste ; vos saisies restent affichées.")))
            return;
    } catch (const data::DbError& e) {
        if (m_rs->editing())
            m_rs->CancelUpdate();
        reportDbError(QStringLiteral("La fiche n'a pas pu être enregistrée ; vos saisies restent affichées."), e);
        return;
    }
    platform::notice(QStringLiteral("Fiche courante modifiée"));
    hide();
    forms().unload(this);
    office::QUITTE_EXCEL();
}

void Form5::CmdSupprimer_Click()
{
    if (!hasCurrentSheet() || positiveWhole(ui->TxtNumIntFich->text()) == 0)
        return;
    if (platform::askYesNo(QStringLiteral("Voulez vous vraiment SUPPRIMER cette Fiche ?"))) {
        try {
            // The sheet as shown: another workstation's change since is not deleted unseen.
            platform::deleteRow(*m_rs,
                                QStringLiteral("Cette fiche a été modifiée sur un autre poste depuis son ouverture. "
                                               "La supprimer quand même ?"),
                                QStringLiteral("La fiche n'a pas pu être supprimée : elle a été supprimée ou "
                                               "remplacée sur un autre poste."));
        } catch (const data::DbError& e) {
            reportDbError(QStringLiteral("La fiche n'a pas pu être supprimée."), e);
        }
    }
    CmdQuitte_Click();
}

void Form5::CmdQuitte_Click()
{
    hide();
    forms().unload(this);
    office::QUITTE_EXCEL();
    if (Form4* main = forms().find<Form4>()) {
        main->ui->Text1->clear();
        if (main->isVisible())
            main->ui->Text1->setFocus();
    }
}

void Form5::CmdCree_Click() { forms().show<Form6>(); }
void Form5::reserve_Click() { forms().show<Form11>(); }
void Form5::Aide_Click() { platform::showHelp(platform::HelpContext, 70); }

// Opens the cycle's workbook in the program's office instance, alongside whatever it already holds: nothing the
// user was working on is closed.
void Form5::CmdOuvrXls_Click()
{
    const QString path = cycles::workbookPath(ui->LblXls->text());
    const QString notFound = QStringLiteral("Fichier ") + path + QStringLiteral(" introuvable");
    if (!QFileInfo(path).isFile()) {
        platform::notice(notFound);
        return;
    }
    if (m_app.hasWorkbook() && m_appPath == path && office::isOpen(m_app)) {
        office::bringToFront(m_app); // its unsaved edits stay
        return;
    }
    m_app = office::openAlongside(path);
    m_appPath = path;
    switch (m_app.openStatus()) {
    case office::OpenStatus::Opened: break;
    case office::OpenStatus::FileNotFound: platform::notice(notFound); break;
    case office::OpenStatus::NoApplication:
        platform::notice(QStringLiteral("Aucun tableur n'a pu être lancé pour ouvrir ") + path + QLatin1Char('.'));
        break;
    case office::OpenStatus::Failed:
        platform::notice(QStringLiteral("Le tableur n'a pas pu ouvrir ") + path + QLatin1Char('.'));
        break;
    case office::OpenStatus::Lost:
        platform::notice(QStringLiteral("Le tableur a été fermé avant d'avoir ouvert ") + path +
                         QStringLiteral(" : cliquez de nouveau pour l'ouvrir."));
        break;
    }
}

void Form5::Command5_Click()
{
    data::CHEMINS_BASE = platform::getSetting(data::kSettingsApp, data::kSettingsSection, QStringLiteral("Chemins"),
                                              platform::programDir());
    const qint64 sheetId = positiveWhole(ui->TxtNumIntFich->text());
    if (sheetId == 0) {
        platform::notice(QStringLiteral("Aucune fiche n'est affichée : pas de suivi de grossesse possible."));
        return;
    }
    try {
        data::BASE_GROSS = data::Database::open(data::CHEMINS_BASE);
        data::SQL_GROSS = QStringLiteral("SELECT*FROM GROSSESSE WHERE NUMFICH=") + plainNumber(sheetId);
        data::RS_GROSS = data::BASE_GROSS->OpenRecordset(data::SQL_GROSS);
        data::RS_GROSS->FindFirst(QStringLiteral("NUMFICH=") + plainNumber(sheetId));
        data::GROSS_EXISTE = !data::RS_GROSS->NoMatch();
    } catch (const data::DbError& e) {
        reportDbError(QStringLiteral("Impossible d'ouvrir le suivi de grossesse dans la base ") + data::CHEMINS_BASE +
                          QLatin1Char('.'),
                      e);
        return;
    }
    if (!data::GROSS_EXISTE && !platform::askYesNo(QStringLiteral("Voulez vous creer une Fiche de suivi de grossesse")))
        return;
    // A follow-up still open for another sheet is replaced; a follow-up that could not open keeps this window.
    if (Form30::openFollowUp())
        hide();
}

report::Page Form5::IMPRIME() const
{
    report::Sources s;
    s.entNom = ui->LblEntNom->text();
    s.entAdress = ui->LblEntAdress->text();
    s.entVille = ui->LblEntVille->text();
    s.entTel = ui->LblEntTel->text();
    s.nom = ui->LblNom->text();
    s.prenom = ui->lblprenom->text();
    s.diagnostic = ui->Label5->text();
    s.type = ui->CmbType->currentText();
    s.numFich = ui->TxtNumFich->text();
    s.datePonc = ui->TxtDatePonc->text();
    s.gynecoP = ui->CmbGynecoP->currentText();
    s.anesthesi = ui->CmbAnesthesi->currentText();
    s.modePonc = ui->CmbModePonc->currentText();
    s.comments = ui->TxtComments->toPlainText();
    s.nbrO = ui->TxtNbrO->text();
    s.nbrE = ui->TxtNbrE->text();
    s.nbrEC = ui->TxtNbrEC->text();
    s.kPonction = ui->LblKponction->text();
    s.dateTrans = ui->TxtDateTrans->text();
    s.modal = ui->CmbModal->currentText();
    s.gynecoT = ui->CmbGynecoT->currentText();
    s.nbrET = ui->TxtNbrET->text();
    s.kTransfert = ui->LblKTransfert->text();
    s.today = platform::shortDate(platform::today());
    return report::compose(s);
}

// Without a printer the report is offered as a PDF in the workbook folder, beside the couple's workbooks.
QString Form5::reportPdfPath() const
{
    return cycles::workbookPath(report::pdfFileName(ui->LblNom->text(), ui->lblprenom->text(), platform::today()));
}

void Form5::CmdCRO_Click()
{
    report::print(report::PrinterChoice::Default, this, [this] { return IMPRIME(); }, reportPdfPath());
}

// The printer is chosen before the page is composed, so Cancel leaves nothing behind.
void Form5::Cro_Click()
{
    report::print(report::PrinterChoice::Dialog, this, [this] { return IMPRIME(); }, reportPdfPath());
}
