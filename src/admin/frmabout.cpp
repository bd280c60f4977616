#include "admin/frmabout.h"

#include "ui_frmabout.h"

frmAbout::frmAbout() : ui(std::make_unique<Ui::frmAbout>()) { ui->setupUi(this); }

frmAbout::~frmAbout() = default;
