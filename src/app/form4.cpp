#include "app/form4.h"

#include "admin/form21.h"
#include "admin/form50.h"
#include "admin/form9.h"
#include "admin/frmabout.h"
#include "admin/letterheadfile.h"
#include "app/age.h"
#include "app/dossier.h"
#include "app/form2.h"
#include "app/form3.h"
#include "cycles/form5.h"
#include "cycles/form6.h"
#include "data/globals.h"
#include "data/jetsql.h"
#include "platform/environment.h"
#include "platform/guarded.h"
#include "platform/help.h"
#include "platform/inputboxes.h"
#include "platform/keyfilter.h"
#include "platform/messages.h"
#include "platform/settings.h"
#include "stats/form8.h"
#include "workup/examopen.h"
#include "workup/form11.h"
#include "ui_form4.h"

#include <QKeyEvent>
#include <QMenuBar>

#include <optional>
#include <utility>

using data::DbError;
using platform::forms;
using platform::notice;

namespace {

void tellDbError(const QString& what, const DbError& e)
{
    notice(what + QStringLiteral("\n") + e.message());
}

// Where the main window stood when the backup menu closed it: the one the backup window brings back stands there.
std::optional<QRect> g_placeBeforeBackup;

} // namespace

Form4::Form4() : ui(std::make_unique<Ui::Form4>())
{
    ui->setupUi(this);

    menuBar = new QMenuBar(this);
    ui->verticalLayout->setMenuBar(menuBar);
    const struct {
        QAction** action;
        const char* name;
        QString caption;
        void (Form4::*handler)();
    } menus[] = {
        {&Options, "Options", QStringLiteral("Items mémorisés"), &Form4::Options_Click},
        {&reserve, "reserve", QStringLiteral("Réserve Ovarienne"), &Form4::reserve_Click},
        {&Sauve, "Sauve", QStringLiteral("Sauvegarde"), &Form4::Sauve_Click},
        {&Entete, "Entete", QStringLiteral("Entête"), &Form4::Entete_Click},
        {&Propos, "Propos", QStringLiteral("A Propos"), &Form4::Propos_Click},
        {&Aide, "Aide", QStringLiteral("Aide"), &Form4::Aide_Click},
    };
    for (const auto& m : menus) {
        *m.action = menuBar->addAction(m.caption);
        (*m.action)->setObjectName(QString::fromLatin1(m.name));
        connect(*m.action, &QAction::triggered, this, platform::guarded(this, m.handler));
    }

    const std::pair<QPushButton*, void (Form4::*)()> buttons[] = {
        {ui->Command1, &Form4::Command1_Click},
        {ui->Command2, &Form4::Command2_Click},
        {ui->Command3, &Form4::Command3_Click},
        {ui->Command4, &Form4::Command4_Click},
        {ui->CmdCreeDossier, &Form4::CmdCreeDossier_Click},
        {ui->CmdModifie, &Form4::CmdModifie_Click},
        {ui->CmdSupprime, &Form4::CmdSupprime_Click},
        {ui->CmdCreerFiche, &Form4::CmdCreerFiche_Click},
        {ui->CmdOuvrirFiche, &Form4::CmdOuvrirFiche_Click},
        {ui->CmdExamens, &Form4::CmdExamens_Click},
        {ui->CmdStat, &Form4::CmdStat_Click},
        {ui->CmdQuitter, &Form4::CmdQuitter_Click},
    };
    for (const auto& [button, handler] : buttons)
        connect(button, &QPushButton::clicked, this, platform::guarded(this, handler));

    for (QLineEdit* box : {ui->Text1, ui->Text2}) {
        platform::installKeyFilter(box, platform::dropApostropheUpperKey);
        box->installEventFilter(this); // arrow keys browse
    }
    connect(ui->Text1, &QLineEdit::textChanged, this, platform::guarded(this, &Form4::Text1_Change));
    connect(ui->Text2, &QLineEdit::textChanged, this, platform::guarded(this, &Form4::Text2_Change));

    if (const auto place = std::exchange(g_placeBeforeBackup, std::nullopt))
        setGeometry(*place);
}

Form4::~Form4() = default;

Form4* showMainWindow() { return forms().show<Form4>(); }

