#include "cycles/report.h"

#include "platform/messages.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <QPrinterInfo>
#include <QRegularExpression>
#include <QTextLayout>

namespace report {

Page compose(const Sources& s)
{
    const QString in10(10, QLatin1Char(' '));
    const QString in20(20, QLatin1Char(' '));
    const QString in40(40, QLatin1Char(' '));
    const QString cr(QLatin1Char('\r'));
    Page page;
    auto add = [&page](const QString& text, int size, bool bold) { page.lines.append({text, size, bold, {}}); };
    auto plain = [&add](const QString& text) { add(text, 12, false); };
    auto bold = [&add](const QString& text) { add(text, 12, true); };

    add(QString(), 16, false);
    add(s.entNom, 16, false);
    plain(s.entAdress + cr + s.entVille + cr + s.entTel);
    bold(QStringLiteral("Madame ") + s.nom + QLatin1Char(' ') + s.prenom);
    page.lines.last().position = 6.0;
    bold(QString());
    bold(QStringLiteral("Compte rendu opératoire d'AMP"));
    bold(in10 + QStringLiteral("Indication : ") + s.diagnostic);
    bold(in10 + QStringLiteral("Type d'AMP : ") + s.type + QStringLiteral(" N° ") + s.numFich);
    bold(QStringLiteral("\n\nPonction ovocytaire et transfert embryonnaire. "));
    bold(QString());
    bold(QString());
    plain(in10 + QStringLiteral("PONCTION OVOCYTAIRE"));
    plain(QString());
    auto details = [&plain, &in20](const QList<std::pair<const char*, QString>>& items) {
        for (const auto& [label, value] : items)
            plain(in20 + QString::fromUtf8(label) + value);
    };
    details({{"Ponction le ", s.datePonc},
             {"Opérateur : ", s.gynecoP},
             {"Anesthèsiste : ", s.anesthesi},
             {"Modalités : ", s.modePonc},
             {"Commentaires : ", s.comments},
             {"Nombre d'ovocytes recueillis : ", s.nbrO},
             {"Nombre d'embryons obtenus : ", s.nbrE},
             {"Nombre d'embryons congelés : ", s.nbrEC}});
    plain(QString());
    plain(in20 + QStringLiteral("K Opératoire : ") + s.kPonction);
    plain(QString());
    plain(in10 + QStringLiteral("TRANSFERT EMBRYONNAIRE"));
    plain(QString());
    details({{"Transfert le ", s.dateTrans},
             {"Modalités : ", s.modal},
             {"Opérateur : ", s.gynecoT},
             {"Nombre d'embryons transféreés : ", s.nbrET}});
    plain(QString());
    plain(in20 + QStringLiteral("K Opératoire : ") + s.kTransfert);
    plain(QString());
    plain(QString());
    plain(in40 + s.entVille + QStringLiteral(" le ") + s.today);
    return page;
}

bool render(const Page& page, QPrinter& printer)
{
    QPainter painter;
    if (!painter.begin(&printer))
        return false;
    const double perCm = printer.resolution() / 2.54;
    const QRectF area = printer.pageLayout().paintRectPixels(printer.resolution());
    const double left = page.originCm * perCm;
    const double top = page.originCm * perCm;
    const double right = area.width() - 1.5 * perCm;
    const double bottom = area.height() - 1.5 * perCm;
    double y = top;
    for (const Line& line : page.lines) {
        QFont font = painter.font();
        font.setPointSize(line.size);
        font.setBold(line.bold);
        painter.setFont(font);
        if (line.position)
            y = top + *line.position * perCm;
        // Carriage returns and line feeds inside an item start new lines; a long line wraps, its continuation
        // lined up under the text after the leading blanks.
        for (const QString& part : line.text.split(QRegularExpression(QStringLiteral("\r\n|\r|\n")))) {
            QTextLayout layout(part, font, &printer);
            const int blanks = int(part.size() - QString(part).remove(QRegularExpression(QStringLiteral("^ +"))).size());
            const double indent = QFontMetricsF(font, &printer).horizontalAdvance(QString(blanks, QLatin1Char(' ')));
            QList<std::pair<QTextLine, double>> rows;
            layout.beginLayout();
            for (QTextLine tl = layout.createLine(); tl.isValid(); tl = layout.createLine()) {
                const double x = rows.isEmpty() ? 0 : indent;
                tl.setLineWidth(right - left - x);
                rows.append({tl, x});
            }
            layout.endLayout();
            const double height = QFontMetricsF(font, &printer).lineSpacing();
            for (const auto& [tl, x] : rows) {
                if (y + height > bottom) {
                    if (!printer.newPage())
                        return false;
                    y = top;
                }
                tl.draw(&painter, QPointF(left + x, y - tl.y()));
                y += height;
            }
        }
    }
    return painter.end() && printer.printerState() != QPrinter::Error;
}

namespace {

class SystemPrinters final : public PrinterService {
public:
    std::unique_ptr<QPrinter> defaultPrinter() override
    {
        QPrinterInfo info = QPrinterInfo::defaultPrinter();
        if (info.isNull()) {
            const QList<QPrinterInfo> all = QPrinterInfo::availablePrinters();
            if (all.isEmpty())
                return nullptr;
            info = all.first();
        }
        auto printer = std::make_unique<QPrinter>(info, QPrinter::HighResolution);
        printer->setPageSize(QPageSize(QPageSize::A4));
        printer->setDocName(QStringLiteral("Compte rendu opératoire"));
        return printer;
    }
    bool choosePrinter(QPrinter& printer, QWidget* parent) override
    {
        QPrintDialog dialog(&printer, parent);
        return dialog.exec() == QDialog::Accepted;
    }
};

PrinterService* g_service = nullptr;

} // namespace

void setPrinterService(PrinterService* service) { g_service = service; }

PrinterService& printerService()
{
    static SystemPrinters system;
    return g_service ? *g_service : system;
}

void print(PrinterChoice choice, QWidget* parent, const std::function<Page()>& composePage)
{
    PrinterService& service = printerService();
    const std::unique_ptr<QPrinter> printer = service.defaultPrinter();
    if (!printer) {
        platform::notice(QStringLiteral("Aucune imprimante disponible"));
        return;
    }
    if (choice == PrinterChoice::Dialog && !service.choosePrinter(*printer, parent))
        return;
    if (!render(composePage(), *printer))
        platform::notice(QStringLiteral("L'impression du compte rendu opératoire a échoué."));
}

} // namespace report
