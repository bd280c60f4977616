#include "platform/environment.h"

#include <QCoreApplication>
#include <QDir>

namespace platform {

namespace {
QString g_programDir;
QDateTime g_fixedNow;
} // namespace

QString programDir()
{
    QString dir = g_programDir;
    if (dir.isEmpty())
        dir = qEnvironmentVariable("FOLIVEX_PROGDIR");
    if (dir.isEmpty())
        dir = QCoreApplication::applicationDirPath();
    while (dir.size() > 1 && dir.endsWith(QLatin1Char('/')))
        dir.chop(1);
    return dir;
}

void setProgramDir(const QString& dir) { g_programDir = dir; }

QString programFile(const QString& name) { return programDir() + QLatin1Char('/') + name; }

QDateTime now() { return g_fixedNow.isValid() ? g_fixedNow : QDateTime::currentDateTime(); }

QDate today() { return now().date(); }

void setFixedNow(const QDateTime& when) { g_fixedNow = when; }

} // namespace platform
