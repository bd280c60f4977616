#pragma once
#include "platform/forms.h"

#include <memory>

namespace Ui {
class Form11;
}

class Form11 : public platform::Form {
    Q_OBJECT
public:
    Form11();
    ~Form11() override;

    std::unique_ptr<Ui::Form11> ui;
};
