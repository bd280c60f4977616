#pragma once
// The LibreOffice Calc engine, driven over UNO. This header carries no UNO type; the implementation lives in
// office/lo (target folivex_lo) and is the only code that needs the LibreOffice SDK.
#include "office/spreadsheet.h"

#include <QDate>
#include <QList>
#include <QString>
#include <QStringList>
#include <memory>

namespace office {

struct LibreOfficeOptions {
    // Profile directory of the program's own office instance, and the pipe it listens on. Empty: derived from
    // FOLIVEX_LO_PROFILE / the user's cache directory, and from the profile path, so two profiles never share
    // a pipe.
    QString profileDir;
    QString pipeName;
    // Visible windows: where a display exists (DISPLAY or WAYLAND_DISPLAY set, QT_QPA_PLATFORM not
    // "offscreen"), unless forced here.
    enum class Display { Auto, Visible, Headless } display = Display::Auto;
    // The program's office binary.
    QString soffice = QStringLiteral("/usr/lib/libreoffice/program/soffice");
    // How long a call waits for the office before the user is asked whether to wait longer or end it; its start
    // (a cold start on a busy workstation) gets longer.
    int callLimitMs = 30000;
    int startLimitMs = 120000;
};

// A cell as read back from a stored workbook.
struct CellContent {
    enum class Type { Empty, Text, Number, Date, Formula };
    Type type = Type::Empty;
    QString text;   // the cell's string (what the office shows for numbers and dates)
    double value = 0;
    QDate date;     // Date
    QString formula; // Formula
    int height = 0;  // of the cell's row, in hundredths of a millimetre
};

// Every call into the office runs on a thread of the engine's own while the caller waits within a time limit
// (platform::waitFor): an office that stops answering never freezes the program. Past the limit the user chooses
// to wait longer or to end it (its own processes only); an ended office makes the call throw NoAnswer, and the
// next call starts a new one.
class LibreOfficeSpreadsheet : public Spreadsheet {
public:
    explicit LibreOfficeSpreadsheet(LibreOfficeOptions options = {});
    ~LibreOfficeSpreadsheet() override; // ends the instance unless a visible document is still open

    Opened open(const QString& path) override;
    bool isOpen(int document) override;
    bool writeCell(int document, const QString& address, const CellValue& value) override;
    bool save(int document, const QString& path, bool replace, platform::FileFailure* failure) override;
    void bringToFront(int document) override;
    void close(int document) override;
    void closeAll() override;
    void quit(const QList<int>& keep) override;

    // Starts (or reaches) the instance without opening anything. False when no office could be started.
    bool start();
    bool isRunning();
    bool isVisible() const;
    // Closes everything and ends the instance, waiting for its processes to exit.
    void shutdown();
    const LibreOfficeOptions& options() const;
    // Office processes (soffice.bin) of this instance now running: 0 or 1.
    QList<qint64> officeProcessIds() const;
    // What the office's menus call a command of Calc (".uno:Save"), in the language of its interface; empty when
    // no office could be started or the command is unknown.
    QString commandLabel(const QString& command);

    // Reads cells of the first sheet of a workbook on disk (loaded hidden and read-only).
    QList<CellContent> readCells(const QString& path, const QStringList& addresses);
    // The texts of a block of cells of the first sheet ("A1:Z160"), row by row, in one call; empty when the
    // workbook cannot be read.
    QList<QStringList> readTexts(const QString& path, const QString& range);

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};

// Tests: give each suite a temporary profileDir and Display::Headless, so suites running side by side never
// share an instance, and end it with shutdown() (or by destroying the engine).
std::unique_ptr<LibreOfficeSpreadsheet> createLibreOfficeSpreadsheet(LibreOfficeOptions options = {});

// Office processes (soffice.bin) listening on a pipe: what a test checks once its engine is gone.
QList<qint64> officeProcessIds(const QString& pipeName);

} // namespace office
