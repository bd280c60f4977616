#pragma once
#include "app/dossierwindow.h"

#include <QString>
#include <memory>

namespace Ui {
class Form3;
}

// The dossier modification window: the CIVILITES row of the couple shown when it was opened.
class Form3 : public DossierWindow {
    Q_OBJECT
public:
    Form3();
    ~Form3() override;
    void Form_Load() override;

    void AFFICHEMOD();
    void Command1_Click(); // empty the boxes
    void Command2_Click(); // save and quit
    void Command3_Click(); // quit

    std::unique_ptr<Ui::Form3> ui;
    // The couple number the window was loaded for.
    QString numero() const { return m_numero; }

private:
    QString m_numero; // the couple number captioned in the main window at the load
    std::shared_ptr<data::Recordset> m_rs; // the dossier's row alone, never the main window's list
};
