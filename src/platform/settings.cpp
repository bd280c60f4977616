#include "platform/settings.h"

#include <QDir>
#include <QSettings>
#include <QStandardPaths>

namespace platform {

namespace {

QString g_file;

QString groupKey(const QString& app, const QString& section, const QString& key)
{
    return app.toUpper() + QLatin1Char('_') + section.toUpper() + QLatin1Char('/') + key.toUpper();
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
    const QVariant v = s.value(groupKey(app, section, key));
    return v.isValid() ? v.toString() : defaultValue;
}

void saveSetting(const QString& app, const QString& section, const QString& key, const QString& value)
{
    QDir().mkpath(QFileInfo(settingsFile()).absolutePath());
    QSettings s(settingsFile(), QSettings::IniFormat);
    s.setValue(groupKey(app, section, key), value);
    s.sync();
}

} // namespace platform
