#include "app/dossier.h"

#include "data/globals.h"
#include "platform/conversions.h"
#include "platform/forms.h"

#include <QCoreApplication>

namespace app {

const std::array<DossierField, kDossierFieldCount> kDossierFields = {{
    {"NomTxt", "Nom", "NOM Mme", "NomLbl"},
    {"PrenomTxt", "Prenom", "Prénom", "PrenomLbl"},
    {"NuSecuTxt", "SECU", "N° de Sécu", "NuSecuLbl"},
    {"Adresse1Txt", "ADRESSE1", "Adresse1", "Adress1Lbl"},
    {"Adresse2Txt", "ADRESSE2", "Adresse2", "Adress2Lbl"},
    {"VilleTxt", "Ville", "Ville", "villeLbl"},
    {"CodePosTxt", "CODEPOST", "Depart", "CodePostLbl"},
    {"Tel1Txt", "TEL1", "Tel 1", "Tel1Lbl"},
    {"Tel2Txt", "TEL2", "Tel 2", "Tel2Lbl"},
    {"FaxTxt", "Fax", "Fax", "FaxLbl"},
    {"EMailTxt", "EMAIL", "E Mail", "EMailLbl"},
    {"Traitant1Txt", "TRAITANT1", "Traitant 1", "Trait1Lbl"},
    {"Traitant2Txt", "TRAITANT2", "Traitant 2", "Trait2Lbl"},
    {"ProfTxt", "PROFESSION", "Profession", "ProfLbl"},
    {"NomPartTxt", "NOMPART", "NOM Mr", "NomPartLbl"},
    {"PrenomPartTxt", "PRENOMPART", "Prénom", "PrenomPartLbl"},
    {"NeeTxt", "NEE", "Née le", "NeeLbl"},
}};

bool databasePathPasses(const QString& path)
{
    return path.endsWith(QStringLiteral("INDUCTION.mdb"), Qt::CaseSensitive);
}

void reopenDossierBase() { data::BASE_DOSSIERS = data::Database::open(data::CHEMIN_BASE); }

void reopenDossiers(const QString& sql)
{
    data::SQL_DOSSIERS = sql;
    if (!data::BASE_DOSSIERS || !data::BASE_DOSSIERS->isOpen())
        throw data::DbError(data::DbError::CannotOpen, QStringLiteral("La base de données n'est pas ouverte."));
    data::RS_DOSSIERS = data::BASE_DOSSIERS->OpenRecordset(data::SQL_DOSSIERS);
}

qint64 coupleNumber(const QString& caption)
{
    // Read as digits: a double would lose the last ones of a large number.
    const QString text = caption.trimmed();
    qsizetype end = text.startsWith(QLatin1Char('-')) ? 1 : 0;
    while (end < text.size() && text[end].isDigit() && text[end].unicode() < 128)
        ++end;
    bool ok = false;
    const qint64 n = text.left(end).toLongLong(&ok);
    return ok ? n : qint64(platform::val(caption));
}

QString coupleNumberText(const QString& caption) { return QString::number(coupleNumber(caption)); }

void endProgram()
{
    if (platform::forms().onQuit)
        platform::forms().onQuit();
    else
        QCoreApplication::quit();
}

} // namespace app