void Form4::Form_Load()
{
    data::CHEMIN_BASE = platform::getSetting(data::kSettingsApp, data::kSettingsSection, QStringLiteral("CHEMIN"),
                                             platform::programDir());
    if (!app::databasePathPasses(data::CHEMIN_BASE)) {
        notice(QStringLiteral("La base de données 'Induction.mdb' est introuvable. Veuillez à l'aide du SUPERVISEUR "
                              "la placer dans un repertoire quelconque de votre reseau puis relancer le programme"));
        leave();
        return;
    }
    try {
        app::reopenDossierBase();
        app::reopenDossiers(app::kSqlCouplesByName);
    } catch (const DbError& e) {
        notice(QStringLiteral("La base de données %1 ne peut pas être ouverte :\n%2\nLe programme va s'arrêter.")
                   .arg(data::CHEMIN_BASE, e.message()));
        leave();
        return;
    }
    // What is typed first looks for a couple.
    ui->Text1->setFocus();
    // Said before anything is typed that could not be stored.
    if (const QString readOnly = data::BASE_DOSSIERS->readOnlyNotice(); !readOnly.isEmpty())
        notice(readOnly);

    bool haveLetterhead = false;
    const QStringList h = letterhead::read(letterhead::defaultPath(), &haveLetterhead);
    if (haveLetterhead) {
        ui->Label22->setText(h[0] + QLatin1Char(' ') + h[2] + QLatin1Char(' ') + h[1]);
        ui->Label23->setText(h[3]);
        ui->Label24->setText(h[4]);
        ui->Label25->setText(h[5] + QLatin1Char(' ') + h[6]);
        ui->Label26->setText(h[7] + QStringLiteral("      ") + h[8] + QStringLiteral("     ") + h[9]);
        ui->LblNumClin->setText(h[10]);
        ui->LblNumBio->setText(h[11]);
    }
}

void Form4::leave()
{
    m_ending = true;
    forms().unload(this);
    app::endProgram();
}

void Form4::Form_Unload(bool&)
{
    if (m_toBackup || m_ending)
        return;
    m_ending = true;
    app::endProgram();
}

// ------------------------------------------------------------------------------------------------ display

namespace {

// A line break stored by another tool shows as a blank, as in the dossier windows' boxes: a label shows one line.
QString shownText(const data::Recordset& rs, const char* column)
{
    return platform::oneLine(rs.text(QLatin1String(column)));
}

} // namespace

void Form4::AFFICHE()
{
    const auto& rs = *data::RS_DOSSIERS;
    ui->NumLbl->setText(shownText(rs, "numero"));
    for (const auto& f : app::kDossierFields)
        findChild<QLabel*>(QLatin1String(f.mainLabel))->setText(shownText(rs, f.column));
}

void Form4::EFFACAFFICHE()
{
    ui->AgeLbl->clear();
    ui->NumLbl->clear();
    for (const auto& f : app::kDossierFields)
        findChild<QLabel*>(QLatin1String(f.mainLabel))->clear();
}

void Form4::AFFICHE_1()
{
    const auto& rs = *data::RS_DOSSIERS;
    Form5* f5 = forms().get<Form5>();
    // Reached by name: the cycle sheet window's controls are its own.
    const std::pair<const char*, const char*> targets[] = {
        {"LblNom", "Nom"}, {"lblprenom", "Prenom"}, {"TxtNumPat", "numero"}};
    for (const auto& [control, column] : targets)
        if (QWidget* w = f5->findChild<QWidget*>(QLatin1String(control)))
            w->setProperty("text", rs.text(QLatin1String(column)));
}

bool Form4::coupleShown() const { return !ui->NumLbl->text().isEmpty(); }

// ------------------------------------------------------------------------------------- browsing and search

void Form4::moveTo(Move move)
{
    auto rs = data::RS_DOSSIERS;
    try {
        if (!rs)
            throw DbError(DbError::NoCurrentRecord, QString());
        switch (move) {
        case Move::First: rs->MoveFirst(); break;
        case Move::Last: rs->MoveLast(); break;
        case Move::Previous:
            rs->MovePrevious();
            if (rs->isBOF())
                rs->MoveFirst();
            break;
        case Move::Next:
            rs->MoveNext();
            if (rs->isEOF())
                rs->MoveLast();
            break;
        }
        // The couple the list stands on now, unless it can no longer be read (deleted elsewhere meanwhile).
        AFFICHE();
    } catch (const DbError& e) {
        if (e.code() == DbError::NoCurrentRecord)
            notice(QStringLiteral("Pas de Patient enregistré"));
        else
            tellDbError(QStringLiteral("Ce dossier ne peut pas être affiché."), e);
        return;
    }
    app::AFFICHE_AGE();
    app::COLORE_AGE();
}

void Form4::Command1_Click() { moveTo(Move::First); }
void Form4::Command2_Click() { moveTo(Move::Last); }
void Form4::Command3_Click() { moveTo(Move::Previous); }
void Form4::Command4_Click() { moveTo(Move::Next); }

void Form4::search(QLineEdit* box, const QString& sql, const QString& column)
{
    if (box->text().isEmpty())
        return;
    try {
        app::reopenDossiers(sql);
        data::RS_DOSSIERS->FindFirst(column + QStringLiteral(">='") + data::sqlQuote(box->text()) + QLatin1Char('\''));
        if (data::RS_DOSSIERS->NoMatch()) {
            notice(QStringLiteral("Ce Nom n'existe pas"));
        } else {
            AFFICHE();
            app::AFFICHE_AGE();
        }
    } catch (const DbError& e) {
        tellDbError(QStringLiteral("La recherche a échoué."), e);
    }
    app::COLORE_AGE();
}

