#include "admin/form9.h"

#include "app/form4.h"
#include "data/database.h"
#include "data/globals.h"
#include "platform/guarded.h"
#include "platform/help.h"
#include "platform/messages.h"
#include "platform/rowwrite.h"
#include "ui_form9.h"

#include <QListWidget>
#include <QMenuBar>

namespace {

constexpr int kFirstProtocolList = 21;
constexpr int kProtocolButtons = 10;

QString chooseSql(int list) { return QStringLiteral("SELECT*FROM OPTIONS WHERE NUMEROS = %1 ").arg(list); }
QString editSql(int list) { return QStringLiteral("SELECT*FROM OPTIONS WHERE NUMEROS =%1").arg(list); }

void reportFailure(const data::DbError& e)
{
    platform::notice(QStringLiteral("La liste n'a pas pu être mise à jour :\n%1").arg(e.message()));
}

// The item selected is no longer in its list as shown: changed or deleted on another workstation.
struct ItemGone {};

} // namespace

const std::vector<Form9::ListButton>& Form9::listButtons()
{
    static const std::vector<ListButton> table = [] {
        std::vector<ListButton> t = {
            {1, "CmdMedecins", "Médecins", "Mé&decins", true},
            {2, "CmdAnesthesi", "Anesthésistes", "An&esthésistes", true},
            {3, "CmdAna", "Analogues", "A&nalogues", true},
            {4, "CmdAntago", "Antagonistes", "Anta&gonistes", true},
            {5, "CmdFSH", "FSH", "&FSH", true},
            {6, "CmdTransfert", "Transfert", "&Transfert", true},
            {7, "CmdGrossesse", "Grossesse résultats", "G&rossesse", true},
            {8, "CmdMultiple", "G. Multiple", "G. M&ultiple", true},
            {9, "CmdDeclencho", "Produits déclenchants", "Déclenchement", true},
            {10, "CmdType", "Type d'AMP", "Type d'AMP", true},
            {11, "CmdTTT", "Traitement", "Traitement post transfert", true},
            {12, "CmdHunher", "Test de Hunher", "Test de Hunher", true},
            {13, "CmdMigration", "Test de Migration", "Test de migration", true},
            {14, "CmdSurvie", "Test de Survie", "Test de Survie", true},
            {15, "CmdEntete", "Entête", "Entête fiche Stim.", true},
            {16, "Command11", "Entête Nom", "Nom", true},
            {17, "Command13", "Entête Adresse", "Adresse", true},
            {18, "Command14", "Entête Ville et Dep.", "Ville", true},
            {19, "Command15", "Entête téléphone", "Téléphone", true},
            {20, "CmdPonction", "Modalités de ponction", "Modalités de ponction", true},
            {40, "CmdDiag", "Diagnostic retenu", "Diagnostic", true},
        };
        // The protocol buttons take their captions from their lists at load.
        for (int rank = 1; rank <= kProtocolButtons; ++rank)
            t.push_back({kFirstProtocolList - 1 + rank, QStringLiteral("Command%1").arg(rank),
                         QStringLiteral("Modifie le titre du bouton"), QString(), false});
        return t;
    }();
    return table;
}

Form9::Form9() : ui(std::make_unique<Ui::Form9>())
{
    ui->setupUi(this);
    auto* bar = new QMenuBar(this);
    Aide = bar->addAction(QStringLiteral("Aide"));
    layout()->setMenuBar(bar);

    for (const ListButton& entry : listButtons()) {
        auto* button = findChild<QPushButton*>(entry.button);
        Q_ASSERT(button);
        button->setText(entry.caption);
        connect(button, &QPushButton::clicked, this, platform::guarded([this, &entry] { ListButton_Click(entry); }));
    }
    connect(ui->List1, &QListWidget::itemDoubleClicked, this, platform::guarded(this, &Form9::List1_DblClick));
    connect(ui->CmdAjoute, &QPushButton::clicked, this, platform::guarded(this, &Form9::CmdAjoute_Click));
    connect(ui->CmdModif, &QPushButton::clicked, this, platform::guarded(this, &Form9::CmdModif_Click));
    connect(ui->CmdSupprime, &QPushButton::clicked, this, platform::guarded(this, &Form9::CmdSupprime_Click));
    connect(ui->CmdQuitter, &QPushButton::clicked, this, platform::guarded(this, &Form9::CmdQuitter_Click));
    connect(Aide, &QAction::triggered, this, platform::guarded(this, &Form9::Aide_Click));
}

Form9::~Form9() = default;

QPushButton* Form9::listButton(int list) const
{
    for (const ListButton& entry : listButtons())
        if (entry.list == list)
            return findChild<QPushButton*>(entry.button);
    return nullptr;
}

void Form9::Form_Load()
{
    try {
        protocolCaptionsFromDatabase();
    } catch (const data::DbError& e) {
        platform::notice(QStringLiteral("Les listes ne peuvent pas être lues :\n%1").arg(e.message()));
    }
}

