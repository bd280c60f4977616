#pragma once
#include "platform/forms.h"

#include <memory>

namespace Ui {
class Form11;
}

// The stand-alone ovarian response score calculator: typed values in, points, responder class, advice and
// starting FSH doses out. Reads no database and touches no other window.
class Form11 : public platform::Form {
    Q_OBJECT
public:
    Form11();
    ~Form11() override;
    void Form_Load() override;

    std::unique_ptr<Ui::Form11> ui;

    // The help text shown in place of the protocol frames until a calculation.
    static QString helpText();

    void Command1_Click();
    void Command2_Click();
    void Command3_Click();
    void TxtPds_Change();
    void TxtTaille_Change();
    void TxtFsh_Change();
    void TxtLh_Change();
};
