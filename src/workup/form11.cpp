#include "workup/form11.h"

#include "platform/conversions.h"
#include "platform/guarded.h"
#include "platform/keyfilter.h"
#include "workup/score.h"

#include "ui_form11.h"

#include <QStringList>

namespace {

// What each score advises; a null dose leaves its label as it was.
struct Advice {
    bool agonist;
    bool antagonist;
    const char* responder;
    const char* advice;
    const char* agonistDose;
    const char* antagonistDose;
};

constexpr const char* kNormo = "Normo répondeuse";
constexpr const char* kHypo = "Hypo répondeuse";
constexpr const char* kChoice = " Agonistes ou Antagonistes au choix";
constexpr const char* kPreferAnta = " Préfèrer protocole  Antagoniste";

// Rows for a score below 0, then 0 to 4, then 5 and 6.
constexpr Advice kAdvice[] = {
    {true, false, "Hyper répondeuse", " Aucune experience des Antagonistes, Plutôt Agonistes si LH élevée",
     "Démarrer avec 100 UI de FSHr", nullptr},
    {true, true, kNormo, kChoice, "Démarrer avec 150 UI de FSHr", "Démarrer à J2 avec 150 UI de FSHr"},
    {true, true, kNormo, kChoice, "Démarrer avec 200 UI de FSHr", "Démarrer à J2 avec 200 UI de FSHr"},
    {true, true, "Normo répondeuse limite mauvaise répondeuse", kChoice, "Démarrer avec 300 UI de FSHr",
     "Démarrer à J2 avec 250 UI de FSHr"},
    {true, true, kHypo, kPreferAnta, "Démarrer avec 300 UI de FSHr", "Démarrer à J2 avec 300 UI de FSHr"},
    {true, true, kHypo, kPreferAnta, "Démarrer avec 450 UI de FSHr", "Démarrer à J2 avec 300 UI de FSHr"},
    {false, true, kHypo, " Préfèrer Antagonistes, oestrogénothérapie préalable", "Démarrer avec 450 UI de FSHr",
     "Démarrer à J2 avec 300 UI de FSHr"},
};

const Advice* adviceFor(int score)
{
    if (score < 0)
        return &kAdvice[0];
    if (score <= 4)
        return &kAdvice[score + 1];
    if (score <= 6)
        return &kAdvice[6];
    return nullptr;
}

} // namespace

Form11::Form11() : ui(std::make_unique<Ui::Form11>())
{
    ui->setupUi(this);
    platform::installKeyFilter(ui->TxtAge, platform::digitsKey);
    for (QLineEdit* e : {ui->TxtPds, ui->TxtTaille, ui->TxtFsh, ui->TxtLh})
        platform::installDecimalKeyFilter(e);

    connect(ui->TxtPds, &QLineEdit::textChanged, this, platform::guarded(this, &Form11::TxtPds_Change));
    connect(ui->TxtTaille, &QLineEdit::textChanged, this, platform::guarded(this, &Form11::TxtTaille_Change));
    connect(ui->TxtFsh, &QLineEdit::textChanged, this, platform::guarded(this, &Form11::TxtFsh_Change));
    connect(ui->TxtLh, &QLineEdit::textChanged, this, platform::guarded(this, &Form11::TxtLh_Change));
    connect(ui->Command1, &QPushButton::clicked, this, platform::guarded(this, &Form11::Command1_Click));
    connect(ui->Command2, &QPushButton::clicked, this, platform::guarded(this, &Form11::Command2_Click));
    connect(ui->Command3, &QPushButton::clicked, this, platform::guarded(this, &Form11::Command3_Click));
}

Form11::~Form11() = default;

QString Form11::helpText()
{
    return QStringList{
        QStringLiteral("     Aide à determiner la dose d'attaque de FSH au cours de stimulations FIV en protocole agoniste long."),
        QStringLiteral("      Le score de réponse ovarienne va de -2 à 6 et représente la somme de :"),
        QStringLiteral("      (Score âge + Score BMI + Score FSH + Score LH/FSH.) "),
        QStringLiteral("Score âge: (< 28 ans = -1), (28 à 36 ans = 0), (36 à 39 ans = 1), (>= 39 ans = 2)"),
        QStringLiteral("Score BMI: (< 25,9 = 0), (>= 25,9 = 1)"),
        QStringLiteral("Score FSH: (< 7,6 = 0), (7,6 à 9 = 1), (>= 9 = 2)"),
        QStringLiteral("Score LH/FSH: (< 0,38 = 1), (0,38 à 1,4 = 0), (>= 1,4 = -1)"),
        QStringLiteral("     La dose initiale de FSH est fonction du score de la réponse ovarienne.")}
        .join(QLatin1Char('\n')); // a label breaks its lines on a line feed
}

void Form11::Form_Load()
{
    ui->Frame4->hide();
    ui->Frame3->hide();
    ui->LblInfo->setText(helpText());
}

void Form11::Command1_Click() { platform::forms().unload(this); }

void Form11::Command2_Click()
{
    // An FSH that is not a number leaves the ratio empty, so it needs no test of its own.
    if (!platform::isNumeric(ui->TxtAge->text()) || !platform::isNumeric(ui->LblBmi->text())
        || !platform::isNumeric(ui->LblLhFsh->text()))
        return;
    ui->LblInfo->hide();

    const auto points = workup::scorePoints(platform::val(ui->TxtAge->text()), *platform::parseNumber(ui->LblBmi->text()),
                                            *platform::parseNumber(ui->TxtFsh->text()),
                                            *platform::parseNumber(ui->LblLhFsh->text()));
    ui->AgeVals->setText(QString::number(points.age));
    ui->BmiVals->setText(QString::number(points.bmi));
    ui->FshVals->setText(QString::number(points.fsh));
    ui->LhFshVals->setText(QString::number(points.ratio));
    ui->LblRo->setText(QString::number(points.total()));

    const Advice* advice = adviceFor(points.total());
    if (!advice)
        return;
    ui->Frame4->setVisible(advice->agonist);
    ui->Frame3->setVisible(advice->antagonist);
    ui->LblRepond->setText(QString::fromUtf8(advice->responder));
    ui->LblDemar->setText(QString::fromUtf8(advice->advice));
    ui->LblStimAgo->setText(QString::fromUtf8(advice->agonistDose));
    if (advice->antagonistDose)
        ui->LblStimAnta->setText(QString::fromUtf8(advice->antagonistDose));
}

void Form11::Command3_Click()
{
    ui->Frame4->hide();
    ui->Frame3->hide();
    for (QLabel* l : {ui->LblBmi, ui->LblLhFsh})
        l->clear();
    for (QLineEdit* e : {ui->TxtAge, ui->TxtTaille, ui->TxtPds, ui->TxtFsh, ui->TxtLh})
        e->clear();
    for (QLabel* l : {ui->LblRo, ui->LblDemar, ui->LblRepond})
        l->clear();
}

void Form11::TxtPds_Change() { ui->LblBmi->setText(workup::bmiText(ui->TxtPds->text(), ui->TxtTaille->text())); }

void Form11::TxtTaille_Change() { TxtPds_Change(); }

void Form11::TxtFsh_Change() { ui->LblLhFsh->setText(workup::ratioText(ui->TxtLh->text(), ui->TxtFsh->text())); }

void Form11::TxtLh_Change() { TxtFsh_Change(); }
