#include "pregnancy/form30.h"

#include "cycles/form5.h"
#include "data/globals.h"
#include "data/schema.h"
#include "platform/environment.h"
#include "platform/guarded.h"
#include "platform/messages.h"
#include "platform/rowwrite.h"
#include "platform/scrollable.h"
#include "platform/settings.h"
#include "pregnancy/record.h"
#include "pregnancy/registry.h"

#include "ui_form30.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFileInfo>
#include <QRegularExpression>

using platform::forms;

namespace pregnancy {

std::optional<qint64> sheetNumber(const QString& text)
{
    static const QRegularExpression digits(QStringLiteral("^\\s*\\d{1,15}\\s*$"));
    if (!digits.match(text).hasMatch())
        return std::nullopt;
    const qint64 number = text.trimmed().toLongLong();
    if (number <= 0)
        return std::nullopt;
    return number;
}

bool lookUpFollowUp(qint64 sheet)
{
    if (data::CHEMINS_BASE.isEmpty())
        data::CHEMINS_BASE = platform::getSetting(data::kSettingsApp, data::kSettingsSection,
                                                  QStringLiteral("CHEMINS"), platform::programDir());
    const QString number = QString::number(sheet);
    data::BASE_GROSS = data::Database::open(data::CHEMINS_BASE);
    data::SQL_GROSS = QStringLiteral("SELECT*FROM GROSSESSE WHERE NUMFICH=") + number;
    data::RS_GROSS = data::BASE_GROSS->OpenRecordset(data::SQL_GROSS);
    data::RS_GROSS->FindFirst(QStringLiteral("NUMFICH=") + number);
    return !data::RS_GROSS->NoMatch();
}

} // namespace pregnancy

namespace {

const QString kBadSheet =
    QStringLiteral("Le numéro interne de cette fiche n'est pas valide : pas de suivi de grossesse possible.");

// What the cycle sheet window shows in a control, found by its name.
QString form5Item(const char* name)
{
    const Form5* f5 = forms().find<Form5>();
    const QWidget* widget = f5 ? f5->findChild<QWidget*>(QString::fromLatin1(name)) : nullptr;
    if (!widget) {
        qWarning("cycle sheet window: no control %s", name);
        return {};
    }
    return pregnancy::itemOf(widget);
}

// RS_GROSS as the cycle sheet window left it stands on this sheet's row.
bool onSheetRow(qint64 sheet)
{
    const auto& rs = data::RS_GROSS;
    try {
        return rs && rs->RecordCount() > 0 && !rs->isBOF() && !rs->isEOF() &&
               rs->Fields(QStringLiteral("NUMFICH")).toDouble() == double(sheet);
    } catch (const data::DbError&) {
        return false;
    }
}

} // namespace

Form30::Form30() : ui(std::make_unique<Ui::Form30>())
{
    ui->setupUi(this);
    for (QLineEdit* box : {ui->TxtDateE, ui->Text5, ui->Text6, ui->Text8, ui->TxtDateHosp})
        platform::keepDateWhole(box);
    // A few lines of comment, so that the whole record fits a 1280x1024 screen; on a narrow screen the three
    // columns go one under the other.
    ui->TxtComment->setMaximumHeight(7 * ui->TxtComment->fontMetrics().lineSpacing());
    platform::stackWhenNarrow(this, ui->hbox_5);
    platform::makeScrollable(this);
    // Designer lists only offer values: every combo starts with an empty edit text.
    for (QComboBox* combo : findChildren<QComboBox*>()) {
        combo->setCurrentIndex(-1);
        combo->clearEditText();
    }
    // The third-trimester boxes carry no caption: as tall as their second-trimester twin, so each stays on
    // the line of its pathology.
    for (const auto& [array, twins] : {std::pair{"ChkPathG", 9}, std::pair{"ChkPathF", 3}})
        for (int i = 0; i < twins; ++i) {
            const auto member = [this, array](int k) {
                return findChild<QCheckBox*>(QString::fromLatin1(array) + QLatin1Char('_') + QString::number(k));
            };
            member(i + twins)->setMinimumHeight(member(i)->sizeHint().height());
        }
    connect(ui->CmdEnreg, &QPushButton::clicked, this, platform::guarded(this, &Form30::CmdEnreg_Click));
    connect(ui->CmdQuitte, &QPushButton::clicked, this, platform::guarded(this, &Form30::CmdQuitte_Click));
    connect(ui->CmdImprim, &QPushButton::clicked, this, platform::guarded(this, &Form30::CmdImprim_Click));
}

