#include "app/form4.h"

#include "ui_form4.h"

Form4::Form4() : ui(std::make_unique<Ui::Form4>()) { ui->setupUi(this); }

Form4::~Form4() = default;

void Form4::Form_Load() {}

void Form4::Form_Unload(bool&)
{
    if (platform::forms().onQuit)
        platform::forms().onQuit();
}
