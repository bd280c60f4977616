#pragma once
#include "platform/forms.h"

#include <memory>

namespace Ui {
class frmAbout;
}

class frmAbout : public platform::Form {
    Q_OBJECT
public:
    frmAbout();
    ~frmAbout() override;

    std::unique_ptr<Ui::frmAbout> ui;
};
