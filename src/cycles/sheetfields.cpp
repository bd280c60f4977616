#include "cycles/sheetfields.h"

#include "platform/conversions.h"

#include "ui_form5.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>

#include <algorithm>

namespace sheet {

QList<Field> fields(const Ui::Form5& ui)
{
    using K = Field::Kind;
    return {
        {"Ana", K::Text, ui.CmbAna},
        {"Stimuline", K::Text, ui.CmbStimuline},
        {"MODAL", K::Text, ui.CmbModal},
        {"Type", K::Text, ui.CmbType},
        {"Antago", K::Text, ui.CmbAntago},
        {"Declencho", K::Text, ui.CmbDeclencho},
        {"DATANA", K::DateText, ui.TxtDatAna},
        {"DATEPONC", K::DateText, ui.TxtDatePonc},
        {"MODPONCTION", K::Text, ui.CmbModePonc},
        {"DATETRANS", K::DateText, ui.TxtDateTrans},
        {"JCYCLE", K::DayNumber, ui.TxtMiseRoute},
        {"JSTIM", K::DateText, ui.TxtJRegles},
        {"NBRE", K::Text, ui.TxtNbrE},
        {"NBREC", K::Text, ui.TxtNbrEC},
        {"NBRET", K::Text, ui.TxtNbrET},
        {"NBRO", K::Text, ui.TxtNbrO},
        {"REDUC", K::Check, ui.ChkReduc},
        {"NUMFICH", K::Whole, ui.TxtNumFich},
        {"TRAITEMENT", K::Text, ui.CmbTtt},
        {"GROSSESSE", K::Text, ui.CmbGross},
        {"MULTIPLE", K::Text, ui.CmbMult},
        {"GYNECOP", K::Text, ui.CmbGynecoP},
        {"GYNECOT", K::Text, ui.CmbGynecoT},
        {"ANESTHESI", K::Text, ui.CmbAnesthesi},
        {"COMMENT", K::Text, ui.TxtComments},
        {"ABANDON", K::Check, ui.Check1},
    };
}

bool dateAccepted(const Field& field)
{
    if (field.kind != Field::Kind::DateText && field.kind != Field::Kind::DayNumber)
        return true;
    const QString text = controlText(field.control);
    return platform::isBlank(text) || platform::isDate(text);
}

bool datesAccepted(const QList<Field>& fields)
{
    return std::all_of(fields.cbegin(), fields.cend(), dateAccepted);
}

QVariant controlValue(const Field& field)
{
    const QString text = controlText(field.control);
    switch (field.kind) {
    case Field::Kind::Text: return text;
    case Field::Kind::DateText: return platform::dateBoxText(text);
    case Field::Kind::DayNumber: {
        const auto date = platform::parseDate(text);
        return date ? QVariant(double(platform::dayNumber(*date))) : QVariant();
    }
    case Field::Kind::Check: return qobject_cast<const QCheckBox*>(field.control)->isChecked() ? 1 : 0;
    case Field::Kind::Whole: return text.trimmed().toInt();
    }
    return {};
}

void setControlValue(const Field& field, const QVariant& value)
{
    const bool null = !value.isValid() || value.isNull();
    switch (field.kind) {
    case Field::Kind::Text:
    case Field::Kind::DateText:
    case Field::Kind::Whole:
        setControlText(field.control, null ? QString()
                                           : value.typeId() == QMetaType::Double ? platform::numberText(value.toDouble())
                                                                                 : value.toString());
        break;
    case Field::Kind::DayNumber:
        setControlText(field.control, null ? QString() : platform::shortDate(platform::fromDayNumber(value.toDouble())));
        break;
    case Field::Kind::Check:
        qobject_cast<QCheckBox*>(field.control)->setChecked(!null && value.toInt() == 1);
        break;
    }
}

} // namespace sheet
