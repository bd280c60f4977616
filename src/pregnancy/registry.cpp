#include "pregnancy/registry.h"

#include "pregnancy/record.h"

#include <QCheckBox>
#include <QStringList>

namespace pregnancy {

namespace {

using Source = RegistryCell::Source;

// A run of cells filled from a single control (first < 0) or from consecutive members of a control array.
struct CellRun {
    const char* cells; // blank-separated addresses
    const char* control;
    int first;
    Source source;
};

// The clinical centre number has no cell: G4 is the biology centre's.
constexpr CellRun kRuns[] = {
    {"A1", "", -1, Source::Initials},
    {"G4", "TxtNumBio", -1, Source::Item},
    {"G6", "TxtNumDosC", -1, Source::Item},
    {"G8", "TxtNumDosB", -1, Source::Item},
    {"G10", "TxtNumPat", -1, Source::Item},
    {"G14", "LblDateT", -1, Source::Item},
    {"R16", "LblType", -1, Source::Item},
    {"G19", "TxtDateE", -1, Source::Item},
    {"P21", "TxtNbrSac", -1, Source::Item},
    {"U21", "TxtNbrE", -1, Source::Item},
    {"P23", "TxtNbrEA", -1, Source::Item},
    {"P26", "Check25", -1, Source::Item},
    {"P28 P30", "Cmb1T", 0, Source::Item},
    {"P34", "Check26", -1, Source::Item},
    {"P38", "Cmb1T", 2, Source::Item},
    {"B40", "Text7", -1, Source::Item},
    {"P42 P44", "Cmb1T", 3, Source::Item},
    {"G32", "Text5", -1, Source::Item},
    {"G36", "Text6", -1, Source::Item},
    {"G46", "Text8", -1, Source::Item},
    {"P53 P55 P57 P59 P61 P63 P65 P67 P69", "ChkPathG", 0, Source::Cross},
    {"U53 U55 U57 U59 U61 U63 U65 U67 U69", "ChkPathG", 9, Source::Cross},
    {"P71 P73 P75", "ChkPathF", 0, Source::Cross},
    {"U71 U73 U75", "ChkPathF", 3, Source::Cross},
    {"C77", "Txt2TPath", -1, Source::Item},
    {"C78", "Txt3TPath", -1, Source::Item},
    {"B91", "Txt1T", -1, Source::Item},
    {"F91", "Txt2T", -1, Source::Item},
    {"J91", "Txt3T", -1, Source::Item},
    {"B93", "CmbMotif", -1, Source::Item},
    {"F95", "TxtDateHosp", -1, Source::Item},
    {"P97", "CmbModal", -1, Source::Item},
    {"P101", "CmbTravail", -1, Source::Item},
    {"P103", "CmbCesar", -1, Source::Item},
    {"C107", "TxtAcct", 0, Source::Item},
    {"E116 L116 S116 Z116", "CmbAcct", 0, Source::Item},
    {"E118 L118 S118 Z118", "CmbAcct", 4, Source::Item},
    {"E121 L121 S121 Z121", "CmbAcct", 8, Source::Item},
    {"E129 L129 S129 Z129", "CmbAcct", 12, Source::Item},
    {"D133 K133 R133 Y133", "TxtAcct", 1, Source::Item},
    {"D131 K131 R131 Y131", "TxtAcct", 5, Source::Item},
    {"D135 K135 R135 Y135", "TxtAcct", 9, Source::Item},
    {"E139 L139 S139 Z139", "CmbAcct", 16, Source::Item},
    {"E144 L144 S144 Z144", "CmbAcct", 20, Source::Item},
    {"E148 L148 S148 Z148", "CmbAcct", 24, Source::Item},
    {"B157", "TxtComment", -1, Source::Item},
};

std::vector<RegistryCell> expand()
{
    std::vector<RegistryCell> cells;
    for (const CellRun& run : kRuns) {
        const QStringList addresses = QString::fromLatin1(run.cells).split(QLatin1Char(' '));
        for (int i = 0; i < addresses.size(); ++i) {
            QString name = QString::fromLatin1(run.control);
            if (run.first >= 0)
                name += QLatin1Char('_') + QString::number(run.first + i);
            cells.push_back({addresses.at(i), name, run.source});
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

std::vector<std::pair<QString, QString>> registryValues(const QWidget* window)
{
    std::vector<std::pair<QString, QString>> values;
    for (const RegistryCell& c : registryCells()) {
        QString value;
        switch (c.source) {
        case Source::Initials:
            value = itemOf(control(window, QStringLiteral("TxtNom"))).left(3) + QStringLiteral("  ") +
                    itemOf(control(window, QStringLiteral("TxtPrenom")));
            break;
        case Source::Item:
            value = itemOf(control(window, c.control));
            break;
        case Source::Cross:
            value = qobject_cast<const QCheckBox*>(control(window, c.control))->isChecked() ? QStringLiteral("X")
                                                                                           : QString();
            break;
        }
        values.emplace_back(c.cell, value);
    }
    return values;
}

} // namespace pregnancy
