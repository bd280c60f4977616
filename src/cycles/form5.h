#pragma once
#include "platform/forms.h"

#include <memory>

namespace Ui {
class Form5;
}

class Form5 : public platform::Form {
    Q_OBJECT
public:
    Form5();
    ~Form5() override;

    std::unique_ptr<Ui::Form5> ui;
};
