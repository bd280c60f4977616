#include "pregnancy/form30.h"

#include "ui_form30.h"

Form30::Form30() : ui(std::make_unique<Ui::Form30>()) { ui->setupUi(this); }

Form30::~Form30() = default;
