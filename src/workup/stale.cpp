#include "workup/stale.h"

#include "data/database.h"
#include "platform/conversions.h"
#include "platform/environment.h"

#include <QLabel>

namespace workup {

std::optional<qint64> dateAgeDays(const QString& text)
{
    const auto date = platform::parseDate(text);
    if (!date)
        return std::nullopt;
    return platform::dayNumber(platform::today()) - platform::dayNumber(*date);
}

bool isStaleDate(const QString& text, int limitDays)
{
    const auto age = dateAgeDays(text);
    return age && *age > limitDays;
}

const QStringList& labDateColumns()
{
    static const QStringList cols = {"DTGENF", "DTBWF", "DTHIVF", "DTHBF", "DTHCF", "DTTOXOF", "DTRUBF",
                                     "DTHF",   "DTGENM", "DTBWM", "DTHIVM", "DTHBM", "DTHCM"};
    return cols;
}

QString staleExamWarning(const std::function<QString(const QString& column)>& column, bool missingSpermogramWarns)
{
    const QString spermogram = column(QStringLiteral("DTSPERMO"));
    QString warning;
    if (isStaleDate(spermogram, kSpermDateLimitDays) || (missingSpermogramWarns && !dateAgeDays(spermogram)))
        warning = QStringLiteral("Dossier non à jour (Dernier spermogramme, plus de 3 mois)");
    for (const QString& name : labDateColumns())
        if (isStaleDate(column(name), kExamDateLimitDays))
            return QStringLiteral("Dossier non à jour (examens de labo non à jour)");
    return warning;
}

std::shared_ptr<data::Recordset> coupleExams(data::Database& db, qint64 couple)
{
    auto rs = db.OpenRecordset(QStringLiteral("SELECT*FROM EXAMENS"));
    rs->FindFirst(QStringLiteral("Numero=") + QString::number(couple));
    return rs->NoMatch() ? nullptr : rs;
}

void showStaleWarning(QLabel* label, const data::Recordset& exams, bool missingSpermogramWarns)
{
    const QString warning =
        staleExamWarning([&exams](const QString& column) { return exams.text(column); }, missingSpermogramWarns);
    if (!warning.isEmpty()) {
        label->setText(warning);
        label->setVisible(true);
    }
}

void showExamsUnchecked(QLabel* label)
{
    label->setText(QStringLiteral("Vérification des examens impossible : la base n'a pas pu être lue"));
    label->setVisible(true);
}

} // namespace workup
