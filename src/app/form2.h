#pragma once
#include "app/dossierwindow.h"

#include <memory>

namespace Ui {
class Form2;
}

// The new dossier window: one new CIVILITES row from the seventeen boxes.
class Form2 : public DossierWindow {
    Q_OBJECT
public:
    Form2();
    ~Form2() override;
    void Form_Load() override;

    void Command1_Click(); // save and quit
    void Command2_Click(); // empty the boxes
    void Command3_Click(); // cancel

    std::unique_ptr<Ui::Form2> ui;
};
