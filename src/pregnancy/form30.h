#pragma once
#include "platform/forms.h"

#include <memory>

namespace Ui {
class Form30;
}

class Form30 : public platform::Form {
    Q_OBJECT
public:
    Form30();
    ~Form30() override;

    std::unique_ptr<Ui::Form30> ui;
};
