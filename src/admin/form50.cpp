#include "admin/form50.h"

#include "ui_form50.h"

Form50::Form50() : ui(std::make_unique<Ui::Form50>()) { ui->setupUi(this); }

Form50::~Form50() = default;
