#include "workup/form7.h"

#include "ui_form7.h"

Form7::Form7() : ui(std::make_unique<Ui::Form7>()) { ui->setupUi(this); }

Form7::~Form7() = default;
