#include "admin/form9.h"

#include "ui_form9.h"

Form9::Form9() : ui(std::make_unique<Ui::Form9>()) { ui->setupUi(this); }

Form9::~Form9() = default;
