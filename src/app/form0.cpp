#include "app/form0.h"

#include "ui_form0.h"

Form0::Form0() : ui(std::make_unique<Ui::Form0>()) { ui->setupUi(this); }

Form0::~Form0() = default;
