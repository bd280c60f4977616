#pragma once
#include "platform/forms.h"

#include <memory>

namespace Ui {
class Form2;
}

class Form2 : public platform::Form {
    Q_OBJECT
public:
    Form2();
    ~Form2() override;

    std::unique_ptr<Ui::Form2> ui;
};
