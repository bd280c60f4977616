#include "workup/examopen.h"

#include "app/form4.h"
#include "data/database.h"
#include "data/globals.h"
#include "data/schema.h"
#include "platform/controls.h"
#include "platform/conversions.h"
#include "platform/messages.h"
#include "workup/form7.h"

#include "ui_form7.h"

#include <QLabel>

namespace workup {

namespace {

// A caption of the main window, read by its control name.
QString mainLabel(const char* name)
{
    const auto* label = platform::forms().get<Form4>()->findChild<QLabel*>(QLatin1String(name));
    return label ? label->text() : QString();
}

void reopenDossiers(const QString& sql)
{
    data::BASE_DOSSIERS = data::Database::open(data::CHEMIN_BASE);
    data::SQL_DOSSIERS = sql;
    data::RS_DOSSIERS = data::BASE_DOSSIERS->OpenRecordset(data::SQL_DOSSIERS);
}

} // namespace

void AFFICHE_2()
{
    auto& e = *platform::forms().get<Form7>()->ui;
    e.LblNomMad->setText(mainLabel("NomLbl"));
    e.LblPrenomMad->setText(mainLabel("PrenomLbl"));
    e.LblNomMons->setText(mainLabel("NomPartLbl"));
    e.LblPrenomMons->setText(mainLabel("PrenomPartLbl"));
}

void AFFICHE_3()
{
    platform::forms().get<Form7>()->showExams(*data::RS_DOSSIERS);
}

void EFFACEXAMENS()
{
    for (QWidget* control : platform::forms().get<Form7>()->examControls())
        platform::setControlText(control, QString());
}

void CmdExamens_Click()
{
    // A couple is shown when its number is, surname or not.
    if (mainLabel("NumLbl").isEmpty())
        return;
    const qint64 numero = qint64(platform::val(mainLabel("NumLbl")));
    const QString n = QString::number(numero);
    const QString birth = mainLabel("NeeLbl");
    // A refill drops what was typed in a window still open: only on the user's word.
    if (Form7* open = platform::forms().find<Form7>();
        open && !open->mayDiscard(QStringLiteral("Quitter sans enregistrer ?")))
        return;
    try {
        reopenDossiers(QStringLiteral("SELECT*FROM EXAMENS WHERE NUMERO=") + n);
        data::RS_DOSSIERS->FindFirst(QStringLiteral("NUMERO=") + n);
        const bool found = !data::RS_DOSSIERS->NoMatch();

        Form7* exams = platform::forms().show<Form7>();
        if (!platform::forms().isLoaded<Form7>())
            return;
        exams->setCouple(numero, found ? data::RS_DOSSIERS : nullptr);
        if (found)
            AFFICHE_3();
        else
            EFFACEXAMENS();
        // Also on emptied boxes: a date typed for a couple without a row never shows an earlier couple's mark.
        exams->VERIFIE_DATES();
        // Also without a row, so the score typed in never uses an earlier couple's age.
        exams->fillDerived(birth);
        exams->markSaved();

        reopenDossiers(QStringLiteral("SELECT*FROM CIVILITES ORDER BY NOM, PRENOM"));
        if (found)
            data::RS_DOSSIERS->FindFirst(QStringLiteral("NUMERO=") + n);
        AFFICHE_2();
    } catch (const data::DbError& e) {
        platform::notice(QStringLiteral("Les examens de ce couple n'ont pas pu être lus dans la base de données.\n%1")
                             .arg(e.message()));
    }
}

} // namespace workup
