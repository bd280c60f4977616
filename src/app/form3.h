#pragma once
#include "platform/forms.h"

#include <memory>

namespace Ui {
class Form3;
}

class Form3 : public platform::Form {
    Q_OBJECT
public:
    Form3();
    ~Form3() override;

    std::unique_ptr<Ui::Form3> ui;
};
