#pragma once
// Another workstation on the same database file, in a process of its own: the test binary run again as
// "--workstation MODE PATH ...". Suites that use it end with FOLIVEX_TEST_MAIN instead of QTEST_MAIN.
//   sql PATH SQL...          runs the statements, each in its own transaction
//   rollback PATH SQL        runs the statement with a cache so small that its pages reach the file, then
//                            fails it: the file is written back as it was, with its change counter
//   rollbacks PATH MS SQL    the same again and again for MS milliseconds
//   hold PATH MS KIND SQL... BEGIN KIND (IMMEDIATE or EXCLUSIVE), the statements, "held" on its output, MS
//                            milliseconds of work, then COMMIT (indexes built at another workstation's opening)
#include <QProcess>
#include <QStringList>
#include <QTest>
#include <memory>

namespace workstation {

// A write of many pages: with a small cache they reach the file before its transaction ends.
inline const QString kLargeWrite = QStringLiteral("INSERT INTO OPTIONS (NUMEROS, TEXTE) WITH RECURSIVE n(i) AS (SELECT 1 "
                                                  "UNION ALL SELECT i + 1 FROM n WHERE i < 300) SELECT 99, "
                                                  "zeroblob(2000) FROM n");

// Runs the mode the arguments ask for, returning its exit status; -1 when they ask for none.
int serve(int argc, char** argv);

// Runs the other workstation to its end; true when it did all it was asked.
bool act(const QStringList& arguments);

// Starts the other workstation in "hold" mode and returns once it holds its transaction.
std::unique_ptr<QProcess> startHolding(const QStringList& arguments);

} // namespace workstation

#define FOLIVEX_TEST_MAIN(TestObject)                                                                              \
    QTEST_MAIN_WRAPPER(TestObject,                                                                                 \
                       if (const int served = workstation::serve(argc, argv); served >= 0) return served;          \
                       QTEST_MAIN_SETUP())
