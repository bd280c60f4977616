#include "stats/form8.h"

#include "data/globals.h"
#include "platform/controls.h"
#include "platform/conversions.h"
#include "platform/guarded.h"
#include "platform/help.h"
#include "platform/messages.h"
#include "platform/scrollable.h"
#include "stats/activity.h"
#include "stats/resultlines.h"
#include "ui_form8.h"

#include <QComboBox>
#include <QHash>
#include <QListView>
#include <QScrollBar>
#include <QSet>
#include <QStyle>
#include <algorithm>
#include <vector>

namespace {

const QString kBadDate = QStringLiteral("La Date est saisie selon un mode incorrect. Veuillez corriger.");

void reportDbError(const data::DbError& e)
{
    platform::notice(QStringLiteral("La lecture de la base de données a échoué :\n%1").arg(e.message()));
}

void showCount(QLabel* label, qint64 count)
{
    label->setText(QString::number(count));
    if (count > 0)
        label->repaint(); // the grid fills while the run goes on
}

} // namespace

Form8::Form8()
    : ui(std::make_unique<Ui::Form8>()), m_numbers(new stats::ResultLines(this)), m_names(new stats::ResultLines(this))
{
    ui->setupUi(this);
    // The count's designer text is no count: nothing shows there before the first one.
    ui->LblTotal->clear();
    platform::keepDateWhole(ui->TxtDate1);
    platform::keepDateWhole(ui->TxtDate2);
    // The names list shows a long surname and first name whole, beside its scroll bar.
    ui->List2->setMinimumWidth(ui->List2->fontMetrics().horizontalAdvance(QString(34, QLatin1Char('n')))
                               + ui->List2->verticalScrollBar()->sizeHint().width() + 2 * ui->List2->frameWidth());
    // The measure headings wrap on up to three lines over their narrow columns.
    ui->WidEntetes->setMinimumHeight(3 * ui->LblMesure_4->fontMetrics().lineSpacing());
    // On a narrow screen the search frame goes under the dates and the result lists under the grid, rather
    // than off the screen's side.
    platform::stackWhenNarrow(this, ui->hbFrame4);
    platform::stackWhenNarrow(this, ui->hbCentre);
    platform::makeScrollable(this);
    ui->Command2->setIcon(style()->standardIcon(QStyle::SP_FileDialogContentsView));
    ui->Command3->setIcon(style()->standardIcon(QStyle::SP_DialogResetButton));
    connect(ui->Aide, &QAction::triggered, this, platform::guarded(this, &Form8::Aide_Click));
    connect(ui->CmdRechercher, &QPushButton::clicked, this, platform::guarded(this, &Form8::CmdRechercher_Click));
    connect(ui->Command1, &QPushButton::clicked, this, platform::guarded(this, &Form8::Command1_Click));
    connect(ui->Command2, &QPushButton::clicked, this, platform::guarded(this, &Form8::Command2_Click));
    connect(ui->Command3, &QPushButton::clicked, this, platform::guarded(this, &Form8::Command3_Click));

    ui->List1->setModel(m_numbers);
    ui->List2->setModel(m_names);
    // Line i of the names stands beside line i of the numbers: the two lists scroll and select as one.
    for (auto [from, to] : {std::pair{ui->List1, ui->List2}, std::pair{ui->List2, ui->List1}}) {
        from->setUniformItemSizes(true);
        from->setEditTriggers(QAbstractItemView::NoEditTriggers);
        connect(from->verticalScrollBar(), &QScrollBar::valueChanged, to->verticalScrollBar(), &QScrollBar::setValue);
        connect(from->selectionModel(), &QItemSelectionModel::currentRowChanged, to,
                [to](const QModelIndex& current) {
                    if (current.isValid() && current.row() < to->model()->rowCount())
                        to->setCurrentIndex(to->model()->index(current.row(), 0));
                });
    }
}

Form8::~Form8() = default;

QLabel* Form8::cell(const char* name) const
{
    auto* label = findChild<QLabel*>(QString::fromLatin1(name));
    Q_ASSERT_X(label, "Form8::cell", name);
    return label;
}

