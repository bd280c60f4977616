#include "admin/form21.h"

#include "ui_form21.h"

Form21::Form21() : ui(std::make_unique<Ui::Form21>()) { ui->setupUi(this); }

Form21::~Form21() = default;
