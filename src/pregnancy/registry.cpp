#include "pregnancy/registry.h"

#include "pregnancy/record.h"

#include <QCheckBox>
#include <QStringList>

namespace pregnancy {

namespace {

using Source = RegistryCell::Source;

// A run of cells filled from a single control (first < 0) or from consecutive members of a control array,
// with the captions of the form: one for the whole run or one per cell, "|"-separated.
struct CellRun {
    const char* cells; // blank-separated addresses
    const char* control;
    int first;
    Source source;
    const char* captions;
    const char* headings = "";
};

constexpr const char* kPathologies =
    "Cerclage|Metrorragies|Infection grave|HTA|Proteinurie|MAP avec hospitalisation|RPM|Pl.Praevia|HRP, DPPNI";
constexpr const char* kFoetalPathologies = "RCIU|Malformations|Mort in utero";
constexpr const char* kChildren = "Enfant 1|Enfant 2|Enfant 3|Enfant 4";

// The clinical centre number has no cell: G4 is the biology centre's.
constexpr CellRun kRuns[] = {
    {"A1", "", -1, Source::Initials, "Nom (3 lettres) et prénom"},
    {"G4", "TxtNumBio", -1, Source::Item, "N° du centre biologique"},
    {"G6", "TxtNumDosC", -1, Source::Item, "N° du dossier clinique"},
    {"G8", "TxtNumDosB", -1, Source::Item, "N° du dossier biologique"},
    {"G10", "TxtNumPat", -1, Source::Item, "N° du couple"},
    {"G14", "LblDateT", -1, Source::Date, "Date du transfert"},
    {"R16", "LblType", -1, Source::Item, "Type d'AMP"},
    {"G19", "TxtDateE", -1, Source::Date, "Date de la 1re échographie"},
    {"P21", "TxtNbrSac", -1, Source::Item, "Nombre de sacs"},
    {"U21", "TxtNbrE", -1, Source::Item, "Embryons"},
    {"P23", "TxtNbrEA", -1, Source::Item, "Embryons avec activité cardiaque"},
    {"P26", "Check25", -1, Source::Item, "Métrorragies du 1er trimestre (0/1)"},
    {"P28 P30", "Cmb1T", 0, Source::Item, "Arrêt d'un sac|Interruption sélective"},
    {"P34", "Check26", -1, Source::Item, "Fausse couche complète (0/1)"},
    {"P38", "Cmb1T", 2, Source::Item, "Grossesse extra-utérine"},
    {"B40", "Text7", -1, Source::Item, "Autre cause d'arrêt"},
    {"P42 P44", "Cmb1T", 3, Source::Item, "Grossesse évolutive à 12 SA|Diagnostic prénatal"},
    {"G32", "Text5", -1, Source::Date, "Date de l'interruption sélective"},
    {"G36", "Text6", -1, Source::Date, "Date de la fausse couche complète"},
    {"G46", "Text8", -1, Source::Date, "Date du diagnostic prénatal"},
    {"P53 P55 P57 P59 P61 P63 P65 P67 P69", "ChkPathG", 0, Source::Cross, kPathologies, "2e trim."},
    {"U53 U55 U57 U59 U61 U63 U65 U67 U69", "ChkPathG", 9, Source::Cross, kPathologies, "3e trim."},
    {"P71 P73 P75", "ChkPathF", 0, Source::Cross, kFoetalPathologies, "2e trim."},
    {"U71 U73 U75", "ChkPathF", 3, Source::Cross, kFoetalPathologies, "3e trim."},
    {"C77", "Txt2TPath", -1, Source::Item, "Autre pathologie (2e trim.)"},
    {"C78", "Txt3TPath", -1, Source::Item, "Autre pathologie (3e trim.)"},
    {"B91", "Txt1T", -1, Source::Item, "Jours d'hospitalisation", "1er trim."},
    {"F91", "Txt2T", -1, Source::Item, "Jours d'hospitalisation", "2e trim."},
    {"J91", "Txt3T", -1, Source::Item, "Jours d'hospitalisation", "3e trim."},
    {"B93", "CmbMotif", -1, Source::Item, "Motif des séjours"},
    {"F95", "TxtDateHosp", -1, Source::Date, "Date de fin de grossesse"},
    {"P97", "CmbModal", -1, Source::Item, "Issue de la grossesse"},
    {"P101", "CmbTravail", -1, Source::Item, "Travail"},
    {"P103", "CmbCesar", -1, Source::Item, "Indication de césarienne"},
    {"C107", "TxtAcct", 0, Source::Item, "Complications maternelles à l'accouchement"},
    {"E116 L116 S116 Z116", "CmbAcct", 0, Source::Item, "Présentation", kChildren},
    {"E118 L118 S118 Z118", "CmbAcct", 4, Source::Item, "Mode de naissance", kChildren},
    {"E121 L121 S121 Z121", "CmbAcct", 8, Source::Item, "Motif si non spontané", kChildren},
    {"E129 L129 S129 Z129", "CmbAcct", 12, Source::Item, "Sexe", kChildren},
    {"D133 K133 R133 Y133", "TxtAcct", 1, Source::Item, "Poids (g)", kChildren},
    {"D131 K131 R131 Y131", "TxtAcct", 5, Source::Item, "Taille (cm)", kChildren},
    {"D135 K135 R135 Y135", "TxtAcct", 9, Source::Item, "Apgar", kChildren},
    {"E139 L139 S139 Z139", "CmbAcct", 16, Source::Item, "Transfert néonatal", kChildren},
    {"E144 L144 S144 Z144", "CmbAcct", 20, Source::Item, "Évolution", kChildren},
    {"E148 L148 S148 Z148", "CmbAcct", 24, Source::Item, "Malformation", kChildren},
    {"B157", "TxtComment", -1, Source::Item, "Commentaire"},
};

// The i-th of a run's "|"-separated texts, or its only one.
QString runText(const char* texts, qsizetype i)
{
    const QStringList parts = QString::fromUtf8(texts).split(QLatin1Char('|'));
    return parts.size() == 1 ? parts.first() : parts.value(i);
}

std::vector<RegistryCell> expand()
{
    std::vector<RegistryCell> cells;
    for (const CellRun& run : kRuns) {
        const QStringList addresses = QString::fromLatin1(run.cells).split(QLatin1Char(' '));
        for (int i = 0; i < addresses.size(); ++i) {
            QString name = QString::fromLatin1(run.control);
            if (run.first >= 0)
                name += QLatin1Char('_') + QString::number(run.first + i);
            cells.push_back({addresses.at(i), name, run.source, runText(run.captions, i), runText(run.headings, i)});
        }
    }
    return cells;
}

} // namespace

const std::vector<RegistryCell>& registryCells()
{
    static const std::vector<RegistryCell> cells = expand();
    return cells;
}

std::vector<std::pair<QString, office::CellValue>> registryValues(const QWidget* window)
{
    std::vector<std::pair<QString, office::CellValue>> values;
    for (const RegistryCell& c : registryCells()) {
        QString value;
        switch (c.source) {
        case Source::Initials:
            value = itemOf(control(window, QStringLiteral("TxtNom"))).left(3) + QStringLiteral("  ") +
                    itemOf(control(window, QStringLiteral("TxtPrenom")));
            break;
        case Source::Item:
        case Source::Date:
            value = itemOf(control(window, c.control));
            break;
        case Source::Cross:
            value = qobject_cast<const QCheckBox*>(control(window, c.control))->isChecked() ? QStringLiteral("X")
                                                                                           : QString();
            break;
        }
        values.emplace_back(c.cell, c.source == Source::Date ? office::CellValue::dateOrLiteral(value)
                                                             : office::CellValue::literal(value));
    }
    return values;
}

} // namespace pregnancy
