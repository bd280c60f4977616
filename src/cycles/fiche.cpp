#include "cycles/fiche.h"

#include "data/globals.h"
#include "data/jetsql.h"
#include "platform/conversions.h"
#include "platform/environment.h"
#include "platform/settings.h"

#include <QFileInfo>

namespace cycles {

QString sheetsQuery(qint64 couple)
{
    return QStringLiteral("SELECT*FROM FICHE WHERE NUMERO=") + QString::number(couple) +
           QStringLiteral(" ORDER BY NUMFICH");
}

QString sheetsCriteria(qint64 couple) { return QStringLiteral("NUMERO=") + QString::number(couple); }

int nextSheetNumber(const std::shared_ptr<data::Database>& db, qint64 couple)
{
    auto rs = db->OpenRecordset(sheetsQuery(couple));
    rs->FindFirst(sheetsCriteria(couple));
    if (rs->NoMatch())
        return 1;
    rs->MoveLast();
    return rs->Fields(QStringLiteral("NUMFICH")).toInt() + 1;
}

QString workbookFileName(const QString& surname, const QString& firstName, const QString& sheet,
                         const QDate& day)
{
    return surname.left(5) + firstName.left(2) + sheet + QLatin1Char('_') +
           QString::number(platform::dayNumber(day)) + QStringLiteral(".xls");
}

QString freeWorkbookName(data::Database& db, const QString& fileName)
{
    const QString extension = QStringLiteral(".xls");
    const QString stem = fileName.endsWith(extension) ? fileName.chopped(extension.size()) : fileName;
    QString candidate = fileName;
    for (int n = 2;; ++n) {
        auto rs = db.OpenRecordset(QStringLiteral("SELECT*FROM FICHE WHERE NomFichier='") + data::sqlQuote(candidate) +
                                   QLatin1Char('\''));
        if (rs->isEOF() && !QFileInfo::exists(workbookPath(candidate)))
            return candidate;
        candidate = stem + QLatin1Char('_') + QString::number(n) + extension;
    }
}

QString workbookDir()
{
    // An empty setting means the program directory too, never the root of the disk.
    const QString dir =
        platform::getSetting(data::kSettingsApp, data::kSettingsSection, QStringLiteral("CheminXls")).trimmed();
    return dir.isEmpty() ? platform::programDir() : dir;
}

QString workbookPath(const QString& fileName)
{
    QString dir = workbookDir();
    if (!dir.endsWith(QLatin1Char('/')) && !dir.endsWith(QLatin1Char('\\')))
        dir += QLatin1Char('/');
    return dir + fileName;
}

} // namespace cycles
