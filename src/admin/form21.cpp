#include "admin/form21.h"

#include "app/form4.h"
#include "admin/foldercopy.h"
#include "cycles/fiche.h"
#include "data/globals.h"
#include "platform/filewrite.h"
#include "platform/guarded.h"
#include "platform/messages.h"
#include "platform/progresswindow.h"
#include "platform/settings.h"
#include "ui_form21.h"

#include <QDir>
#include <QFileDialog>

Form21::FolderChooser Form21::folderChooser;

namespace {

const QString kBackupKey = QStringLiteral("SAUVE");

QString setting(const QString& key, const QString& defaultValue)
{
    return platform::getSetting(data::kSettingsApp, data::kSettingsSection, key, defaultValue);
}

QString chooseFolder(QWidget* parent, const QString& title, const QString& current)
{
    if (Form21::folderChooser)
        return Form21::folderChooser(parent, title);
    // The chooser opens on the folder already set, or the home folder.
    const QString start = !current.isEmpty() && QDir(current).exists() ? current : QDir::homePath();
    return QFileDialog::getExistingDirectory(parent, title, start, QFileDialog::ShowDirsOnly);
}

} // namespace

Form21::Form21() : ui(std::make_unique<Ui::Form21>())
{
    ui->setupUi(this);
    connect(ui->Command2, &QPushButton::clicked, this, platform::guarded(this, &Form21::Command2_Click));
    connect(ui->CmdSauve, &QPushButton::clicked, this, platform::guarded(this, &Form21::CmdSauve_Click));
    connect(ui->CmdRestaure, &QPushButton::clicked, this, platform::guarded(this, &Form21::CmdRestaure_Click));
    connect(ui->Command1, &QPushButton::clicked, this, platform::guarded(this, &Form21::Command1_Click));
}

Form21::~Form21() = default;

void Form21::Form_Load()
{
    m_workbookDir = cycles::workbookDir();
    const QString backupDir = setting(kBackupKey, QString());
    ui->Label1->setText(backupDir);
    ui->CmdSauve->setText(QStringLiteral("Sauvegarder tout le repertoire : \n%1\nvers\n%2").arg(m_workbookDir, backupDir));
    ui->CmdRestaure->setText(
        QStringLiteral("Restaurer les fichiers sauvegardés dans %1 vers %2").arg(backupDir, m_workbookDir));
}

void Form21::Form_Unload(bool&)
{
    // The main window was unloaded to open this one: its load runs anew.
    platform::forms().show<Form4>();
}

void Form21::leave() { platform::forms().unload(this); }

void Form21::Command1_Click() { leave(); }

void Form21::Command2_Click()
{
    const QString path = QDir::toNativeSeparators(chooseFolder(
        this, QStringLiteral("Choix du répertoire pour la sauvegarde :"), QDir::fromNativeSeparators(ui->Label1->text())));
    if (path.isEmpty())
        return; // cancelled: the saved folder stays
    // The backup goes where the settings say: a folder that could not be recorded is not shown as chosen.
    platform::FileFailure failure;
    if (!platform::saveSetting(QStringLiteral("Talvenor"), data::kSettingsSection, QStringLiteral("Sauve"), path,
                               &failure)) {
        platform::notice(QStringLiteral("Le répertoire de sauvegarde n'a pas été changé : ") + failure.message());
        return;
    }
    ui->Label1->setText(path);
    ui->CmdSauve->setText(QStringLiteral("Lancer la Sauvegarde de \n%1\nvers\n%2").arg(m_workbookDir, path));
}

Form21::Folders Form21::foldersFromSettings()
{
    // No default backup folder: copying the program directory instead would be worse than no backup.
    return {cycles::workbookDir(), setting(kBackupKey, QString()),
            {setting(QStringLiteral("CHEMIN"), QString()), setting(QStringLiteral("CHEMINS"), QString())}};
}

QString Form21::copy(const QString& from, const QString& to, admin::CopyWay way, const Folders& folders)
{
    const bool backup = way == admin::CopyWay::Backup;
    const QString what = (backup ? QStringLiteral("Sauvegarde de %1 vers %2 : veuillez patienter.")
                                 : QStringLiteral("Restauration de %1 vers %2 : veuillez patienter."))
                             .arg(QDir::toNativeSeparators(from), QDir::toNativeSeparators(to));
    QString failure;
    // Past half a second a window says how far the copy has gone; the program's windows keep painting.
    platform::ProgressWindowWork window(500);
    window.run(what, [&](data::Progress& progress) {
        failure = admin::copyFolder({from, to, way, folders.databases}, &progress);
    });
    // Every file is written whole or not at all.
    if (!failure.isEmpty())
        failure += backup ? QStringLiteral("\n\nCe qui n'a pas été copié garde sa sauvegarde précédente, s'il en a une.")
                          : QStringLiteral("\n\nCe qui n'a pas été restauré reste tel qu'il était.");
    return failure;
}

QString Form21::refusal(const Folders& folders)
{
    if (folders.backup.trimmed().isEmpty())
        return QStringLiteral("Aucun répertoire de sauvegarde n'est défini.");
    if (admin::foldersOverlap(folders.workbooks, folders.backup))
        return QStringLiteral("Le répertoire de sauvegarde et le répertoire des fiches ne doivent pas être "
                              "l'un dans l'autre.");
    return {};
}

void Form21::CmdSauve_Click()
{
    const Folders folders = foldersFromSettings();
    QString failure = refusal(folders);
    if (failure.isEmpty())
        failure = copy(folders.workbooks, folders.backup, admin::CopyWay::Backup, folders);
    platform::notice(failure.isEmpty() ? QStringLiteral("Sauvegarde terminée")
                                       : QStringLiteral("Sauvegarde non effectuée\n\n") + failure);
    leave();
}

void Form21::CmdRestaure_Click()
{
    const Folders folders = foldersFromSettings();
    QString failure = refusal(folders);
    if (failure.isEmpty() && !QDir(folders.backup).exists())
        failure = QStringLiteral("Le répertoire de sauvegarde %1 n'existe pas.").arg(folders.backup);
    if (!failure.isEmpty()) {
        platform::notice(QStringLiteral("Restauration non effectuée\n\n") + failure);
        leave();
        return;
    }
    if (!platform::askYesNo(QStringLiteral("Les fichiers du répertoire %1 vont être remplacés par les copies "
                                           "sauvegardées dans %2, même s'ils sont plus récents.\n"
                                           "Voulez-vous restaurer la sauvegarde ?")
                                .arg(folders.workbooks, folders.backup)))
        return;
    failure = copy(folders.backup, folders.workbooks, admin::CopyWay::Restore, folders);
    platform::notice(failure.isEmpty() ? QStringLiteral("Restauration effectuée")
                                       : QStringLiteral("Restauration non effectuée\n\n") + failure);
    leave();
}
