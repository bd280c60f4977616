#include "app/form3.h"

#include "app/form4.h"
#include "data/globals.h"
#include "platform/guarded.h"
#include "platform/messages.h"
#include "platform/rowwrite.h"
#include "platform/windowframe.h"
#include "ui_form3.h"
#include "ui_form4.h"

#include <QPushButton>

using data::DbError;
using platform::forms;

Form3::Form3() : ui(std::make_unique<Ui::Form3>())
{
    ui->setupUi(this);
    buildBoxes(ui->gridBoxes, QStringLiteral("NOM Monsieur"));
    connect(ui->Command1, &QPushButton::clicked, this, platform::guarded(this, &Form3::Command1_Click));
    connect(ui->Command2, &QPushButton::clicked, this, platform::guarded(this, &Form3::Command2_Click));
    connect(ui->Command3, &QPushButton::clicked, this, platform::guarded(this, &Form3::Command3_Click));
}

Form3::~Form3() = default;

void Form3::Form_Load()
{
    adjustSize();
    platform::centreOnScreen(this);
    if (Form4* main = forms().find<Form4>())
        m_numero = main->ui->NumLbl->text();
    if (!pathTestPasses()) {
        forms().unload(this);
        return;
    }
    try {
        app::reopenDossierBase();
        app::reopenDossiers(QStringLiteral("SELECT*FROM CIVILITES "));
        data::RS_DOSSIERS->FindFirst(QStringLiteral("Numero =") + m_numero);
        if (data::RS_DOSSIERS->NoMatch()) {
            // Never edit another couple's row in its place.
            platform::notice(QStringLiteral("Ce dossier n'existe plus dans la base de données : il a pu être "
                                            "supprimé depuis un autre poste."));
            forms().unload(this);
            return;
        }
        // The window keeps a recordset of its own on the row: the main window's list moves with its buttons,
        // searches and commands, and the save must change this couple whatever it does meanwhile.
        m_rs = data::BASE_DOSSIERS->OpenRecordset(QStringLiteral("SELECT*FROM CIVILITES WHERE NUMERO=") +
                                                  app::coupleNumberText(m_numero));
        if (m_rs->isEOF()) {
            m_rs.reset();
            forms().unload(this);
            return;
        }
        AFFICHEMOD();
        markSaved();
        // What is typed first goes into the dossier, never onto "Effacer".
        box("NomTxt")->setFocus();
    } catch (const DbError& e) {
        platform::notice(QStringLiteral("Le dossier ne peut pas être lu :\n") + e.message());
        forms().unload(this);
    }
}

void Form3::AFFICHEMOD() { fillBoxes(*m_rs); }

void Form3::Command1_Click() { clearBoxes(); }

void Form3::Command2_Click()
{
    if (!m_rs)
        return;
    try {
        m_rs->Edit();
        writeColumns(*m_rs);
        if (platform::askYesNo(QStringLiteral("Voulez vous vraiment enregistrer les modifications apportées à cette Fiche ?"))) {
            // The row as read at the opening: a change saved meanwhile on another workstation is not lost unseen.
            if (!platform::storeEdit(
                    *m_rs,
                    QStringLiteral("Ce dossier a été modifié sur un autre poste depuis son ouverture. Enregistrer "
                                   "quand même vos modifications ?"),
                    QStringLiteral("Les modifications n'ont pas pu être enregistrées : ce dossier a été supprimé ou "
                                   "remplacé sur un autre poste.")))
                return; // the window stays open with what was typed
            platform::notice(QStringLiteral("Fiche courante modifiée"));
        } else {
            m_rs->CancelUpdate();
        }
    } catch (const DbError& e) {
        if (m_rs->editing())
            m_rs->CancelUpdate();
        // The window stays open with what was typed.
        platform::notice(QStringLiteral("Les modifications n'ont pas pu être enregistrées :\n") + e.message());
        return;
    }
    const QString numero = app::coupleNumberText(m_numero);
    forms().unload(this);

    // The main window shows the saved row, found by its number, and its list stands on it in name order.
    try {
        app::reopenDossierBase();
        app::reopenDossiers(app::kSqlCouplesByName);
        data::RS_DOSSIERS->FindFirst(QStringLiteral("NUMERO=") + numero);
        if (!data::RS_DOSSIERS->NoMatch())
            showCurrentInMainWindow();
    } catch (const DbError& e) {
        platform::notice(QStringLiteral("La liste des dossiers ne peut pas être relue :\n") + e.message());
    }
    Form4* main = showMainWindow();
    main->ui->Text1->clear();
    main->ui->Text1->setFocus();
}

void Form3::Command3_Click()
{
    forms().unload(this);
    Form4* main = showMainWindow();
    main->ui->Text1->clear();
}