void Form4::Text1_Change() { search(ui->Text1, app::kSqlCouplesByName, QStringLiteral("NOM")); }
void Form4::Text2_Change() { search(ui->Text2, app::kSqlCouplesByPartner, QStringLiteral("NOMPART")); }

bool Form4::eventFilter(QObject* watched, QEvent* event)
{
    if ((watched == ui->Text1 || watched == ui->Text2) && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        // Browsing reads the database, and Qt's event delivery must not see its failure.
        if (key == Qt::Key_Right)
            platform::runGuarded([this] { Command4_Click(); });
        else if (key == Qt::Key_Left)
            platform::runGuarded([this] { Command3_Click(); });
    }
    return false; // the caret still moves
}

// ------------------------------------------------------------------------------------------------ commands

void Form4::CmdCreeDossier_Click()
{
    if (Form2* open = forms().find<Form2>();
        open && !open->mayDiscard(QStringLiteral("Le nouveau dossier en cours n'est pas enregistré. "
                                                 "Quitter sans enregistrer ?")))
        return;
    Form2* f2 = forms().show<Form2>();
    if (!forms().isLoaded<Form2>())
        return;
    try {
        if (data::RS_DOSSIERS)
            data::RS_DOSSIERS->MoveLast();
    } catch (const DbError&) {
    }
    f2->clearBoxes();
    f2->box("NomTxt")->setFocus();
}

void Form4::CmdModifie_Click()
{
    if (ui->NumLbl->text().isEmpty() || !coupleShownStillInFile())
        return;
    // Left open for another couple: load it afresh for the couple shown now, once the user agrees to drop what
    // was typed in it.
    if (Form3* open = forms().find<Form3>(); open && open->numero() != ui->NumLbl->text()) {
        if (!open->mayDiscard(QStringLiteral("Les modifications du dossier en cours ne sont pas enregistrées. "
                                             "Quitter sans enregistrer ?")))
            return;
        if (!forms().unload(open))
            return;
    }
    forms().show<Form3>();
}

void Form4::CmdSupprime_Click()
{
    if (!coupleShown())
        return;
    const QString n = app::coupleNumberText(ui->NumLbl->text());
    if (platform::askYesNo(QStringLiteral("Voulez vous vraiment SUPPRIMER ce DOSSIER ?"))) {
        // The three tables go together or not at all.
        std::shared_ptr<data::Database> db;
        try {
            app::reopenDossierBase();
            db = data::BASE_DOSSIERS;
            db->BeginTrans();
            app::reopenDossiers(QStringLiteral("SELECT*FROM CIVILITES WHERE NUMERO=") + n);
            if (!data::RS_DOSSIERS->isEOF()) { // may already be gone through another workstation
                // The number may now hold another couple (a backup restored elsewhere), or the couple been
                // renamed there: only the couple the user was asked about is deleted.
                if (!showsCurrentCouple()) {
                    db->Rollback();
                    notice(QStringLiteral("Ce dossier a été modifié ou remplacé sur un autre poste depuis son "
                                          "affichage : rien n'a été supprimé. Recherchez-le à nouveau."));
                    EFFACAFFICHE();
                    reopenCoupleList();
                    return;
                }
                data::RS_DOSSIERS->Delete();
            }
            app::reopenDossiers(QStringLiteral("SELECT*FROM EXAMENS WHERE NUMERO=") + n);
            data::RS_DOSSIERS->FindFirst(QStringLiteral("NUMERO=") + n);
            if (!data::RS_DOSSIERS->NoMatch())
                data::RS_DOSSIERS->Delete();
            app::reopenDossiers(QStringLiteral("SELECT*FROM FICHE WHERE NUMERO=") + n);
            while (!data::RS_DOSSIERS->isEOF()) {
                data::RS_DOSSIERS->Delete();
                data::RS_DOSSIERS->MoveNext();
            }
            db->CommitTrans();
            EFFACAFFICHE();
        } catch (const DbError& e) {
            if (db)
                db->rollbackQuietly();
            tellDbError(QStringLiteral("La suppression du dossier a échoué : rien n'a été supprimé."), e);
        }
    }
    reopenCoupleList();
}

bool Form4::showsCurrentCouple() const { return showsCoupleOf(*data::RS_DOSSIERS); }

bool Form4::showsCoupleOf(const data::Recordset& rs) const
{
    for (const char* column : {"Nom", "Prenom", "NOMPART", "PRENOMPART"})
        for (const auto& f : app::kDossierFields)
            if (qstrcmp(f.column, column) == 0 &&
                findChild<QLabel*>(QLatin1String(f.mainLabel))->text() != shownText(rs, column))
                return false;
    return true;
}

