#pragma once
// The per-user settings store in place of the registry's application settings. Application, section and key
// names are compared without regard to case. The INI file lives in the user's configuration directory unless
// FOLIVEX_SETTINGS names another file (tests, demo) or setSettingsFile() was called.
#include <QString>

namespace platform {

struct FileFailure;

QString getSetting(const QString& app, const QString& section, const QString& key,
                   const QString& defaultValue = QString());
// Writes the value into the settings file, whole or not at all: on failure the file keeps its earlier settings,
// false is returned and *failure (when given) says why.
bool saveSetting(const QString& app, const QString& section, const QString& key, const QString& value,
                 FileFailure* failure = nullptr);

QString settingsFile();
void setSettingsFile(const QString& path);

} // namespace platform
