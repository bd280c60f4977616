#pragma once
// The printed operative report: the page as a list of lines (composed from the cycle sheet window's texts),
// the printer service that chooses where it goes, and the renderer that lays it out on a QPrinter.
#include <QDate>
#include <QList>
#include <QString>
#include <memory>
#include <functional>
#include <optional>

class QPrinter;
class QWidget;

namespace report {

struct Line {
    QString text;                  // "\r" and "\n" inside a text are line breaks
    int size = 12;                 // points
    bool bold = false;
    std::optional<double> position; // vertical position (cm from the origin) set before the line
    bool operator==(const Line&) const = default;
};

struct Page {
    double originCm = 3; // position 0 lies this far in from the left and top of the printable area
    QList<Line> lines;
};

// The texts the report is composed from, as the window shows them.
struct Sources {
    QString entNom, entAdress, entVille, entTel;
    QString nom, prenom, diagnostic;
    QString type, numFich;
    QString datePonc, gynecoP, anesthesi, modePonc, comments, nbrO, nbrE, nbrEC, kPonction;
    QString dateTrans, modal, gynecoT, nbrET, kTransfert;
    QString today; // short date
};

Page compose(const Sources& s);

// Draws the page on the printer as one document (new pages when one is full). False when the printer could not
// be started or did not take the document.
bool render(const Page& page, QPrinter& printer);

enum class PrinterChoice {
    Default, // the system's default printer
    Dialog,  // the printer dialog first
};

// Where printing goes, and where the report is saved instead when no printer is installed; tests install one
// that prints to a PDF file and chooses its file without a dialog.
class PrinterService {
public:
    virtual ~PrinterService() = default;
    // The system's default printer, or none when no printer is installed.
    virtual std::unique_ptr<QPrinter> defaultPrinter() = 0;
    // The printer dialog on that printer: false when the user cancels.
    virtual bool choosePrinter(QPrinter& printer, QWidget* parent) = 0;
    // The file chooser for a PDF copy, opened on suggestedPath: the file chosen, empty when the user cancels.
    virtual QString choosePdfFile(QWidget* parent, const QString& suggestedPath) = 0;
    // Shows a saved PDF in the desktop's viewer: false when nothing could show it.
    virtual bool showPdf(const QString& path) = 0;
};

void setPrinterService(PrinterService* service); // nullptr restores the system's
PrinterService& printerService();

// "CRO MARTIN Claire 2005-03-15.pdf": the name offered for a PDF copy, without the characters a file name
// cannot hold on the disks and shares the centre uses.
QString pdfFileName(const QString& nom, const QString& prenom, const QDate& day);

// Chooses the printer, then composes and prints one document; Cancel in the dialog prints nothing. Without a
// printer the document is saved as a PDF file chosen from pdfPath on and shown in the desktop's viewer; Cancel
// in the chooser saves nothing. A message when printing or saving fails.
void print(PrinterChoice choice, QWidget* parent, const std::function<Page()>& composePage, const QString& pdfPath);

} // namespace report
