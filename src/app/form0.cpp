#include "app/form0.h"

#include "app/form4.h"
#include "platform/guarded.h"
#include "platform/messages.h"
#include "platform/windowframe.h"
#include "ui_form0.h"

#include <QTimer>

Form0::Form0() : ui(std::make_unique<Ui::Form0>())
{
    ui->setupUi(this);
    setWindowFlags(Qt::SplashScreen | Qt::FramelessWindowHint);
    Timer1 = new QTimer(this);
    Timer1->setSingleShot(true);
    Timer1->setInterval(4000);
    connect(Timer1, &QTimer::timeout, this, platform::guarded(this, &Form0::Timer1_Timer));
}

Form0::~Form0() = default;

void Form0::Form_Load()
{
    ui->Label5->setText(QStringLiteral("Version %1.%2.%3")
                            .arg(FOLIVEX_VERSION_MAJOR)
                            .arg(FOLIVEX_VERSION_MINOR)
                            .arg(FOLIVEX_VERSION_PATCH));
    ui->Label1->setText(platform::appTitle());
    platform::centreOnScreen(this);
    Timer1->start();
}

void Form0::Timer1_Timer()
{
    Timer1->stop();
    platform::forms().unload(this);
    showMainWindow();
}
