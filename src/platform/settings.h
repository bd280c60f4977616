#pragma once
// The per-user settings store in place of the registry's application settings. Application, section and key
// names are compared without regard to case. The INI file lives in the user's configuration directory unless
// FOLIVEX_SETTINGS names another file (tests, demo) or setSettingsFile() was called.
#include <QString>

namespace platform {

QString getSetting(const QString& app, const QString& section, const QString& key,
                   const QString& defaultValue = QString());
void saveSetting(const QString& app, const QString& section, const QString& key, const QString& value);

QString settingsFile();
void setSettingsFile(const QString& path);

} // namespace platform
