#pragma once
// What every window test runs on: a temporary program directory with a fresh database file, its own settings
// file, scripted message boxes, a recording help service and a fixed clock.
#include "platform/help.h"
#include "platform/messages.h"

#include <QDateTime>
#include <QList>
#include <QString>
#include <QTemporaryDir>
#include <deque>

class FakeMessages final : public platform::MessageService {
public:
    platform::MsgResult show(const platform::MsgBoxRequest& request) override;

    // Answers for the next questions (boxes with more than an OK button), in order.
    void answer(platform::MsgResult result) { answers.push_back(result); }
    void answerYes() { answer(platform::MsgResult::Yes); }
    void answerNo() { answer(platform::MsgResult::No); }

    QStringList texts() const;
    void clear() { boxes.clear(); }

    QList<platform::MsgBoxRequest> boxes;
    std::deque<platform::MsgResult> answers;
};

struct HelpCall {
    QString file;
    int command;
    int topic;
};

class FakeHelp final : public platform::HelpService {
public:
    void showHelp(const QString& file, int command, int topic) override { calls.append({file, command, topic}); }
    QList<HelpCall> calls;
};

class TestEnv {
public:
    // Fixed "today" of every test unless one sets its own: Tuesday 15/03/2005.
    static QDateTime defaultNow() { return QDateTime(QDate(2005, 3, 15), QTime(10, 0)); }

    explicit TestEnv(bool demo = false);
    ~TestEnv();

    QString programDir() const { return m_progDir; }
    QString dbPath() const { return m_dbPath; }
    QString workbookDir() const { return m_xlsDir; }
    QString path(const QString& name) const { return m_dir.path() + QLatin1Char('/') + name; }
    void setNow(const QDateTime& now);
    // Writes CHEMIN (and the other keys) in the test's settings file.
    void setSetting(const QString& key, const QString& value);

    // Copies the sample templates built by the project into the program directory (as set now), when they exist.
    void installTemplates();

    FakeMessages messages;
    FakeHelp help;

private:
    QTemporaryDir m_dir;
    QString m_progDir;
    QString m_dbPath;
    QString m_xlsDir;
};
