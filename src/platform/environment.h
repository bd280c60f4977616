#pragma once
// The program directory and "today", both replaceable for tests and the demo.
#include <QDate>
#include <QDateTime>
#include <QString>

namespace platform {

// Directory of the running executable, or FOLIVEX_PROGDIR, or what setProgramDir() set. No trailing slash.
QString programDir();
void setProgramDir(const QString& dir);
// A file of the program directory, joined with "/".
QString programFile(const QString& name);

// The injectable clock: the real one unless a test fixed it.
QDateTime now();
QDate today();
void setFixedNow(const QDateTime& when); // an invalid value restores the real clock

} // namespace platform
