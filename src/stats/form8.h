#pragma once
#include "platform/forms.h"

#include <memory>

namespace Ui {
class Form8;
}

class Form8 : public platform::Form {
    Q_OBJECT
public:
    Form8();
    ~Form8() override;

    std::unique_ptr<Ui::Form8> ui;
};
