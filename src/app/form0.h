#pragma once
#include "platform/forms.h"

#include <memory>

namespace Ui {
class Form0;
}

class Form0 : public platform::Form {
    Q_OBJECT
public:
    Form0();
    ~Form0() override;

    std::unique_ptr<Ui::Form0> ui;
};