Form30::~Form30() = default;

Form30* Form30::openFollowUp()
{
    if (Form30* open = forms().find<Form30>()) {
        const auto asked = pregnancy::sheetNumber(form5Item("TxtNumIntFich"));
        if (asked && *asked == open->m_sheet)
            return forms().show<Form30>();
        // Another sheet: its own follow-up, loaded afresh, once the user agrees to drop what was typed here.
        if (!open->mayDiscard(QStringLiteral("Quitter sans enregistrer ?")))
            return nullptr;
        open->m_replaced = true;
        forms().unload(open);
    }
    Form30* f = forms().show<Form30>();
    return forms().isLoaded<Form30>() ? f : nullptr;
}

void Form30::Form_Load()
{
    if (!fill())
        forms().unload(this);
}

bool Form30::fill()
{
    const auto sheet = pregnancy::sheetNumber(form5Item("TxtNumIntFich"));
    if (!sheet) {
        platform::notice(kBadSheet);
        return false;
    }
    m_sheet = *sheet;
    try {
        // The row is read again unless the cycle sheet window left RS_GROSS on this very sheet.
        if (!(data::GROSS_EXISTE && onSheetRow(m_sheet)))
            data::GROSS_EXISTE = pregnancy::lookUpFollowUp(m_sheet);
        m_couple = pregnancy::sheetNumber(form5Item("TxtNumPat")).value_or(0);
        m_row.reset();
        m_rowDb.reset();
        m_shown.clear();
        if (data::GROSS_EXISTE) {
            AFFICHE_GROSS();
            // Kept for the save, which then notices another workstation's change since this read.
            m_row = data::RS_GROSS;
            m_rowDb = data::BASE_GROSS;
        } else {
            AFFICHE_GROSS_CREE();
        }
        markSaved();
    } catch (const data::DbError& e) {
        platform::notice(QStringLiteral("Impossible de lire le suivi de grossesse de cette fiche : ") + e.message());
        return false;
    }
    return true;
}

void Form30::AFFICHE_GROSS()
{
    ui->TxtNumFich->setText(QString::number(m_sheet));
    pregnancy::readRecord(this, *data::RS_GROSS, m_shown);
}

void Form30::AFFICHE_GROSS_CREE()
{
    // Follow-up control <- the cycle sheet window's control of the same value.
    const std::pair<QWidget*, const char*> copies[] = {
        {ui->TxtNumPat, "TxtNumPat"},   {ui->TxtNumDosC, "TxtNumDos"},     {ui->TxtNom, "LblNom"},
        {ui->TxtPrenom, "lblprenom"},   {ui->LblType, "CmbType"},          {ui->LblDateT, "TxtDateTrans"},
        {ui->TxtNumClin, "LblNumClin"}, {ui->TxtNumBio, "LblNumBio"},
    };
    ui->TxtNumFich->setText(QString::number(m_sheet));
    for (const auto& [to, from] : copies)
        pregnancy::setItem(to, form5Item(from));
    ui->LblNomPren->setText(ui->TxtNom->text() + QLatin1Char(' ') + ui->TxtPrenom->text());
}

void Form30::ENREG_GROSS() { pregnancy::writeRecord(this, *data::RS_GROSS, m_shown); }

void Form30::CmdEnreg_Click()
{
    const auto sheet = pregnancy::sheetNumber(ui->TxtNumFich->text());
    if (!sheet) {
        platform::notice(kBadSheet);
        return;
    }
    const bool found = m_row && *sheet == m_sheet;
    const QString changed = QStringLiteral("Ce suivi de grossesse a été modifié sur un autre poste depuis son "
                                           "ouverture. Enregistrer quand même vos modifications ?");
    try {
        if (found) {
            data::BASE_GROSS = m_rowDb;
            data::RS_GROSS = m_row;
            m_row->Edit();
        } else {
            pregnancy::lookUpFollowUp(*sheet);
            data::RS_GROSS->AddNew();
            data::RS_GROSS->setField(QStringLiteral("NUMFICH"), double(*sheet));
        }
        data::Recordset& rs = *data::RS_GROSS;
        ENREG_GROSS();
        const bool yes = platform::askYesNo(
            found ? QStringLiteral("Voulez vous vraiment enregistrer les modifications apportées à cette Fiche ?")
                  : QStringLiteral("Voulez vous vraiment enregistrer les renseignements apportés à cette Fiche ?"));
        if (!yes) {
            rs.CancelUpdate();
            return;
        }
        bool stored = false;
        if (found) {
            if (const QString gone = ownerGone(*m_rowDb); !gone.isEmpty()) {
                rs.CancelUpdate();
                platform::notice(gone);
                return;
            }
            stored = platform::storeEdit(rs, changed,
                                         QStringLiteral("La fiche de suivi n'a pas pu être enregistrée : elle a été "
                                                        "supprimée ou remplacée sur un autre poste."));
        } else {
            stored = addFollowUp(changed);
        }
        if (!stored)
            return; // the window stays as it is
    } catch (const data::DbError& e) {
        if (data::RS_GROSS && data::RS_GROSS->editing())
            data::RS_GROSS->CancelUpdate();
        platform::notice(QStringLiteral("La fiche de suivi n'a pas pu être enregistrée : ") + e.message());
        return;
    }
    data::GROSS_EXISTE = true;
    platform::notice(found ? QStringLiteral("Fiche modifiée") : QStringLiteral("Fiche enregistrée"));
    forms().unload(this);
}

