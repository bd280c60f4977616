#include "workup/form7.h"

#include "data/database.h"
#include "data/globals.h"
#include "data/recordset.h"
#include "data/schema.h"
#include "platform/controls.h"
#include "platform/conversions.h"
#include "platform/environment.h"
#include "platform/guarded.h"
#include "platform/help.h"
#include "platform/keyfilter.h"
#include "platform/messages.h"
#include "platform/rowwrite.h"
#include "platform/scrollable.h"
#include "workup/score.h"
#include "workup/stale.h"

#include "ui_form7.h"

#include <QApplication>
#include <QFocusEvent>
#include <QPlainTextEdit>
#include <utility>

namespace {

// The control of each EXAMENS column, in the order of data::examColumns().
constexpr const char* kExamControls[] = {
    "TxtPds",    "TxtTaille", "CmbBWF",    "CmbHIVF",     "CmbHbF",    "CmbHcF",      "CmbChlamF", "CmbToxoF",
    "CmbRubF",   "TxtFsh",    "TxtLh",     "TxtOE2",      "TxtProlact", "TxtInhib",   "TxtTSH",    "CmbHunher",
    "TxtHystero", "TxtCoelio", "Txtdate01", "Txtdate02",  "TxtDate03", "TxtDate04",   "TxtDate05", "TxtDate06",
    "TxtDate07", "TxtDate08", "TxtDate09", "TxtDate10",   "Txtdate11", "TxtDateGen",  "CmbBWM",    "CmbHIVM",
    "CmbHbM",    "CmbHcM",    "CmbChlamM", "TxtNum",      "TxtMob",    "CmbMig",      "CmbSurv",   "Text01",
    "Text02",    "Text03",    "Text04",    "Text05",      "Text06",    "TxtDategenM", "TxtProfUt", "TxtTransfert",
    "CmbDiag",   "TxtDivers"};
static_assert(std::size(kExamControls) == 50);

// The date boxes: the age in days above which a date is marked, and the general box whose double-click
// copies into them.
struct DateBox {
    const char* name;
    int limitDays;
    const char* copiedFrom;
};
constexpr DateBox kDateBoxes[] = {
    {"Txtdate01", workup::kExamDateLimitDays, "TxtDateGen"},  {"Txtdate02", workup::kExamDateLimitDays, "TxtDateGen"},
    {"TxtDate03", workup::kExamDateLimitDays, "TxtDateGen"},  {"TxtDate04", workup::kExamDateLimitDays, "TxtDateGen"},
    {"TxtDate05", workup::kExamDateLimitDays, "TxtDateGen"},  {"TxtDate06", workup::kExamDateLimitDays, "TxtDateGen"},
    {"TxtDate07", workup::kExamDateLimitDays, "TxtDateGen"},  {"TxtDate08", workup::kExamDateLimitDays, ""},
    {"TxtDate09", workup::kExamDateLimitDays, ""},            {"TxtDate10", workup::kExamDateLimitDays, ""},
    {"Txtdate11", workup::kExamDateLimitDays, ""},            {"TxtDateGen", workup::kExamDateLimitDays, ""},
    {"TxtDategenM", workup::kExamDateLimitDays, ""},          {"Text01", workup::kExamDateLimitDays, "TxtDategenM"},
    {"Text02", workup::kExamDateLimitDays, "TxtDategenM"},    {"Text03", workup::kExamDateLimitDays, "TxtDategenM"},
    {"Text04", workup::kExamDateLimitDays, "TxtDategenM"},    {"Text05", workup::kExamDateLimitDays, "TxtDategenM"},
    {"Text06", workup::kSpermDateLimitDays, "TxtDategenM"}};

// The reference lists of the window's list boxes.
struct OptionList {
    int number;
    QComboBox* Ui::Form7::*combo;
};
constexpr OptionList kOptionLists[] = {
    {12, &Ui::Form7::CmbHunher}, {13, &Ui::Form7::CmbMig}, {14, &Ui::Form7::CmbSurv}, {40, &Ui::Form7::CmbDiag}};

constexpr int kStalePointSize = 10;

bool isValidationReason(Qt::FocusReason reason)
{
    // Switching to another window, a popup or the menu does not leave the box, as with the Validate event.
    return reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason
        && reason != Qt::MenuBarFocusReason;
}

} // namespace

