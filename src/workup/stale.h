#pragma once
// When an exam date is too old for a new cycle: a laboratory date older than a year, a spermogram older than
// three months. A date exactly at the limit, or in the future, is not stale.
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <optional>

class QLabel;

namespace data {
class Database;
class Recordset;
}

namespace workup {

constexpr int kExamDateLimitDays = 365;
constexpr int kSpermDateLimitDays = 92;

// Today minus the date typed in text, in whole days; nothing when the text is not a date.
std::optional<qint64> dateAgeDays(const QString& text);

// True when the text is a date older than limitDays.
bool isStaleDate(const QString& text, int limitDays);

// The thirteen laboratory date columns of EXAMENS that the cycle windows judge (the spermogram apart).
const QStringList& labDateColumns();

// The cycle windows' "Dossier non à jour (...)" caption for the couple's EXAMENS row ("column" gives the text of
// one of its columns), empty when the work-up is recent enough. A laboratory date wins over the spermogram. A
// spermogram without a date warns only where missingSpermogramWarns (the cycle sheet window).
QString staleExamWarning(const std::function<QString(const QString& column)>& column, bool missingSpermogramWarns);

// The couple's EXAMENS row, or nullptr when it has none.
std::shared_ptr<data::Recordset> coupleExams(data::Database& db, qint64 couple);

// Shows the warning of that row in the label; the label is left as it was when nothing is stale.
void showStaleWarning(QLabel* label, const data::Recordset& exams, bool missingSpermogramWarns);

// Says in the warning's label that the exams could not be read: an unchecked work-up never passes for a recent one.
void showExamsUnchecked(QLabel* label);

} // namespace workup
