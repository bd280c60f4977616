#include "cycles/sheetfields.h"

#include "platform/conversions.h"

#include "ui_form5.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>

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
        {"DATANA", K::Text, ui.TxtDatAna},
        {"DATEPONC", K::Text, ui.TxtDatePonc},
        {"MODPONCTION", K::Text, ui.CmbModePonc},
        {"DATETRANS", K::Text, ui.TxtDateTrans},
        {"JCYCLE", K::DayNumber, ui.TxtMiseRoute},
        {"JSTIM", K::Text, ui.TxtJRegles},
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

QString controlText(const QWidget* control)
{
    if (auto* edit = qobject_cast<const QLineEdit*>(control))
        return edit->text();
    if (auto* combo = qobject_cast<const QComboBox*>(control))
        return combo->currentText();
    if (auto* text = qobject_cast<const QPlainTextEdit*>(control))
        return text->toPlainText();
    return {};
}

void setControlText(QWidget* control, const QString& text)
{
    if (auto* edit = qobject_cast<QLineEdit*>(control))
        edit->setText(text);
    else if (auto* combo = qobject_cast<QComboBox*>(control))
        combo->setEditText(text);
    else if (auto* plain = qobject_cast<QPlainTextEdit*>(control))
        plain->setPlainText(text);
}

QVariant controlValue(const Field& field)
{
    const QString text = controlText(field.control);
    switch (field.kind) {
    case Field::Kind::Text: return text;
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

QString staleExamWarning(const std::function<QString(const QString& column)>& column, const QDate& today)
{
    static const char* const laboratory[] = {"DTGENF", "DTBWF", "DTHIVF", "DTHBF",   "DTHCF", "DTTOXOF", "DTRUBF",
                                             "DTHF",   "DTGENM", "DTBWM", "DTHIVM", "DTHBM", "DTHCM"};
    // Days from the date to today, none when the column holds no date.
    auto age = [&](const char* name) -> std::optional<qint64> {
        const auto date = platform::parseDate(column(QString::fromLatin1(name)));
        return date ? std::optional<qint64>(date->daysTo(today)) : std::nullopt;
    };
    QString warning;
    const auto spermo = age("DTSPERMO");
    if (!spermo || *spermo > 92)
        warning = QStringLiteral("Dossier non à jour (Dernier spermogramme, plus de 3 mois)");
    for (const char* name : laboratory) {
        const auto days = age(name);
        if (days && *days > 365)
            return QStringLiteral("Dossier non à jour (examens de labo non à jour)");
    }
    return warning;
}

} // namespace sheet