Form7::Form7() : ui(std::make_unique<Ui::Form7>())
{
    ui->setupUi(this);
    platform::makeScrollable(this);
    for (const char* name : kExamControls)
        m_examControls << findChild<QWidget*>(QLatin1String(name));
    Q_ASSERT(!m_examControls.contains(nullptr) && m_examControls.size() == data::examColumns().size());
    for (const DateBox& d : kDateBoxes) {
        auto* box = findChild<QLineEdit*>(QLatin1String(d.name));
        box->installEventFilter(this);
        platform::keepDateWhole(box);
        m_dateBoxes << box;
    }

    // The numeric keypad's decimal key types ".": it is the decimal comma, never dropped (7.6 would read 76).
    for (QLineEdit* box : {ui->TxtPds, ui->TxtTaille, ui->TxtFsh, ui->TxtLh})
        platform::installDecimalKeyFilter(box);

    connect(ui->TxtPds, &QLineEdit::textChanged, this, platform::guarded(this, &Form7::TxtPds_Change));
    connect(ui->TxtTaille, &QLineEdit::textChanged, this, platform::guarded(this, &Form7::TxtTaille_Change));
    connect(ui->TxtFsh, &QLineEdit::textChanged, this, platform::guarded(this, &Form7::TxtFsh_Change));
    connect(ui->TxtLh, &QLineEdit::textChanged, this, platform::guarded(this, &Form7::TxtLh_Change));
    connect(ui->Command2, &QPushButton::clicked, this, platform::guarded(this, &Form7::Command2_Click));
    connect(ui->Quitte, &QPushButton::clicked, this, platform::guarded(this, &Form7::Quitte_Click));
    connect(ui->Aide, &QAction::triggered, this, platform::guarded(this, &Form7::Aide_Click));
}

Form7::~Form7() = default;

void Form7::Form_Load()
{
    try {
        m_db = data::Database::open(data::CHEMIN_BASE);
        for (const OptionList& list : kOptionLists) {
            m_sql = QStringLiteral("SELECT*FROM OPTIONS WHERE NUMEROS = %1 ").arg(list.number);
            m_rs = m_db->OpenRecordset(m_sql);
            platform::setItems(ui.get()->*list.combo, data::textsToEnd(*m_rs, QStringLiteral("TEXTE")));
        }
    } catch (const data::DbError& e) {
        platform::notice(QStringLiteral("Les listes des examens n'ont pas pu être lues dans la base de données.\n%1")
                             .arg(e.message()));
    }
}

// ---- Save and quit ----

void Form7::ENREG_EXAMS()
{
    const QStringList& columns = data::examColumns();
    for (int i = 0; i < columns.size(); ++i) {
        const QString text = platform::controlText(m_examControls[i]);
        m_rs->setField(columns[i], m_shown.stored(columns[i], m_dateBoxes.contains(m_examControls[i])
                                                                  ? platform::dateBoxText(text)
                                                                  : text));
    }
}

void Form7::showExams(const data::Recordset& rs)
{
    const QStringList& columns = data::examColumns();
    for (int i = 0; i < columns.size(); ++i) {
        platform::setControlText(m_examControls[i], rs.text(columns[i]));
        m_shown.shown(columns[i], rs.Fields(columns[i]), m_examControls[i]);
    }
}

// A button reached without leaving the box (its access key) validates the box the user is in, as leaving
// it would; the save also checks the boxes filled without being left (a double-click copy): no text that is
// not a date is stored as a date.
bool Form7::datesAccepted(bool everyBox)
{
    if (takeRefusedDate())
        return false;
    auto* focused = qobject_cast<QLineEdit*>(QApplication::focusWidget());
    if (focused && m_dateBoxes.contains(focused) && !DateVALIDE(focused)) {
        focused->setFocus(Qt::OtherFocusReason);
        return false;
    }
    if (!everyBox)
        return true;
    for (QLineEdit* box : std::as_const(m_dateBoxes)) {
        if (box == focused || platform::isBlank(box->text()))
            continue;
        if (!DateVALIDE(box)) {
            m_validating = true; // the box takes the focus back: no second check for the box being left
            box->setFocus(Qt::OtherFocusReason);
            m_validating = false;
            return false;
        }
    }
    return true;
}

