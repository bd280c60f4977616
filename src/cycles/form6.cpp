#include "cycles/form6.h"

#include "ui_form6.h"

Form6::Form6() : ui(std::make_unique<Ui::Form6>()) { ui->setupUi(this); }

Form6::~Form6() = default;
