#include "app/age.h"

#include "app/form4.h"
#include "platform/conversions.h"
#include "platform/environment.h"
#include "ui_form4.h"

#include <QApplication>
#include <QPalette>

namespace app {

std::optional<int> ageFromBirthText(const QString& birthText)
{
    const auto birth = platform::parseDate(birthText);
    if (!birth)
        return std::nullopt;
    return platform::ageInYears(*birth, platform::today());
}

void AFFICHE_AGE()
{
    Form4* f = platform::forms().find<Form4>();
    if (!f)
        return;
    if (const auto age = ageFromBirthText(f->ui->NeeLbl->text())) {
        f->ui->AgeLbl->setText(QString::number(*age) + QStringLiteral(" ans"));
    } else {
        f->ui->AgeLbl->clear();
        f->ui->NeeLbl->clear();
    }
}

void COLORE_AGE()
{
    Form4* f = platform::forms().find<Form4>();
    if (!f)
        return;
    const auto age = ageFromBirthText(f->ui->NeeLbl->text());
    QPalette pal = f->ui->AgeLbl->palette();
    pal.setColor(QPalette::WindowText, age && *age > 43 ? QColor(255, 0, 0)
                                                        : QApplication::palette().color(QPalette::WindowText));
    f->ui->AgeLbl->setPalette(pal);
}

} // namespace app
