#pragma once
#include "platform/forms.h"

#include <memory>

namespace Ui {
class Form9;
}

class Form9 : public platform::Form {
    Q_OBJECT
public:
    Form9();
    ~Form9() override;

    std::unique_ptr<Ui::Form9> ui;
};
