#pragma once
// The spreadsheet layer: the six operations the windows perform on a spreadsheet program, over a replaceable
// engine. The program uses LibreOffice Calc (office/libreoffice.h); window tests install FakeSpreadsheet.
//
// The engine only ever acts on documents of the office instance this program started: a spreadsheet program
// the user runs, and its unsaved work, are never touched.
#include <QDate>
#include <QList>
#include <QString>
#include <QVariant>
#include <exception>

namespace platform {
struct FileFailure;
}

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
    Lost,          // the spreadsheet program stopped answering and was ended before the workbook opened
};

enum class SaveResult {
    Saved,
    NoWorkbook, // no workbook opened by this application object, or it was closed meanwhile
    Refused,    // the target exists and the user declined to replace it
    Failed,     // the folder does not exist, or the file could not be stored whole (the cause is given)
    Lost,       // the spreadsheet program stopped answering and was ended, or died: the workbook is gone
};

// Thrown by an engine call when its program did not answer within the time limit and the user had it ended:
// what was asked is not done, every document it held is gone, and the next call starts a new one.
class NoAnswer final : public std::exception {
public:
    const char* what() const noexcept override { return "the spreadsheet program did not answer and was ended"; }
};

// Asks the user whether to wait longer for a spreadsheet program that has not answered for so long; false: end
// it and start a new one.
bool waitLonger(qint64 waitedMs);

// The engine. Documents are named by ids the engine hands out (never 0). Any call may throw NoAnswer.
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
    // Stores the document under the path in the legacy Excel format (.xls), whole or not at all: the file under
    // that name is then the complete workbook, or what it was before. With replace false a file put under the
    // name meanwhile is kept and the save fails. Asking about an existing file is the caller's business. On
    // failure *failure (when given) says why.
    virtual bool save(int document, const QString& path, bool replace, platform::FileFailure* failure) = 0;
    // Brings the document's window in front of the others; nothing when it is hidden or gone.
    virtual void bringToFront(int /*document*/) {}
    // Closes the document without saving and without a question.
    virtual void close(int document) = 0;
    // Closes every document of this engine without saving and without a question.
    virtual void closeAll() = 0;
    // Ends the engine's program. The documents this program opened are closed without saving, but those kept
    // and, where the user sees the spreadsheet, a workbook he changed and has not saved (never the working
    // copy): those stay for him, with the spreadsheet program. Documents it did not open are left alone; the
    // spreadsheet program ends when it holds none.
    virtual void quit(const QList<int>& keep) = 0;
};

// The installed engine; without one, a stand-in for an absent spreadsheet program (every open fails with
// NoApplication). The caller keeps ownership; nullptr restores the stand-in.
void setSpreadsheet(Spreadsheet* engine);
Spreadsheet& spreadsheet();

// A window's application object: the workbook OUVRE_EXCEL opened for it, if any.
class ExcelApp {
public:
    ExcelApp() = default;
    ExcelApp(OpenStatus status, int document)
        : m_status(status), m_document(document), m_lost(status == OpenStatus::Lost)
    {
    }

    // OUVRE_EXCEL reached a spreadsheet program (the workbook may still have failed to open).
    bool isValid() const { return m_status != OpenStatus::NoApplication; }
    // A workbook was opened for this object (it may have been closed since; see ENREGISTRE_CLASSEUR).
    bool hasWorkbook() const { return m_document != 0; }
    OpenStatus openStatus() const { return m_status; }
    int document() const { return m_document; }
    // The spreadsheet program stopped answering (and was ended) or died while this workbook was opened,
    // written or saved: it is gone, and what was asked of it is not done.
    bool lost() const { return m_lost; }
    void lose()
    {
        m_document = 0;
        m_lost = true;
    }

private:
    OpenStatus m_status = OpenStatus::NoApplication;
    int m_document = 0;
    bool m_lost = false;
};

// Copies the template from the program directory onto the working copy, whole or not at all. On failure shows
// "Le fichier <source> n'existe pas." (missing template) or a message naming the working copy and the cause
// (any other failure) and returns false: the caller stops, nothing else is done.
[[nodiscard]] bool COPIE_MODELE(const QString& templateName);

// Closes, without saving, the documents of the program's own office instance, then opens the workbook
// editable and visible. openStatus() tells FileNotFound and Lost from other failures; nothing is shown here.
ExcelApp OUVRE_EXCEL(const QString& path);

// Writes one value into one cell of the application's workbook, as a French user would type it (see
// CellValue::from). A cell refused is passed over; a workbook gone meanwhile (the spreadsheet program ended or
// died) makes the application lost().
void ECRIT_CELLULE(ExcelApp& app, const QString& address, const QVariant& value);
// The same with the value's kind chosen by the caller.
void ECRIT_CELLULE(ExcelApp& app, const QString& address, const CellValue& value);

// Saves the application's workbook (the one OUVRE_EXCEL opened, not whatever is active) under the path, whole
// or not at all, asking before replacing an existing file, then closes it. Failures are handed to the caller,
// with their cause in *failure (when given) for Failed.
[[nodiscard]] SaveResult ENREGISTRE_CLASSEUR(ExcelApp& app, const QString& path,
                                             platform::FileFailure* failure = nullptr);

// Stores the application's workbook under the path, whole or not at all, never over a file already there (it
// fails then); the workbook stays open. Failures as for ENREGISTRE_CLASSEUR (never Refused).
[[nodiscard]] SaveResult storeWorkbook(ExcelApp& app, const QString& path, platform::FileFailure* failure = nullptr);

// Closes the application's workbook without saving. Nothing happens without one; the object keeps its state.
void DECH_EXCEL(ExcelApp& app);

// Asks the program's own office instance to quit: the workbooks the program opened are closed without saving,
// but those kept for the user and those he changed in a visible spreadsheet (see Spreadsheet::quit).
void QUITTE_EXCEL();

// The workbook stays open for the user when the program closes its office (the filled registry form), until
// the next OUVRE_EXCEL.
void keepOpen(const ExcelApp& app);

// At the program's end: the office instance is closed as QUITTE_EXCEL closes it; no working copy stays open.
void programEnds();

// A workbook opened in the program's own office instance alongside what it holds (nothing is closed), the
// application's workbook still there, and brought in front of the others.
ExcelApp openAlongside(const QString& path);
bool isOpen(ExcelApp& app);
void bringToFront(const ExcelApp& app);

// Whether the file is a whole legacy Excel workbook: a compound file whose every sector in use lies within the
// file, with its workbook stream. A file cut short (a full disk, a write error, a copy ended half-way) is not.
bool isWholeWorkbook(const QString& path);

} // namespace office
