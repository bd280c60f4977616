#pragma once
#include "admin/foldercopy.h"
#include "platform/forms.h"

#include <QString>
#include <QStringList>
#include <functional>
#include <memory>

namespace Ui {
class Form21;
}

// The backup window: copies the workbook directory into the backup directory and back. Every way out loads
// and shows the main window again.
class Form21 : public platform::Form {
    Q_OBJECT
public:
    // Asks the user for a folder (empty text when cancelled). Tests replace it; null means the real dialog.
    using FolderChooser = std::function<QString(QWidget* parent, const QString& title)>;
    static FolderChooser folderChooser;

    Form21();
    ~Form21() override;
    void Form_Load() override;
    void Form_Unload(bool& cancel) override;

    void Command2_Click();
    void CmdSauve_Click();
    void CmdRestaure_Click();
    void Command1_Click();

    std::unique_ptr<Ui::Form21> ui;

private:
    // The two folders of a backup or restore, and the database files, read again from the settings.
    struct Folders {
        QString workbooks;
        QString backup;
        QStringList databases;
    };
    static Folders foldersFromSettings();
    // Copies the tree, showing how far it has gone; empty text, or what was not copied.
    static QString copy(const QString& from, const QString& to, admin::CopyWay way, const Folders& folders);
    // Why the copy cannot run, or empty text when it can.
    static QString refusal(const Folders& folders);
    void leave();

    QString m_workbookDir; // as read at load, for the captions
};
