#pragma once
#include "platform/forms.h"

#include <memory>

namespace Ui {
class Form21;
}

class Form21 : public platform::Form {
    Q_OBJECT
public:
    Form21();
    ~Form21() override;

    std::unique_ptr<Ui::Form21> ui;
};