void Form7::Command2_Click()
{
    if (!datesAccepted(true))
        return;
    if (m_numero < 0) {
        platform::notice(QStringLiteral("Aucun couple n'est associé à cette fiche d'examens : rien n'a été enregistré."));
        return;
    }
    const QString changed = QStringLiteral("Les examens de ce couple ont été modifiés sur un autre poste depuis "
                                           "leur ouverture. Enregistrer quand même vos modifications ?");
    try {
        if (m_row) {
            // The row as the window showed it, so that the save notices another workstation's change since.
            m_rs = m_row;
            m_rs->Edit();
        } else {
            const QString n = QString::number(m_numero);
            m_db = data::Database::open(data::CHEMIN_BASE);
            if (!data::coupleExists(*m_db, m_numero)) {
                platform::notice(QStringLiteral("Ce dossier a été supprimé depuis l'ouverture de la fiche d'examens : "
                                                "rien n'a été enregistré."));
                return;
            }
            m_sql = QStringLiteral("SELECT*FROM EXAMENS WHERE NUMERO=") + n;
            m_rs = m_db->OpenRecordset(m_sql);
            m_rs->AddNew();
            m_rs->setField(QStringLiteral("numero"), double(m_numero));
        }
        ENREG_EXAMS();
        if (!platform::askYesNo(QStringLiteral("Voulez vous vraiment enregistrer les modifications apportées à cette Fiche ?"))) {
            m_rs->CancelUpdate();
            return;
        }
        const bool stored =
            m_row ? platform::storeEdit(*m_rs, changed,
                                        QStringLiteral("Les examens n'ont pas pu être enregistrés : ils ont été "
                                                       "supprimés ou remplacés sur un autre poste ; la fiche reste "
                                                       "ouverte avec vos saisies."))
                  : addFirstRow(changed);
        if (!stored)
            return; // the window stays open with what was typed
    } catch (const data::DbError& e) {
        if (m_rs && m_rs->editing())
            m_rs->CancelUpdate();
        platform::notice(QStringLiteral("Les examens n'ont pas pu être enregistrés ; la fiche reste ouverte avec vos saisies.\n%1")
                             .arg(e.message()));
        return;
    }
    platform::notice(QStringLiteral("Fiche courante modifiée"));
    platform::forms().unload(this);
}

bool Form7::addFirstRow(const QString& changedQuestion)
{
    const auto row = platform::addFirstRow(*m_db, *m_rs, m_sql);
    if (row.added())
        return true;
    const auto& theirs = row.theirs;
    if (!platform::askYesNo(changedQuestion))
        return false;
    m_rs = theirs;
    m_rs->Edit();
    ENREG_EXAMS();
    m_rs->Update(data::Recordset::WriteCheck::SameRow);
    return true;
}

void Form7::Quitte_Click()
{
    if (!datesAccepted(false))
        return;
    if (platform::askYesNo(QStringLiteral("Quitter sans enregistrer ?")))
        platform::forms().unload(this);
}

void Form7::Aide_Click() { platform::showHelp(platform::HelpContext, 50); }

// ---- Dates ----

bool Form7::DateVALIDE(QLineEdit* box)
{
    if (const auto date = platform::parseDate(box->text())) {
        box->setText(platform::shortDate(*date));
        return true;
    }
    platform::notice(QStringLiteral("Date non Valide"));
    if (platform::msgBox(QStringLiteral("Date non Valide"), platform::MsgButtons::OkCancel,
                         platform::MsgIcon::Information) == platform::MsgResult::Ok)
        return false;
    box->clear();
    return true;
}

bool Form7::takeRefusedDate() { return std::exchange(m_dateRefused, false); }

