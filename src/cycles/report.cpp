#include "cycles/report.h"

#include "platform/filewrite.h"
#include "platform/messages.h"

#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontMetricsF>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <QPrinterInfo>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTextLayout>
#include <QUrl>
#include <memory>
#include <vector>

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

namespace {

// One printed row: a laid-out line of an item, or an empty item.
struct Row {
    QTextLine line; // invalid for an empty item
    int layout = 0; // index of the QTextLayout that owns the line
    double x = 0;
    double height = 0;
    int item = 0;                   // index of the page line it comes from
    std::optional<double> position; // set before the row (first row of an item)
    bool blank() const { return !line.isValid() || line.textLength() == 0; }
};

struct Placed {
    int page = 0;
    double y = 0;
};

// Where each row goes: rows that do not fit start a new page. The last item (the place and date that close
// the report) never stands alone on a page: the blank rows before it give way first, then the last row of
// text before it moves to the new page with it.
QList<Placed> paginate(const QList<Row>& rows, int lastItem, double top, double bottom, double perCm)
{
    QList<Placed> placed(rows.size());
    int page = 0;
    double y = top;
    for (int i = 0; i < rows.size(); ++i) {
        if (rows[i].position)
            y = top + *rows[i].position * perCm;
        if (y + rows[i].height > bottom && y > top) {
            ++page;
            y = top;
        }
        placed[i] = {page, y};
        y += rows[i].height;
    }

    int closing = int(rows.size());
    while (closing > 0 && rows[closing - 1].item == lastItem)
        --closing;
    int text = closing - 1;
    while (text >= 0 && rows[text].blank())
        --text;
    if (text < 0 || closing == rows.size() || placed[closing].page == placed[text].page)
        return placed;
    double closingHeight = 0;
    for (int i = closing; i < rows.size(); ++i)
        closingHeight += rows[i].height;
    double gap = 0;
    for (int i = text + 1; i < closing; ++i)
        gap += rows[i].height;
    const double afterText = placed[text].y + rows[text].height;
    if (afterText + closingHeight <= bottom) {
        // Shorten the gap as much as needed.
        page = placed[text].page;
        y = afterText + qMin(gap, bottom - afterText - closingHeight);
    } else if (placed[text].y > top) {
        page = placed[text].page + 1;
        placed[text] = {page, top};
        y = top + rows[text].height + gap;
    } else {
        return placed;
    }
    for (int i = text + 1; i < closing; ++i)
        placed[i] = {page, y}; // blank: drawn nowhere, kept on the page
    for (int i = closing; i < rows.size(); ++i) {
        placed[i] = {page, y};
        y += rows[i].height;
    }
    return placed;
}

} // namespace

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

    std::vector<std::unique_ptr<QTextLayout>> layouts;
    QList<QFont> fonts;
    QList<Row> rows;
    for (int item = 0; item < page.lines.size(); ++item) {
        const Line& line = page.lines[item];
        QFont font = painter.font();
        font.setPointSize(line.size);
        font.setBold(line.bold);
        bool first = true;
        // Carriage returns and line feeds inside an item start new lines; a long line wraps, its continuation
        // lined up under the text after the leading blanks.
        for (const QString& part : line.text.split(QRegularExpression(QStringLiteral("\r\n|\r|\n")))) {
            layouts.push_back(std::make_unique<QTextLayout>(part, font, &printer));
            fonts.append(font);
            QTextLayout& layout = *layouts.back();
            const int blanks = int(part.size() - QString(part).remove(QRegularExpression(QStringLiteral("^ +"))).size());
            const double indent = QFontMetricsF(font, &printer).horizontalAdvance(QString(blanks, QLatin1Char(' ')));
            const double height = QFontMetricsF(font, &printer).lineSpacing();
            bool firstOfPart = true;
            layout.beginLayout();
            for (QTextLine tl = layout.createLine(); tl.isValid(); tl = layout.createLine()) {
                const double x = firstOfPart ? 0 : indent;
                tl.setLineWidth(right - left - x);
                Row r{tl, int(layouts.size()) - 1, x, height, item, {}};
                if (first)
                    r.position = line.position;
                rows.append(r);
                first = firstOfPart = false;
            }
            layout.endLayout();
        }
    }

    const QList<Placed> placed = paginate(rows, int(page.lines.size()) - 1, top, bottom, perCm);
    int current = 0;
    for (int i = 0; i < rows.size(); ++i) {
        const Row& r = rows[i];
        if (placed[i].page != current) {
            if (!printer.newPage())
                return false;
            current = placed[i].page;
        }
        painter.setFont(fonts[r.layout]);
        r.line.draw(&painter, QPointF(left + r.x, placed[i].y - r.line.y()));
    }
    return painter.end() && printer.printerState() != QPrinter::Error;
}

