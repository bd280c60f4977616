#pragma once
// A recording engine for window tests: every call is kept in order, and failures can be scripted.
// Opening checks that the file exists on disk, so a working copy or workbook the window did not make is
// "not found" as it would be for real; saving writes a copy of the opened file at the target path, followed by
// the cells written into the document, a line each ("N8=typed \"3\""). Quitting closes every document but those
// kept.
#include "office/spreadsheet.h"

#include <QHash>
#include <QList>
#include <QSet>
#include <QStringList>

namespace office {

class FakeSpreadsheet final : public Spreadsheet {
public:
    struct Call {
        enum class Op { Open, Write, Save, Front, Close, CloseAll, Quit };
        Op op;
        int document = 0;  // Open (0 when it failed), Write, Save, Front, Close
        QString path;      // Open, Save
        QString address;   // Write
        CellValue value;   // Write
    };

    // Installs itself as the engine for its lifetime.
    FakeSpreadsheet();
    ~FakeSpreadsheet() override;

    // Scripted failures.
    void setAvailable(bool available) { m_available = available; } // false: every open gives NoApplication
    void failOpen(OpenStatus status) { m_openFailure = status; }    // every later open fails so
    void refuseSave(bool refuse = true) { m_refuseSave = refuse; }
    // A save takes this long, as a real one does, so that two workstations' saves can overlap.
    void delaySaves(int milliseconds) { m_saveDelay = milliseconds; }
    // The user closes the document in the office window.
    void userCloses(int document) { m_open.remove(document); }

    const QList<Call>& calls() const { return m_calls; }
    // One line per call: open /p/temp.xls, write A3 text "X", save /p/f.xls, front 1, close 1, closeAll, quit.
    QStringList log() const;
    // The cells written into a document, "address=value description" in order.
    QStringList writes(int document) const;
    QList<int> openDocuments() const;
    void clear() { m_calls.clear(); }

    Opened open(const QString& path) override;
    bool isOpen(int document) override { return m_open.contains(document); }
    bool writeCell(int document, const QString& address, const CellValue& value) override;
    bool save(int document, const QString& path, bool replace, platform::FileFailure* failure) override;
    void bringToFront(int document) override { m_calls.append({Call::Op::Front, document, {}, {}, {}}); }
    void close(int document) override;
    void closeAll() override;
    void quit(const QList<int>& keep) override;

private:
    QList<Call> m_calls;
    QHash<int, QString> m_open; // document -> path it was opened from
    int m_next = 1;
    bool m_available = true;
    OpenStatus m_openFailure = OpenStatus::Opened;
    bool m_refuseSave = false;
    int m_saveDelay = 0;
};

} // namespace office
