#pragma once
// The printed operative report: the page as a list of lines (composed from the cycle sheet window's texts),
// the printer service that chooses where it goes, and the renderer that lays it out on a QPrinter.
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

// Where printing goes; tests install one that prints to a PDF file.
class PrinterService {
public:
    virtual ~PrinterService() = default;
    // The system's default printer, or none when no printer is installed.
    virtual std::unique_ptr<QPrinter> defaultPrinter() = 0;
    // The printer dialog on that printer: false when the user cancels.
    virtual bool choosePrinter(QPrinter& printer, QWidget* parent) = 0;
};

void setPrinterService(PrinterService* service); // nullptr restores the system's
PrinterService& printerService();

// Chooses the printer, then composes and prints one document. Shows "Aucune imprimante disponible" without a
// printer and a message when printing fails; Cancel in the dialog prints nothing.
void print(PrinterChoice choice, QWidget* parent, const std::function<Page()>& composePage);

} // namespace report