namespace {

void setUpPage(QPrinter& printer)
{
    printer.setPageSize(QPageSize(QPageSize::A4));
    printer.setDocName(QStringLiteral("Compte rendu opératoire"));
}

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
        setUpPage(*printer);
        return printer;
    }
    bool choosePrinter(QPrinter& printer, QWidget* parent) override
    {
        QPrintDialog dialog(&printer, parent);
        return dialog.exec() == QDialog::Accepted;
    }
    QString choosePdfFile(QWidget* parent, const QString& suggestedPath) override
    {
        // Qt's own dialog with its texts set here: a desktop's native chooser would speak the desktop's language.
        const QFileInfo suggested(suggestedPath);
        const QString folder = suggested.dir().exists() ? suggested.absolutePath() : QDir::homePath();
        QFileDialog dialog(parent, QStringLiteral("Enregistrer le compte rendu opératoire en PDF"), folder,
                           QStringLiteral("Documents PDF (*.pdf)"));
        dialog.setOption(QFileDialog::DontUseNativeDialog);
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setFileMode(QFileDialog::AnyFile);
        dialog.setDefaultSuffix(QStringLiteral("pdf"));
        dialog.setLabelText(QFileDialog::LookIn, QStringLiteral("Enregistrer dans :"));
        dialog.setLabelText(QFileDialog::FileName, QStringLiteral("Nom du fichier :"));
        dialog.setLabelText(QFileDialog::FileType, QStringLiteral("Type :"));
        dialog.setLabelText(QFileDialog::Accept, QStringLiteral("Enregistrer"));
        dialog.setLabelText(QFileDialog::Reject, QStringLiteral("Annuler"));
        dialog.selectFile(suggested.fileName());
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
            return QString();
        return dialog.selectedFiles().first();
    }
    bool showPdf(const QString& path) override { return QDesktopServices::openUrl(QUrl::fromLocalFile(path)); }
};

PrinterService* g_service = nullptr;

} // namespace

void setPrinterService(PrinterService* service) { g_service = service; }

PrinterService& printerService()
{
    static SystemPrinters system;
    return g_service ? *g_service : system;
}

QString pdfFileName(const QString& nom, const QString& prenom, const QDate& day)
{
    // Reserved on the centre's Windows shares as well as here; control characters come from pasted text.
    static const QRegularExpression unsafe(QStringLiteral("[\\\\/:*?\"<>|\\x00-\\x1f\\x7f]"));
    QString name = nom + QLatin1Char(' ') + prenom;
    name = name.replace(unsafe, QStringLiteral(" ")).simplified();
    name.truncate(120); // well within a file name's 255 bytes, accents included
    name = name.trimmed();
    QString file = QStringLiteral("CRO ");
    if (!name.isEmpty())
        file += name + QLatin1Char(' ');
    return file + day.toString(QStringLiteral("yyyy-MM-dd")) + QStringLiteral(".pdf");
}

namespace {

// A PDF as the printer wrote it, ended: its last lines give where its table of objects starts, and that table is
// there. A file cut short (a full disk, a failed write) ends elsewhere.
bool isWholePdf(const QByteArray& pdf)
{
    const QByteArray end = pdf.trimmed();
    if (!pdf.startsWith("%PDF-") || !end.endsWith("%%EOF"))
        return false;
    const qsizetype start = end.lastIndexOf("startxref");
    if (start < 0)
        return false;
    bool ok = false;
    const qint64 table = end.mid(start + 9, end.size() - 5 - start - 9).trimmed().toLongLong(&ok);
    return ok && table > 0 && table < start && pdf.mid(table, 4) == "xref";
}

// The report drawn into a private file and read back whole; empty when the printer could not make it.
QByteArray renderPdf(const Page& page)
{
    const QTemporaryDir dir;
    if (!dir.isValid())
        return {};
    const QString file = dir.filePath(QStringLiteral("cro.pdf"));
    {
        QPrinter pdf(QPrinter::HighResolution);
        pdf.setOutputFormat(QPrinter::PdfFormat);
        setUpPage(pdf);
        pdf.setOutputFileName(file);
        if (!render(page, pdf))
            return {};
    }
    QFile in(file);
    QByteArray bytes = in.open(QIODevice::ReadOnly) ? in.readAll() : QByteArray();
    return isWholePdf(bytes) ? bytes : QByteArray();
}

// The report is written under the chosen name only once it is whole, by the program's one way of writing a file:
// an earlier report of that name stays until then, and the viewer is asked only for a file really saved.
void savePdf(PrinterService& service, QWidget* parent, const std::function<Page()>& composePage,
             const QString& pdfPath)
{
    const QString path = service.choosePdfFile(parent, pdfPath);
    if (path.isEmpty())
        return;
    const QByteArray pdf = renderPdf(composePage());
    if (pdf.isEmpty()) {
        platform::notice(QStringLiteral("Le compte rendu opératoire n'a pas pu être mis en page : il n'est pas "
                                        "enregistré."));
        return;
    }
    platform::FileFailure failure;
    if (!platform::writeFile(path, pdf, &failure)) {
        platform::notice(QStringLiteral("Le compte rendu opératoire n'a pas pu être enregistré dans ") + path +
                         QStringLiteral(" : ") + failure.cause() + QLatin1Char('.'));
        return;
    }
    if (!service.showPdf(path))
        platform::notice(QStringLiteral("Le compte rendu opératoire est enregistré dans ") + path +
                         QStringLiteral(", mais aucun programme ne peut l'afficher."));
}

} // namespace

void print(PrinterChoice choice, QWidget* parent, const std::function<Page()>& composePage, const QString& pdfPath)
{
    PrinterService& service = printerService();
    const std::unique_ptr<QPrinter> printer = service.defaultPrinter();
    if (!printer) {
        savePdf(service, parent, composePage, pdfPath);
        return;
    }
    if (choice == PrinterChoice::Dialog && !service.choosePrinter(*printer, parent))
        return;
    if (!render(composePage(), *printer))
        platform::notice(QStringLiteral("L'impression du compte rendu opératoire a échoué."));
}

} // namespace report
