#include "app/dossierwindow.h"

#include "app/age.h"
#include "app/form4.h"
#include "data/globals.h"
#include "platform/keyfilter.h"
#include "platform/messages.h"
#include "platform/scrollable.h"

#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>

namespace {

int birthDateKey(int keyAscii)
{
    if (platform::dateKey(keyAscii))
        return keyAscii;
    platform::notice(QStringLiteral("Veuillez saisir la date selon le format JJ/MM/AA"));
    return 0;
}

constexpr int kRowsPerColumn = 9;

} // namespace

void DossierWindow::buildBoxes(QGridLayout* grid, const QString& partnerCaption)
{
    for (int i = 0; i < app::kDossierFieldCount; ++i) {
        const auto& f = app::kDossierFields[size_t(i)];
        const QString name = QLatin1String(f.box);
        auto* edit = new QLineEdit(this);
        edit->setObjectName(name);
        // A 40-character address reads whole; the birth date is a date box.
        if (name == QLatin1String("NeeTxt"))
            platform::keepDateWhole(edit);
        else
            platform::fitCharacters(edit, 40);
        auto* label = new QLabel(name == QLatin1String("NomPartTxt") ? partnerCaption : QString::fromUtf8(f.label), this);
        label->setObjectName(QStringLiteral("Lbl") + name);
        label->setBuddy(edit);
        const int row = i % kRowsPerColumn;
        const int col = (i / kRowsPerColumn) * 2;
        grid->addWidget(label, row, col, Qt::AlignRight);
        grid->addWidget(edit, row, col + 1);
        boxes[size_t(i)] = edit;
        labels[size_t(i)] = label;
        if (name == QLatin1String("NeeTxt"))
            platform::installKeyFilter(edit, birthDateKey);
        else if (name == QLatin1String("NomTxt") || name == QLatin1String("NomPartTxt"))
            platform::installKeyFilter(edit, platform::upperCaseKey);
    }
}

QLineEdit* DossierWindow::box(const char* name) const
{
    for (int i = 0; i < app::kDossierFieldCount; ++i)
        if (qstrcmp(app::kDossierFields[size_t(i)].box, name) == 0)
            return boxes[size_t(i)];
    return nullptr;
}

void DossierWindow::clearBoxes()
{
    for (QLineEdit* b : boxes)
        b->clear();
    markSaved(); // an empty new dossier holds nothing to lose
}

void DossierWindow::fillBoxes(const data::Recordset& rs)
{
    m_shown.clear();
    for (int i = 0; i < app::kDossierFieldCount; ++i) {
        const QString column = QLatin1String(app::kDossierFields[size_t(i)].column);
        boxes[size_t(i)]->setText(rs.text(column));
        m_shown.shown(column, rs.Fields(column), boxes[size_t(i)]);
    }
}

void DossierWindow::writeColumns(data::Recordset& rs) const
{
    for (int i = 0; i < app::kDossierFieldCount; ++i) {
        const QString column = QLatin1String(app::kDossierFields[size_t(i)].column);
        rs.setField(column, m_shown.stored(column, boxes[size_t(i)]->text()));
    }
}

bool DossierWindow::pathTestPasses()
{
    if (app::databasePathPasses(data::CHEMIN_BASE))
        return true;
    platform::notice(QStringLiteral("La base de données 'INDUCTION.mdb' est introuvable. Veuillez à l'aide du "
                                    "SUPERVISEUR la placer dans un repertoire quelconque de votre reseau puis "
                                    "relancer le programme"));
    app::endProgram();
    return false;
}

void DossierWindow::showCurrentInMainWindow()
{
    Form4* main = platform::forms().get<Form4>();
    try {
        main->AFFICHE();
    } catch (const data::DbError&) {
        main->EFFACAFFICHE(); // no row to show
    }
    app::AFFICHE_AGE();
    app::COLORE_AGE();
}