void Form8::Form_Load()
{
    Data1.DatabaseName = data::CHEMIN_BASE;
    Data2.DatabaseName = data::CHEMIN_BASE;
    const struct {
        int list;
        QComboBox* combo;
    } lists[] = {{3, ui->CmbAna}, {4, ui->CmbAntago}, {5, ui->CmbStimuline}, {10, ui->CmbType}, {9, ui->CmbDeclencho}};
    try {
        BASE_STAT = data::Database::open(data::CHEMIN_BASE);
        for (const auto& l : lists) {
            SQL_STAT = QStringLiteral("SELECT*FROM OPTIONS WHERE NUMEROS = %1 ").arg(l.list);
            RS_STAT = BASE_STAT->OpenRecordset(SQL_STAT);
            platform::setItems(l.combo, data::textsToEnd(*RS_STAT, QStringLiteral("TEXTE")));
            // An empty criterion means "any": the list is offered, nothing is chosen.
            l.combo->setCurrentIndex(-1);
            l.combo->setEditText(QString());
        }
    } catch (const data::DbError& e) {
        reportDbError(e);
    }
}

void Form8::Aide_Click() { platform::showHelp(platform::HelpContext, 90); }

void Form8::Command1_Click() { platform::forms().unload(this); }

bool Form8::readPeriod(qint64& d1, qint64& d2)
{
    const auto date1 = platform::parseDate(ui->TxtDate1->text());
    const auto date2 = platform::parseDate(ui->TxtDate2->text());
    if (!date1 || !date2) {
        platform::notice(kBadDate);
        return false;
    }
    d1 = platform::dayNumber(*date1);
    d2 = platform::dayNumber(*date2);
    return true;
}

qint64 Form8::countInto(data::DataControl& control, const QString& sql, QLabel* label)
{
    control.RecordSource = sql;
    control.Refresh();
    const auto rs = control.recordset();
    const qint64 count = rs->RecordCount();
    showCount(label, count);
    return count;
}

QVariantList Form8::countResults(const QString& sql, QLabel* label)
{
    Data2.RecordSource = sql;
    Data2.Refresh();
    const QVariantList numeros = Data2.recordset()->columnValues(QStringLiteral("numero"));
    showCount(label, numeros.size());
    return numeros;
}

void Form8::CmdRechercher_Click()
{
    ui->Label1->clear();
    m_numbers->clear();
    m_names->clear();
    ui->LblPcP->setText(QStringLiteral("-"));
    ui->LblPcT->setText(QStringLiteral("-"));
    qint64 d1 = 0, d2 = 0;
    if (!readPeriod(d1, d2))
        return;

    // The couple numbers of the cells whose couples are counted together, each couple once.
    QSet<QString> unionOperands;
    for (const auto& sum : stats::sumCells())
        if (sum.kind == stats::SumCell::Couples)
            for (const char* op : sum.operands)
                if (op)
                    unionOperands.insert(QString::fromLatin1(op));
    // Sorted and once each: a union is a merge, 8 bytes a couple.
    QHash<QString, std::vector<qint64>> couples;

    try {
        for (const auto& c : stats::countCells()) {
            countInto(Data1, stats::countQuery(c, d1, d2), cell(c.cell));
            const QString name = QString::fromLatin1(c.cell);
            if (unionOperands.contains(name)) {
                auto& numbers = couples[name];
                numbers = Data1.recordset()->columnNumbers(QStringLiteral("NUMERO"));
                std::sort(numbers.begin(), numbers.end());
                numbers.erase(std::unique(numbers.begin(), numbers.end()), numbers.end());
            }
        }
        Data1.release();
        for (const auto& sum : stats::sumCells()) {
            qint64 total = 0;
            std::vector<qint64> seen;
            for (const char* op : sum.operands) {
                if (!op)
                    continue;
                if (sum.kind == stats::SumCell::Couples) {
                    const std::vector<qint64>& more = couples[QString::fromLatin1(op)];
                    std::vector<qint64> both;
                    both.reserve(seen.size() + more.size());
                    std::set_union(seen.begin(), seen.end(), more.begin(), more.end(), std::back_inserter(both));
                    seen = std::move(both);
                } else {
                    total += qint64(platform::val(cell(op)->text()));
                }
            }
            if (sum.kind == stats::SumCell::Couples)
                total = qint64(seen.size());
            cell(sum.cell)->setText(QString::number(total));
        }
        couples = {}; // before the lists are read

        const auto number = [this](QLabel* l) { return qint64(platform::val(l->text())); };
        const qint64 pregnancies = number(ui->LblFivIcsG);
        ui->LblPcP->setText(stats::rateText(pregnancies, number(ui->LblTotPon)));
        ui->LblPcT->setText(stats::rateText(pregnancies, number(ui->LblTotTra)));

        REMPLIT_RESULTATS(QStringLiteral("Grossesses"), countResults(stats::pregnancyListQuery(d1, d2), ui->LblTotal));
    } catch (const data::DbError& e) {
        reportDbError(e);
    }
}