bool Form4::coupleShownStillInFile()
{
    try {
        // The dossier database reads whatever file is in place (opened anew after the backup menu closed it).
        const auto db = data::BASE_DOSSIERS && data::BASE_DOSSIERS->isOpen() ? data::BASE_DOSSIERS
                                                                             : data::Database::open(data::CHEMIN_BASE);
        auto rs = db->OpenRecordset(QStringLiteral("SELECT*FROM CIVILITES WHERE NUMERO=") +
                                    app::coupleNumberText(ui->NumLbl->text()));
        if (rs->isEOF() || showsCoupleOf(*rs))
            return true;
    } catch (const DbError&) {
        return true; // the command meets the failure and reports it
    }
    notice(QStringLiteral("Ce dossier a été modifié ou remplacé sur un autre poste depuis son affichage. "
                          "Recherchez-le à nouveau."));
    EFFACAFFICHE();
    reopenCoupleList();
    return false;
}

void Form4::reopenCoupleList()
{
    try {
        app::reopenDossierBase();
        app::reopenDossiers(app::kSqlCouplesByName);
    } catch (const DbError& e) {
        tellDbError(QStringLiteral("La liste des dossiers ne peut pas être relue."), e);
    }
}

void Form4::CmdCreerFiche_Click()
{
    if (!coupleShown() || !coupleShownStillInFile())
        return;
    openCreationWindowFromMain();
}

void Form4::CmdOuvrirFiche_Click()
{
    if (!coupleShown() || !coupleShownStillInFile())
        return;
    const QString n = app::coupleNumberText(ui->NumLbl->text());
    // A fresh load, so the window never shows this couple's names over another couple's sheets; a sheet being
    // edited there is only dropped on the user's word.
    if (Form5* open = forms().find<Form5>();
        open && !open->mayDiscard(QStringLiteral("Les modifications de la fiche de stimulation en cours ne sont "
                                                 "pas enregistrées. Quitter sans enregistrer ?")))
        return;
    if (!forms().unload<Form5>())
        return;
    forms().get<Form5>();
    if (!forms().isLoaded<Form5>())
        return;
    try {
        app::reopenDossierBase();
        app::reopenDossiers(app::kSqlCouplesTableOrder);
        data::RS_DOSSIERS->FindFirst(QStringLiteral("Numero=") + n);
        if (data::RS_DOSSIERS->NoMatch()) {
            forms().unload<Form5>();
            notice(QStringLiteral("Ce dossier n'existe plus dans la base de données."));
            return;
        }
        AFFICHE_1();
        app::reopenDossierBase();
        sqlFiches = QStringLiteral("SELECT*FROM FICHE WHERE NUMERO=") + n + QStringLiteral(" ORDER BY NUMFICH");
        data::RS_DOSSIERS = data::BASE_DOSSIERS->OpenRecordset(sqlFiches);
        data::RS_DOSSIERS->FindFirst(QStringLiteral("NUMERO=") + n);
        if (data::RS_DOSSIERS->NoMatch()) {
            notice(QStringLiteral("Pas de fiche existante pour ce couple."));
            app::reopenDossierBase();
        } else {
            forms().show<Form5>();
        }
        app::reopenDossiers(app::kSqlCouplesTableOrder);
    } catch (const DbError& e) {
        tellDbError(QStringLiteral("Les fiches de stimulation ne peuvent pas être ouvertes."), e);
    }
}

void Form4::CmdExamens_Click()
{
    if (!coupleShown() || !coupleShownStillInFile())
        return;
    workup::CmdExamens_Click();
}

void Form4::CmdStat_Click()
{
    forms().show<Form8>();
}

void Form4::CmdQuitter_Click()
{
    if (!forms().mayEndProgram())
        return;
    m_ending = true;
    app::endProgram();
}

// --------------------------------------------------------------------------------------------------- menus

void Form4::Options_Click()
{
    openReferenceListsFromMain();
}

void Form4::reserve_Click()
{
    forms().show<Form11>();
}

void Form4::Sauve_Click()
{
    if (data::BASE_DOSSIERS)
        data::BASE_DOSSIERS->Close();
    data::RS_DOSSIERS.reset();
    data::BASE_DOSSIERS.reset();
    if (isVisible())
        g_placeBeforeBackup = geometry();
    m_toBackup = true;
    forms().unload(this);
    // The backup window brings the main window back with showMainWindow() on every way out.
    forms().show<Form21>();
}

void Form4::Entete_Click()
{
    forms().show<Form50>();
}

void Form4::Propos_Click()
{
    forms().show<frmAbout>();
}

void Form4::Aide_Click() { platform::showHelp(platform::HelpContents); }
