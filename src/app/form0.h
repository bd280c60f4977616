#pragma once
#include "platform/forms.h"

#include <memory>

class QTimer;

namespace Ui {
class Form0;
}

// The splash window: shown first, it gives way to the main window when its timer fires.
class Form0 : public platform::Form {
    Q_OBJECT
public:
    Form0();
    ~Form0() override;
    void Form_Load() override;
    void Timer1_Timer();

    std::unique_ptr<Ui::Form0> ui;
    QTimer* Timer1 = nullptr;
};
