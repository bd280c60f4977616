#include "app/form2.h"

#include "app/form4.h"
#include "data/globals.h"
#include "platform/guarded.h"
#include "platform/messages.h"
#include "platform/windowframe.h"
#include "ui_form2.h"

#include <QPushButton>

using data::DbError;
using platform::forms;

Form2::Form2() : ui(std::make_unique<Ui::Form2>())
{
    ui->setupUi(this);
    buildBoxes(ui->gridBoxes, QStringLiteral("NOM Mr"));
    connect(ui->Command1, &QPushButton::clicked, this, platform::guarded(this, &Form2::Command1_Click));
    connect(ui->Command2, &QPushButton::clicked, this, platform::guarded(this, &Form2::Command2_Click));
    connect(ui->Command3, &QPushButton::clicked, this, platform::guarded(this, &Form2::Command3_Click));
}

Form2::~Form2() = default;

void Form2::Form_Load()
{
    adjustSize();
    platform::centreOnScreen(this);
    if (!pathTestPasses()) {
        forms().unload(this);
        return;
    }
    try {
        app::reopenDossierBase();
    } catch (const DbError& e) {
        platform::notice(QStringLiteral("La base de données %1 ne peut pas être ouverte :\n%2").arg(data::CHEMIN_BASE, e.message()));
        forms().unload(this);
    }
}

void Form2::Command1_Click()
{
    if (!pathTestPasses())
        return;
    std::shared_ptr<data::Recordset> rs;
    try {
        app::reopenDossierBase();
        app::reopenDossiers(app::kSqlCouplesTableOrder);
        rs = data::RS_DOSSIERS;
        rs->AddNew();
        writeColumns(*rs);
        if (platform::askYesNo(QStringLiteral("Voulez vous vraiment enregistrer cette nouvelle Fiche ?"))) {
            rs->Update();
            platform::notice(QStringLiteral("Nouvelle Fiche Enregistrée"));
        } else {
            rs->CancelUpdate();
        }
    } catch (const DbError& e) {
        if (rs)
            rs->CancelUpdate();
        // The window stays open with what was typed.
        platform::notice(QStringLiteral("La nouvelle fiche n'a pas pu être enregistrée :\n") + e.message());
        return;
    }
    try {
        rs->MoveLast(); // the new dossier, or the table's last one
    } catch (const DbError&) {
    }
    showCurrentInMainWindow();
    forms().unload(this);
    try {
        app::reopenDossierBase();
        app::reopenDossiers(app::kSqlCouplesByName);
    } catch (const DbError& e) {
        platform::notice(QStringLiteral("La liste des dossiers ne peut pas être relue :\n") + e.message());
    }
    showMainWindow();
}

void Form2::Command2_Click() { clearBoxes(); }

void Form2::Command3_Click()
{
    forms().unload(this);
    showMainWindow();
}
