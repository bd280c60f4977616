#include "admin/form50.h"

#include "admin/letterheadfile.h"
#include "platform/filewrite.h"
#include "platform/guarded.h"
#include "platform/messages.h"
#include "platform/scrollable.h"
#include "platform/windowframe.h"
#include "ui_form50.h"

#include <QComboBox>
#include <QLineEdit>

Form50::Form50() : ui(std::make_unique<Ui::Form50>())
{
    ui->setupUi(this);
    ui->Combo1->setCurrentText(QStringLiteral("Dr"));
    // Letterhead lines are long: a speciality, an establishment or an address reads whole.
    for (QWidget* control : fieldControls()) {
        if (auto* combo = qobject_cast<QComboBox*>(control))
            platform::fitCharacters(combo, 40);
        else
            platform::fitCharacters(static_cast<QLineEdit*>(control), 40);
    }
    connect(ui->Enregistre, &QPushButton::clicked, this, platform::guarded(this, &Form50::Enregistre_Click));
    connect(ui->Annuler, &QPushButton::clicked, this, platform::guarded(this, &Form50::Annuler_Click));
    connect(ui->Quitte, &QPushButton::clicked, this, platform::guarded(this, &Form50::Quitte_Click));
}

Form50::~Form50() = default;

QList<QWidget*> Form50::fieldControls() const
{
    return {ui->Combo1, ui->Text1, ui->Text2, ui->Combo2, ui->Text3, ui->Text4,
            ui->Text5,  ui->Text6, ui->Text7, ui->Text8,  ui->Text9, ui->Text10};
}

QStringList Form50::fields() const
{
    QStringList out;
    for (QWidget* w : fieldControls()) {
        if (auto* combo = qobject_cast<QComboBox*>(w))
            out << combo->currentText();
        else
            out << static_cast<QLineEdit*>(w)->text();
    }
    return out;
}

void Form50::setFields(const QStringList& twelve)
{
    const auto controls = fieldControls();
    for (int i = 0; i < controls.size(); ++i) {
        if (auto* combo = qobject_cast<QComboBox*>(controls[i]))
            combo->setEditText(twelve.value(i));
        else
            static_cast<QLineEdit*>(controls[i])->setText(twelve.value(i));
    }
}

void Form50::Form_Load()
{
    adjustSize();
    platform::centreOnScreen(this);
    // A missing, unreadable or short file leaves the initial state (civility "Dr", the rest empty).
    bool ok = false;
    const QStringList set = letterhead::read(letterhead::defaultPath(), &ok);
    if (ok)
        setFields(set);
    markSaved();
}

void Form50::Enregistre_Click()
{
    platform::FileFailure failure;
    if (!letterhead::write(letterhead::defaultPath(), fields(), &failure)) {
        platform::notice(QStringLiteral("L'en-tête n'a pas pu être enregistré dans le fichier %1 : %2.\n"
                                        "Vos saisies restent affichées.")
                             .arg(letterhead::defaultPath(), failure.cause()));
        return;
    }
    platform::forms().unload(this);
}

void Form50::Annuler_Click() { setFields({}); }

void Form50::Quitte_Click() { platform::forms().unload(this); }
