#include "stats/form8.h"

#include "ui_form8.h"

Form8::Form8() : ui(std::make_unique<Ui::Form8>()) { ui->setupUi(this); }

Form8::~Form8() = default;
