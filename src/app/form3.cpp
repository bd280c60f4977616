#include "app/form3.h"

#include "ui_form3.h"

Form3::Form3() : ui(std::make_unique<Ui::Form3>()) { ui->setupUi(this); }

Form3::~Form3() = default;
