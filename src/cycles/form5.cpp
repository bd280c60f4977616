#include "cycles/form5.h"

#include "ui_form5.h"

Form5::Form5() : ui(std::make_unique<Ui::Form5>()) { ui->setupUi(this); }

Form5::~Form5() = default;
