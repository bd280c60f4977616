#pragma once
#include "platform/forms.h"

#include <memory>

namespace Ui {
class Form6;
}

class Form6 : public platform::Form {
    Q_OBJECT
public:
    Form6();
    ~Form6() override;

    std::unique_ptr<Ui::Form6> ui;
};
