#pragma once
#include "platform/forms.h"

#include <QString>
#include <memory>

namespace Ui {
class frmAbout;
}

// The about box: the application's title, its version and what it is for.
class frmAbout : public platform::Form {
    Q_OBJECT
public:
    frmAbout();
    ~frmAbout() override;
    void Form_Load() override;

    void cmdOK_Click();

    // "Version " and the build's major, minor and patch numbers.
    static QString versionText();

    std::unique_ptr<Ui::frmAbout> ui;
};
