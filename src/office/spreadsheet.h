#pragma once
// The spreadsheet layer: the six operations the windows perform on a spreadsheet program, over a replaceable
// engine. The program uses LibreOffice Calc (office/libreoffice.h); window tests install FakeSpreadsheet.
//
// The engine only ever acts on documents of the office instance this program started: a spreadsheet program
// the user runs, and its unsaved work, are never touched.
#include <QDate>
#include <QString>
#include <QVariant>

namespace office {

// The working copy every template is copied onto and opened from (program directory).
inline constexpr const char* WORKING_COPY = "temp.xls";
QString workingCopyPath();

// A value as it is handed to the engine, classified once so that every engine writes the same thing.
struct CellValue {
    enum class Kind {
        Typed,  // text entered as a French user types it: "12,5" becomes a number
        Text,   // literal text, never interpreted ("=A1", "10/10")
        Number, // a numeric value
        Date,   // a date, written as a date serial with a date format
    };
    Kind kind = Kind::Text;
    QString text;   // Typed, Text
    double number = 0; // Number
    QDate date;     // Date

    // QDate -> Date; numbers -> Number; a text beginning with "=" -> Text; a complete date text
    // (J/M/AA to JJ/MM/AAAA) -> Date; any other text -> Typed (the engine keeps it text if it would read as
    // an incomplete date, such as "10/10").
    static CellValue from(const QVariant& value);
    // What a text box holds, as it was typed: never read as a number, a date or a formula.
    static CellValue literal(const QString& text);
    // A date box: a date when the text is a complete date, otherwise the text as it was typed.
    static CellValue dateOrLiteral(const QString& text);
    // Readable form for logs and test failures: text "MARTIN", typed "12,5", number 3, date 15/03/2005.
    QString describe() const;
    bool operator==(const CellValue&) const = default;
};

enum class OpenStatus {
    Opened,
    NoApplication, // no spreadsheet program could be started
    FileNotFound,  // the path names no file
    Failed,        // the file exists but did not open
};

enum class SaveResult {
    Saved,
    NoWorkbook, // no workbook opened by this application object, or it was closed meanwhile
    Refused,    // the target exists and the user declined to replace it
    Failed,     // the folder does not exist, or the program could not store the file
};

// The engine. Documents are named by ids the engine hands out (never 0).
class Spreadsheet {
public:
    virtual ~Spreadsheet() = default;

    struct Opened {
        OpenStatus status = OpenStatus::NoApplication;
        int document = 0;
    };
    // Opens the workbook editable, visible where the engine shows windows.
    virtual Opened open(const QString& path) = 0;
    // False once the document was closed (also by the user).
    virtual bool isOpen(int document) = 0;
    // Writes one cell of the document's active sheet by A1 address. False when nothing was written.
    virtual bool writeCell(int document, const QString& address, const CellValue& value) = 0;
    // Stores the document under the path in the legacy Excel format (.xls), replacing any file there.
    // Asking about an existing file is the caller's business.
    virtual bool save(int document, const QString& path) = 0;
    // Brings the document's window in front of the others; nothing when it is hidden or gone.
    virtual void bringToFront(int /*document*/) {}
    // Closes the document without saving and without a question.
    virtual void close(int document) = 0;
    // Closes every document of this engine without saving and without a question.
    virtual void closeAll() = 0;
    // Ends the engine's program, letting it ask the user about unsaved work (the user may keep it open).
    virtual void quit() = 0;
};

// The installed engine; without one, a stand-in for an absent spreadsheet program (every open fails with
// NoApplication). The caller keeps ownership; nullptr restores the stand-in.
void setSpreadsheet(Spreadsheet* engine);
Spreadsheet& spreadsheet();

// A window's application object: the workbook OUVRE_EXCEL opened for it, if any.
class ExcelApp {
public:
    ExcelApp() = default;
    ExcelApp(OpenStatus status, int document) : m_status(status), m_document(document) {}

    // OUVRE_EXCEL reached a spreadsheet program (the workbook may still have failed to open).
    bool isValid() const { return m_status != OpenStatus::NoApplication; }
    // A workbook was opened for this object (it may have been closed since; see ENREGISTRE_CLASSEUR).
    bool hasWorkbook() const { return m_document != 0; }
    OpenStatus openStatus() const { return m_status; }
    int document() const { return m_document; }

private:
    OpenStatus m_status = OpenStatus::NoApplication;
    int m_document = 0;
};

// Copies the template from the program directory onto the working copy, replacing it. On failure shows
// "Le fichier <source> n'existe pas." (missing template) or a message naming the working copy (any other
// failure) and returns false: the caller stops, nothing else is done.
[[nodiscard]] bool COPIE_MODELE(const QString& templateName);

// Closes, without saving, the documents of the program's own office instance, then opens the workbook
// editable and visible. openStatus() tells FileNotFound from other failures; nothing is shown here.
ExcelApp OUVRE_EXCEL(const QString& path);

// Writes one value into one cell of the application's workbook, as a French user would type it (see
// CellValue::from). Failures are ignored.
void ECRIT_CELLULE(ExcelApp& app, const QString& address, const QVariant& value);
// The same with the value's kind chosen by the caller.
void ECRIT_CELLULE(ExcelApp& app, const QString& address, const CellValue& value);

// Saves the application's workbook (the one OUVRE_EXCEL opened, not whatever is active) under the path,
// asking before replacing an existing file, then closes it. Failures are handed to the caller.
[[nodiscard]] SaveResult ENREGISTRE_CLASSEUR(ExcelApp& app, const QString& path);

// Closes the application's workbook without saving. Nothing happens without one; the object keeps its state.
void DECH_EXCEL(ExcelApp& app);

// Asks the program's own office instance to quit, letting it ask the user about unsaved workbooks.
void QUITTE_EXCEL();

} // namespace office
