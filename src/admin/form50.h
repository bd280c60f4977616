#pragma once
#include "platform/forms.h"

#include <QStringList>
#include <memory>

namespace Ui {
class Form50;
}

class QWidget;

// The letterhead window: edits the physician's and the centre's letterhead kept in "Entet.idc".
class Form50 : public platform::Form {
    Q_OBJECT
public:
    Form50();
    ~Form50() override;
    void Form_Load() override;

    void Enregistre_Click();
    void Annuler_Click();
    void Quitte_Click();

    // The twelve texts in file order.
    QStringList fields() const;
    void setFields(const QStringList& twelve);

    std::unique_ptr<Ui::Form50> ui;

private:
    QList<QWidget*> fieldControls() const;
};
