#pragma once
#include "platform/forms.h"

#include <QString>
#include <functional>
#include <memory>
#include <vector>

namespace Ui {
class Form9;
}

namespace data {
class Database;
class Recordset;
}

class QAction;
class QPushButton;

// The reference-list editor: the items of table OPTIONS, one list at a time.
class Form9 : public platform::Form {
    Q_OBJECT
public:
    // One list button: the list it chooses, the frame title, its caption, and whether items can be added and
    // deleted (the protocol-button captions can only be modified).
    struct ListButton {
        int list;
        QString button;
        QString title;
        QString caption;
        bool addDelete;
    };
    static const std::vector<ListButton>& listButtons();

    Form9();
    ~Form9() override;
    void Form_Load() override;
    void Form_Unload(bool& cancel) override;

    void ListButton_Click(const ListButton& entry);
    void List1_DblClick();
    void CmdAjoute_Click();
    void CmdModif_Click();
    void CmdSupprime_Click();
    void CmdQuitter_Click();
    void Aide_Click();

    QPushButton* listButton(int list) const;

    std::unique_ptr<Ui::Form9> ui;
    QAction* Aide = nullptr;

private:
    // The list number kept in LblEspion; false while no list is chosen.
    bool currentList(short& list) const;
    // Opens the database on CHEMIN_BASE and the query of a list (the text differs between choosing and
    // editing, as the lists' readers rely on the first).
    std::shared_ptr<data::Recordset> openList(const QString& sql);
    void fillList(short list);
    // Finds the row of the selected item for modify and delete; null when nothing is selected. Throws when
    // the item is no longer in the list as shown (changed or deleted on another workstation).
    std::shared_ptr<data::Recordset> findSelected(short list);
    // Says that the item was changed or deleted elsewhere and shows the list as it now is.
    void itemGoneElsewhere(short list);
    // The frame of add, modify and delete: the empty-text message, the list number, the change itself
    // (false: nothing to change), the refill and the emptied edit box. False when nothing changed.
    bool runCommand(const QString& emptyMessage, const std::function<bool(short list)>& change);
    void protocolCaptionsFromDatabase();

    std::shared_ptr<data::Database> m_db;
};

// The main window's menu "Items mémorisés": hides the main window and opens the editor.
void openReferenceListsFromMain();