void Form7::VERIFIE_DATES()
{
    for (int i = 0; i < m_dateBoxes.size(); ++i) {
        QLineEdit* box = m_dateBoxes[i];
        // Back to normal first, so a fresh date never keeps the mark of an earlier couple.
        box->setPalette(QPalette());
        box->setFont(QFont());
        if (!workup::isStaleDate(box->text(), kDateBoxes[i].limitDays))
            continue;
        QPalette p = box->palette();
        p.setColor(QPalette::Text, QColor(255, 0, 0));
        box->setPalette(p);
        QFont f = box->font();
        f.setPointSize(kStalePointSize);
        box->setFont(f);
    }
}

void Form7::copyGeneralDate(const QString& generalBox)
{
    const QString text = findChild<QLineEdit*>(generalBox)->text();
    for (int i = 0; i < m_dateBoxes.size(); ++i)
        if (generalBox == QLatin1String(kDateBoxes[i].copiedFrom))
            m_dateBoxes[i]->setText(text);
}

void Form7::TxtDateGen_DblClick() { copyGeneralDate(QStringLiteral("TxtDateGen")); }

void Form7::TxtDategenM_DblClick() { copyGeneralDate(QStringLiteral("TxtDategenM")); }

bool Form7::eventFilter(QObject* watched, QEvent* event)
{
    auto* box = qobject_cast<QLineEdit*>(watched);
    if (!box || !m_dateBoxes.contains(box))
        return platform::Form::eventFilter(watched, event);
    if (event->type() == QEvent::MouseButtonDblClick) {
        if (box == ui->TxtDateGen)
            TxtDateGen_DblClick();
        else if (box == ui->TxtDategenM)
            TxtDategenM_DblClick();
    } else if (event->type() == QEvent::FocusOut) {
        // The Validate event: leaving a date box first validates it, and a refusal keeps the focus there.
        const auto reason = static_cast<QFocusEvent*>(event)->reason();
        if (m_validating || unloading() || !isVisible() || !isValidationReason(reason))
            return false;
        m_validating = true;
        const bool valid = DateVALIDE(box);
        m_validating = false;
        m_dateRefused = !valid;
        if (!valid) {
            box->setFocus(Qt::OtherFocusReason);
            return true;
        }
    }
    return platform::Form::eventFilter(watched, event);
}

// ---- Derived values and score ----

void Form7::updateBmi() { ui->LblBmi->setText(workup::bmiText(ui->TxtPds->text(), ui->TxtTaille->text())); }

void Form7::updateRatio() { ui->LblLhFsh->setText(workup::ratioText(ui->TxtLh->text(), ui->TxtFsh->text())); }

void Form7::updateScore()
{
    if (platform::isNumeric(ui->LblAge->text()) && platform::isNumeric(ui->LblBmi->text())
        && platform::isNumeric(ui->LblLhFsh->text()))
        CALCULE_SCORE();
    else
        ui->LblRo->clear();
}

void Form7::CALCULE_SCORE()
{
    // The age is the one of the couple this window was filled for, not of whoever the main window shows.
    const auto points = workup::scorePoints(platform::parseNumber(ui->LblAge->text()).value_or(0),
                                            platform::parseNumber(ui->LblBmi->text()).value_or(0),
                                            platform::parseNumber(ui->TxtFsh->text()).value_or(0),
                                            platform::parseNumber(ui->LblLhFsh->text()).value_or(0));
    ui->LblRo->setText(QString::number(points.total()));
}

void Form7::fillDerived(const QString& birthText)
{
    const auto birth = platform::parseDate(birthText);
    ui->LblAge->setText(birth ? QString::number(platform::ageInYears(*birth, platform::today())) : QString());
    updateBmi();
    updateRatio();
    updateScore();
}

void Form7::TxtPds_Change()
{
    updateBmi();
    updateScore();
}

void Form7::TxtTaille_Change()
{
    updateBmi();
    updateScore();
}

void Form7::TxtFsh_Change()
{
    updateRatio();
    updateScore();
}

void Form7::TxtLh_Change()
{
    updateRatio();
    updateScore();
}
