#pragma once
// The activity counts of the statistics window as data: the query cells of the grid (label, head, type
// condition, row condition), the cells computed from other cells, and the texts of the search queries.
#include <QString>
#include <QStringList>
#include <array>
#include <span>

namespace stats {

// One grid label filled by one query: head + date clause + type condition + row condition.
struct CountCell {
    const char* cell;
    const char* head;
    const char* typeCondition;
    const char* rowCondition;
};

// One grid label computed from others. A couples sum counts the couples of its operands once each; every
// other sum adds the numbers its operand labels show.
struct SumCell {
    enum Kind { Numbers, Couples };
    const char* cell;
    Kind kind;
    std::array<const char*, 4> operands; // unused slots are nullptr
};

// The 54 query cells in the order they are run.
std::span<const CountCell> countCells();
// The 33 computed cells, each after the cells it reads.
std::span<const SumCell> sumCells();

// "WHERE JCYCLE BETWEEN 36526 And 40178": both ends included, nothing after the last digit.
QString dateClause(qint64 d1, qint64 d2);
QString countQuery(const CountCell& cell, qint64 d1, qint64 d2);
// The cycles of the period with a recorded pregnancy outcome.
QString pregnancyListQuery(qint64 d1, qint64 d2);

// The search's criteria in their fixed order: type, antagonist, analogue, stimulation product, trigger.
constexpr int kCriteria = 5;
using Criteria = std::array<QString, kCriteria>;
// Every filled criterion (a non-empty text, blanks included) gives a LIKE condition, in the fixed order;
// apostrophes are doubled so that the text is compared as typed, and the LIKE wildcards keep their meaning.
QString searchQuery(qint64 d1, qint64 d2, const Criteria& criteria, bool pregnancies);

// A pregnancy rate in whole percent, fraction dropped: 2 for 3 is "66%". A zero denominator gives "-".
QString rateText(qint64 pregnancies, qint64 denominator);

// "Nom   Prenom": the line that names a couple in the result list.
QString coupleLine(const QString& nom, const QString& prenom);

} // namespace stats
