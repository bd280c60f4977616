#pragma once
#include "platform/forms.h"

#include <memory>

namespace Ui {
class Form4;
}

// The main window: the current couple, browsing and search, and the commands that open every other window.
class Form4 : public platform::Form {
    Q_OBJECT
public:
    Form4();
    ~Form4() override;
    void Form_Load() override;
    void Form_Unload(bool& cancel) override;

    std::unique_ptr<Ui::Form4> ui;
};