void Form9::protocolCaptionsFromDatabase()
{
    m_db = data::Database::open(data::CHEMIN_BASE);
    for (int list = kFirstProtocolList; list < kFirstProtocolList + kProtocolButtons; ++list) {
        auto rs = m_db->OpenRecordset(chooseSql(list));
        // A list without its row leaves the button without caption.
        listButton(list)->setText(rs->RecordCount() > 0 ? rs->text(QStringLiteral("TEXTE")) : QString());
    }
}

void Form9::Form_Unload(bool&)
{
    if (Form4* main = platform::forms().find<Form4>())
        main->show();
}

std::shared_ptr<data::Recordset> Form9::openList(const QString& sql)
{
    m_db = data::Database::open(data::CHEMIN_BASE);
    return m_db->OpenRecordset(sql);
}

void Form9::fillList(short list)
{
    auto rs = openList(chooseSql(list));
    ui->List1->clear();
    for (; !rs->isEOF(); rs->MoveNext())
        ui->List1->addItem(rs->text(QStringLiteral("TEXTE")));
}

void Form9::ListButton_Click(const ListButton& entry)
{
    ui->CmdAjoute->setEnabled(entry.addDelete);
    ui->CmdSupprime->setEnabled(entry.addDelete);
    ui->Frame1->setTitle(entry.title);
    ui->LblEspion->setText(QString::number(entry.list));
    try {
        fillList(short(entry.list));
    } catch (const data::DbError& e) {
        ui->List1->clear();
        platform::notice(QStringLiteral("La liste ne peut pas être lue :\n%1").arg(e.message()));
    }
}

void Form9::List1_DblClick()
{
    if (QListWidgetItem* item = ui->List1->currentItem())
        ui->Text1->setText(item->text());
}

bool Form9::currentList(short& list) const
{
    bool ok = false;
    list = ui->LblEspion->text().toShort(&ok);
    return ok;
}

bool Form9::runCommand(const QString& emptyMessage, const std::function<bool(short list)>& change)
{
    if (ui->Text1->text().isEmpty()) {
        platform::notice(emptyMessage);
        return false;
    }
    short list = 0;
    if (!currentList(list))
        return false; // no list chosen yet: nothing to change
    try {
        if (!change(list))
            return false;
        fillList(list);
    } catch (const ItemGone&) {
        itemGoneElsewhere(list);
        return false;
    } catch (const data::DbError& e) {
        if (e.code() == data::DbError::RowChanged || platform::rowGone(e.code()))
            itemGoneElsewhere(list); // changed between the read and the write
        else
            reportFailure(e); // the typed text stays for another try
        return false;
    }
    ui->Text1->clear();
    ui->Text1->setFocus();
    return true;
}

std::shared_ptr<data::Recordset> Form9::findSelected(short list)
{
    const QList<QListWidgetItem*> selected = ui->List1->selectedItems();
    if (selected.isEmpty())
        return nullptr;
    const QString text = selected.first()->text();
    auto rs = openList(editSql(list));
    // Exactly as shown: the database compares without case or accents, so "MENOPUR" would find "Menopur", and
    // an item another workstation changed from "Menopur" to "MENOPUR" is not the one the user chose.
    for (; !rs->isEOF(); rs->MoveNext())
        if (rs->text(QStringLiteral("TEXTE")) == text)
            return rs;
    throw ItemGone();
}

void Form9::itemGoneElsewhere(short list)
{
    platform::notice(QStringLiteral("Cet élément a été modifié ou supprimé sur un autre poste : rien n'a été "
                                    "enregistré. La liste a été relue."));
    try {
        fillList(list);
    } catch (const data::DbError& e) {
        ui->List1->clear();
        reportFailure(e);
    }
}

void Form9::CmdAjoute_Click()
{
    const QString text = ui->Text1->text();
    runCommand(QStringLiteral("Veuillez saisir un Item au préalable"), [&](short list) {
        auto rs = openList(editSql(list));
        rs->AddNew();
        rs->setField(QStringLiteral("NUMEROS"), list);
        rs->setField(QStringLiteral("TEXTE"), text);
        rs->Update();
        return true;
    });
}

void Form9::CmdModif_Click()
{
    const QString text = ui->Text1->text();
    short changed = 0;
    runCommand(QStringLiteral("Veuillez selectionner un Item par Double Click"), [&](short list) {
        auto rs = findSelected(list);
        if (!rs)
            return false; // nothing selected, or the text is no longer in the list
        rs->Edit();
        rs->setField(QStringLiteral("TEXTE"), text);
        rs->Update();
        changed = list;
        return true;
    });
    if (changed >= kFirstProtocolList && changed < kFirstProtocolList + kProtocolButtons)
        listButton(changed)->setText(text);
}

void Form9::CmdSupprime_Click()
{
    runCommand(QStringLiteral("Veuillez selectionner un Item au préalable par Double Click."), [&](short list) {
        auto rs = findSelected(list);
        if (!rs)
            return false;
        rs->Delete();
        return true;
    });
}

void Form9::CmdQuitter_Click() { platform::forms().unload(this); }

void Form9::Aide_Click() { platform::showHelp(platform::HelpContext, 80); }

void openReferenceListsFromMain()
{
    platform::forms().hide<Form4>();
    platform::forms().show<Form9>();
}
