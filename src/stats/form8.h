#pragma once
// The statistics window: activity counts of a period of cycle dates, and the multi-criteria cycle search.
#include "data/database.h"
#include "platform/forms.h"
#include "stats/resultlines.h"

#include <QString>
#include <QVariantList>
#include <memory>

class QLabel;

namespace Ui {
class Form8;
}

class Form8 : public platform::Form {
    Q_OBJECT
public:
    Form8();
    ~Form8() override;

    void Form_Load() override;
    void Aide_Click();
    void CmdRechercher_Click();
    void Command1_Click();
    void Command2_Click();
    void Command3_Click();

    std::unique_ptr<Ui::Form8> ui;
    // Data1 runs the grid's counts, Data2 the result list (pregnancies or search).
    data::DataControl Data1;
    data::DataControl Data2;

private:
    // Runs a query on a data control and writes its row count into the label; returns the count.
    qint64 countInto(data::DataControl& control, const QString& sql, QLabel* label);
    // Runs a result query on Data2 and writes its row count into the label; returns the couple number of each
    // row, read in the one pass that counts them.
    QVariantList countResults(const QString& sql, QLabel* label);
    // Fills List1 with the couple numbers of the rows of Data2 (as countResults read them) and List2 with the
    // couples' names.
    void REMPLIT_RESULTATS(const QString& heading, QVariantList numeros);
    // Both date boxes as day numbers; false (after telling the user) when one is not a date.
    bool readPeriod(qint64& d1, qint64& d2);
    QLabel* cell(const char* name) const;

    std::shared_ptr<data::Database> BASE_STAT;
    std::shared_ptr<data::Recordset> RS_STAT;
    std::shared_ptr<data::Recordset> RS_COUPLE;
    QString SQL_STAT;
    stats::ResultLines* m_numbers; // List1's lines
    stats::ResultLines* m_names;   // List2's
};