QString Form30::ownerGone(data::Database& grossDb) const
{
    // The sheets live in the main database; the follow-ups may have a file of their own.
    const QString sheetsPath = data::CHEMIN_BASE.isEmpty() ? grossDb.path() : data::CHEMIN_BASE;
    std::shared_ptr<data::Database> other;
    data::Database* db = &grossDb;
    if (QFileInfo(sheetsPath).canonicalFilePath() != QFileInfo(grossDb.path()).canonicalFilePath()) {
        other = data::Database::open(sheetsPath);
        db = other.get();
    }
    if (m_couple > 0 && !data::coupleExists(*db, m_couple))
        return QStringLiteral("Le dossier de ce couple a été supprimé sur un autre poste : le suivi de grossesse "
                              "n'a pas été enregistré.");
    if (db->OpenRecordset(QStringLiteral("SELECT*FROM FICHE WHERE NUMINTFICH=") + QString::number(m_sheet))->isEOF())
        return QStringLiteral("Cette fiche de stimulation a été supprimée sur un autre poste : le suivi de grossesse "
                              "n'a pas été enregistré.");
    return {};
}

bool Form30::addFollowUp(const QString& changedQuestion)
{
    const auto db = data::BASE_GROSS;
    const auto row = platform::addFirstRow(*db, *data::RS_GROSS, data::SQL_GROSS, [&] { return ownerGone(*db); });
    if (row.added())
        return true;
    if (!row.refused.isEmpty()) {
        platform::notice(row.refused);
        return false;
    }
    const auto& theirs = row.theirs;
    // Another workstation gave the sheet its follow-up since this window opened.
    if (!platform::askYesNo(changedQuestion))
        return false;
    data::RS_GROSS = theirs;
    theirs->Edit();
    ENREG_GROSS();
    theirs->Update(data::Recordset::WriteCheck::SameRow);
    return true;
}

void Form30::CmdQuitte_Click()
{
    if (platform::askYesNo(QStringLiteral("Quitter sans enregistrer ?")))
        forms().unload(this);
}

void Form30::Form_Unload(bool& cancel)
{
    Q_UNUSED(cancel);
    if (m_replaced)
        return;
    if (Form5* f5 = forms().find<Form5>())
        f5->show();
}

void Form30::CmdImprim_Click()
{
    office::DECH_EXCEL(m_excel);
    m_modele = QStringLiteral("FIVNAT.xls");
    CREEXCEL();
}

void Form30::CREEXCEL()
{
    if (!office::COPIE_MODELE(m_modele))
        return;
    // Collected before the spreadsheet is touched: what the window shows, saved or not.
    const auto values = pregnancy::registryValues(this);
    const QString lost = QStringLiteral("Le tableur a été fermé avant que le formulaire FIVNAT soit rempli : "
                                        "cliquez de nouveau sur « Imprimer FIVNAT ».");
    m_excel = office::OUVRE_EXCEL(office::workingCopyPath());
    if (!m_excel.hasWorkbook()) {
        platform::notice(m_excel.lost() ? lost
                                        : QStringLiteral("Le formulaire FIVNAT n'a pas pu être ouvert dans le tableur."));
        return;
    }
    for (const auto& [cell, value] : values)
        office::ECRIT_CELLULE(m_excel, cell, value);
    if (m_excel.lost())
        platform::notice(lost);
    else
        office::keepOpen(m_excel); // for the user to check and print, after the program's end too
}
