#include "workup/form11.h"

#include "ui_form11.h"

Form11::Form11() : ui(std::make_unique<Ui::Form11>()) { ui->setupUi(this); }

Form11::~Form11() = default;
