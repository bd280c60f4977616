#include "support/testenv.h"

#include "app/program.h"
#include "data/globals.h"
#include "data/schema.h"
#include "platform/environment.h"
#include "platform/settings.h"

#include <QDir>
#include <QFile>
#include <QTest>

platform::MsgResult FakeMessages::show(const platform::MsgBoxRequest& request)
{
    boxes.append(request);
    if (request.buttons == platform::MsgButtons::Ok)
        return platform::MsgResult::Ok;
    if (answers.empty()) {
        QTest::qFail(qPrintable(QStringLiteral("unexpected question: ") + request.text), __FILE__, __LINE__);
        return request.buttons == platform::MsgButtons::OkCancel ? platform::MsgResult::Cancel
                                                                 : platform::MsgResult::No;
    }
    const auto r = answers.front();
    answers.pop_front();
    return r;
}

QStringList FakeMessages::texts() const
{
    QStringList out;
    for (const auto& b : boxes)
        out << b.text;
    return out;
}

TestEnv::TestEnv(bool demo)
{
    m_progDir = m_dir.path() + QStringLiteral("/prog");
    m_xlsDir = m_dir.path() + QStringLiteral("/xls");
    QDir().mkpath(m_progDir);
    QDir().mkpath(m_xlsDir);
    m_dbPath = m_dir.path() + QStringLiteral("/data/INDUCTION.mdb");
    QDir().mkpath(m_dir.path() + QStringLiteral("/data"));
    const QString failure = data::createDatabase(m_dbPath, demo);
    if (!failure.isEmpty())
        qFatal("cannot create the test database: %s", qPrintable(failure));
    platform::setProgramDir(m_progDir);
    platform::setSettingsFile(m_dir.path() + QStringLiteral("/settings.ini"));
    setSetting(QStringLiteral("CHEMIN"), m_dbPath);
    setSetting(QStringLiteral("CHEMINS"), m_dbPath);
    setSetting(QStringLiteral("CheminXls"), m_xlsDir);
    platform::setMessageService(&messages);
    platform::setHelpService(&help);
    platform::setFixedNow(defaultNow());
}

TestEnv::~TestEnv()
{
    app::tearDown();
    platform::setMessageService(nullptr);
    platform::setHelpService(nullptr);
    platform::setFixedNow(QDateTime());
    platform::setProgramDir(QString());
    platform::setSettingsFile(QString());
}

void TestEnv::setNow(const QDateTime& now) { platform::setFixedNow(now); }

void TestEnv::setSetting(const QString& key, const QString& value)
{
    platform::saveSetting(data::kSettingsApp, data::kSettingsSection, key, value);
}

void TestEnv::installTemplates()
{
    const QString built = qEnvironmentVariable("FOLIVEX_BINARY_DIR") + QStringLiteral("/templates");
    const QDir dir(built);
    for (const QString& f : dir.entryList({QStringLiteral("*.xls")}, QDir::Files)) {
        QFile::remove(platform::programFile(f));
        QFile::copy(dir.filePath(f), platform::programFile(f));
    }
}
