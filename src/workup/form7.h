#pragma once
#include "platform/forms.h"

#include <memory>

namespace Ui {
class Form7;
}

class Form7 : public platform::Form {
    Q_OBJECT
public:
    Form7();
    ~Form7() override;

    std::unique_ptr<Ui::Form7> ui;
};