void Form8::REMPLIT_RESULTATS(const QString& heading, QVariantList numeros)
{
    RS_STAT = Data2.recordset();
    m_numbers->clear();
    if (numeros.isEmpty())
        return; // nothing found: the heading of the last list stays
    auto numbers = std::make_shared<std::vector<qint64>>();
    numbers->reserve(size_t(numeros.size()));
    for (const QVariant& v : numeros)
        numbers->push_back(qint64(v.toDouble()));
    numeros = {}; // the numbers alone from here: at a million couples, memory counts
    m_numbers->setLines(numbers);

    BASE_STAT = data::Database::open(data::CHEMIN_BASE);
    m_names->clear();
    ui->Label28->setText(heading);
    // The couples of the list looked up together rather than one by one, a few thousand at a time.
    std::vector<qint64> distinct;
    auto names = std::make_shared<QHash<qint64, QString>>();
    for (qint64 n : *numbers)
        if (!names->contains(n)) {
            names->insert(n, QString());
            distinct.push_back(n);
        }
    constexpr size_t kSlice = 5000;
    for (size_t from = 0; from < distinct.size(); from += kSlice) {
        QString in;
        for (size_t i = from; i < std::min(distinct.size(), from + kSlice); ++i)
            in += (in.isEmpty() ? QString() : QStringLiteral(",")) + QString::number(distinct[i]);
        SQL_STAT = QStringLiteral("SELECT*FROM CIVILITES WHERE NUMERO IN (%1)").arg(in);
        RS_COUPLE = BASE_STAT->OpenRecordset(SQL_STAT);
        const QVariantList numero = RS_COUPLE->columnValues(QStringLiteral("numero"));
        const QVariantList nom = RS_COUPLE->columnValues(QStringLiteral("Nom"));
        const QVariantList prenom = RS_COUPLE->columnValues(QStringLiteral("Prenom"));
        for (qsizetype i = 0; i < numero.size(); ++i)
            (*names)[qint64(numero[i].toDouble())] = stats::coupleLine(nom[i].toString(), prenom[i].toString());
    }
    // A cycle whose couple is gone keeps an empty line, so that the two lists stay aligned.
    m_names->setLines(std::move(numbers), std::move(names));
}

void Form8::Command2_Click()
{
    stats::Criteria criteria;
    const QComboBox* combos[stats::kCriteria] = {ui->CmbType, ui->CmbAntago, ui->CmbAna, ui->CmbStimuline,
                                                 ui->CmbDeclencho};
    for (int i = 0; i < stats::kCriteria; ++i)
        criteria[size_t(i)] = combos[i]->currentText();
    m_numbers->clear();
    m_names->clear();
    qint64 d1 = 0, d2 = 0;
    if (!readPeriod(d1, d2))
        return;
    try {
        REMPLIT_RESULTATS(QStringLiteral("Couples correspondants"),
                          countResults(stats::searchQuery(d1, d2, criteria, ui->Check1->isChecked()), ui->Label1));
    } catch (const data::DbError& e) {
        reportDbError(e);
    }
}

void Form8::Command3_Click()
{
    for (QComboBox* combo : {ui->CmbType, ui->CmbAntago, ui->CmbAna, ui->CmbStimuline, ui->CmbDeclencho}) {
        combo->setCurrentIndex(-1);
        combo->setEditText(QString());
    }
    ui->Check1->setChecked(false);
    ui->Label1->clear();
    m_names->clear();
    ui->Label28->clear();
}
