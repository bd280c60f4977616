#include "platform/settings.h"

#include "platform/filewrite.h"

#include <QDir>
#include <QFile>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <cerrno>
#include <optional>

namespace platform {

namespace {

QString g_file;

QString groupKey(const QString& app, const QString& section, const QString& key)
{
    return app.toUpper() + QLatin1Char('_') + section.toUpper() + QLatin1Char('/') + key.toUpper();
}

// The key as the file spells it: a file edited by hand may write "CheminXls" or "[Talvenor_Folivex]", which
// the INI reader would otherwise tell apart from the upper-case form.
QString storedKey(const QSettings& s, const QString& key)
{
    if (s.contains(key))
        return key;
    const QStringList all = s.allKeys();
    for (const QString& k : all)
        if (k.compare(key, Qt::CaseInsensitive) == 0)
            return k;
    return key;
}

// The text after "=" on the key's line of the file, its section and key compared without regard to case.
std::optional<QString> rawValue(const QString& groupAndKey)
{
    const QString group = groupAndKey.section(QLatin1Char('/'), 0, 0);
    const QString key = groupAndKey.section(QLatin1Char('/'), 1);
    QFile file(settingsFile());
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return std::nullopt;
    bool inGroup = false;
    for (const QString& raw : QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'))) {
        const QString line = raw.trimmed();
        if (line.startsWith(QLatin1Char('[')) && line.endsWith(QLatin1Char(']')))
            inGroup = line.mid(1, line.size() - 2).trimmed().compare(group, Qt::CaseInsensitive) == 0;
        else if (inGroup && line.section(QLatin1Char('='), 0, 0).trimmed().compare(key, Qt::CaseInsensitive) == 0)
            return line.section(QLatin1Char('='), 1).trimmed();
    }
    return std::nullopt;
}

} // namespace

QString settingsFile()
{
    if (!g_file.isEmpty())
        return g_file;
    const QString env = qEnvironmentVariable("FOLIVEX_SETTINGS");
    if (!env.isEmpty())
        return env;
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation)
        + QStringLiteral("/TALVENOR/folivex.ini");
}

void setSettingsFile(const QString& path) { g_file = path; }

QString getSetting(const QString& app, const QString& section, const QString& key, const QString& defaultValue)
{
    QSettings s(settingsFile(), QSettings::IniFormat);
    const QVariant v = s.value(storedKey(s, groupKey(app, section, key)));
    if (!v.isValid())
        return defaultValue;
    // An unquoted value with commas (a path such as "/srv/Dr Martin, Pau/INDUCTION.mdb") reads as a list
    // whose items lost their blanks: take the line as written.
    if (v.typeId() == QMetaType::QStringList)
        return rawValue(groupKey(app, section, key)).value_or(v.toStringList().join(QLatin1Char(',')));
    return v.toString();
}

// QSettings lays the file out, in a private copy; the file itself is then written by the program's one way, since
// QSettings' own save takes its flush's word for it.
bool saveSetting(const QString& app, const QString& section, const QString& key, const QString& value,
                 FileFailure* failure)
{
    const QString file = settingsFile();
    const auto failed = [&](int error) {
        if (failure)
            *failure = FileFailure{file, error};
        return false;
    };
    const QTemporaryDir work;
    const QString copy = work.filePath(QStringLiteral("settings.ini"));
    if (!work.isValid() || (QFileInfo::exists(file) && !QFile::copy(file, copy)))
        return failed(EIO);
    {
        QSettings s(copy, QSettings::IniFormat);
        s.setValue(storedKey(s, groupKey(app, section, key)), value);
        s.sync();
        if (s.status() != QSettings::NoError)
            return failed(EIO);
    }
    QFile laidOut(copy);
    if (!laidOut.open(QIODevice::ReadOnly))
        return failed(EIO);
    QDir().mkpath(QFileInfo(file).absolutePath());
    return writeFile(file, laidOut.readAll(), failure);
}

} // namespace platform
