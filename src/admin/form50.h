#pragma once
#include "platform/forms.h"

#include <memory>

namespace Ui {
class Form50;
}

class Form50 : public platform::Form {
    Q_OBJECT
public:
    Form50();
    ~Form50() override;

    std::unique_ptr<Ui::Form50> ui;
};
