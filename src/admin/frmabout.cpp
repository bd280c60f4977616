#include "admin/frmabout.h"

#include "platform/guarded.h"
#include "platform/messages.h"
#include "platform/windowframe.h"
#include "ui_frmabout.h"

#include <QApplication>
#include <QStyle>

frmAbout::frmAbout() : ui(std::make_unique<Ui::frmAbout>())
{
    ui->setupUi(this);
    const QIcon icon = QApplication::windowIcon().isNull() ? style()->standardIcon(QStyle::SP_ComputerIcon)
                                                           : QApplication::windowIcon();
    ui->picIcon->setPixmap(icon.pixmap(64, 64));
    connect(ui->cmdOK, &QPushButton::clicked, this, platform::guarded(this, &frmAbout::cmdOK_Click));
}

frmAbout::~frmAbout() = default;

QString frmAbout::versionText()
{
    return QStringLiteral("Version %1.%2.%3").arg(FOLIVEX_VERSION_MAJOR).arg(FOLIVEX_VERSION_MINOR).arg(FOLIVEX_VERSION_PATCH);
}

void frmAbout::Form_Load()
{
    adjustSize();
    platform::centreOnScreen(this);
    setWindowTitle(QStringLiteral("À propos de ") + platform::appTitle());
    ui->lblVersion->setText(versionText());
    ui->lblTitle->setText(platform::appTitle());
}

void frmAbout::cmdOK_Click() { platform::forms().unload(this); }
