#pragma once
// Shared by the cycle sheet window's suites: sheets written as the creation window leaves them, and the window
// opened the way the main window opens it.
#include "app/form4.h"
#include "cycles/form5.h"
#include "data/database.h"

#include "ui_form4.h"
#include "ui_form5.h"

#include <QVariantMap>

// A FICHE row with the given columns on top of a plain created sheet; returns its internal number.
inline qint64 addSheet(const QString& dbPath, int couple, int numFich, const QVariantMap& extra = {})
{
    auto db = data::Database::open(dbPath);
    auto rs = db->OpenRecordset(QStringLiteral("SELECT*FROM FICHE "));
    rs->AddNew();
    QVariantMap row = {{"NUMERO", couple}, {"NUMFICH", numFich}, {"JCYCLE", 38426.0}, {"OPTIONBLOC", 2},
                       {"OPTIONSTIM", 4}, {"Ana", "DECAPEPTYL"}, {"Type", "FIV"}, {"REDUC", 0},
                       {"NomFichier", "Pas de Fiche stim"}};
    for (const QString& c : {"DATANA", "DATEPONC", "MODPONCTION", "DATETRANS", "JSTIM", "NBRE", "NBREC", "NBRET",
                             "NBRO", "TRAITEMENT", "GROSSESSE", "MULTIPLE", "GYNECOP", "GYNECOT", "ANESTHESI",
                             "COMMENT", "MODAL", "Stimuline", "Antago", "Declencho"})
        row.insert(c, QString());
    for (auto it = extra.begin(); it != extra.end(); ++it)
        row.insert(it.key(), it.value());
    for (auto it = row.begin(); it != row.end(); ++it)
        rs->setField(it.key(), it.value());
    rs->Update();
    auto last = db->OpenRecordset(QStringLiteral("SELECT*FROM FICHE ORDER BY NUMINTFICH"));
    last->MoveLast();
    return last->Fields(QStringLiteral("NUMINTFICH")).toLongLong();
}

// What the main window does: touch the window, write the couple into it, show it.
inline Form5* openCouple(int couple, const QString& nom = QStringLiteral("MARTIN"),
                         const QString& prenom = QStringLiteral("Claire"))
{
    using platform::forms;
    forms().get<Form4>()->ui->NumLbl->setText(QString::number(couple));
    Form5* f = forms().get<Form5>();
    f->ui->LblNom->setText(nom);
    f->ui->lblprenom->setText(prenom);
    f->ui->TxtNumPat->setText(QString::number(couple));
    forms().show<Form5>();
    return f;
}
