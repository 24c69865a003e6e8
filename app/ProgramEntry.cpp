#include "app/ProgramEntry.h"

#include <QApplication>

#include "admin/TFrmauditquery.h"
#include "app/TAboutBox.h"
#include "app/TFrmchangepassword.h"
#include "app/TFrmflash.h"
#include "app/TFrmlogin.h"
#include "app/TMainForm.h"
#include "data/Tdm.h"
#include "reports/TFrmchhzquery.h"
#include "reports/TFrmkhhzquery.h"
#include "reports/TFrmxsdquery.h"
#include "reports/TFrmywyhzquery.h"
#include "sales/TFrmywyquery.h"
#include "widgets/ApplicationQuit.h"
#include "widgets/HelpWindow.h"

namespace velmora {

ProgramEntry::~ProgramEntry() {
    destroyAll();
}

void ProgramEntry::createAll() {
    Frmflash = new TFrmflash;
    Frmflash->showAndPaint();
    auto create = [this](const char* name, auto make) {
        if (beforeCreate) beforeCreate(name);
        make();
    };
    try {
        create("TMainForm", [] { MainForm = new TMainForm; });
        HelpWindow::installHelpKey();
        create("TAboutBox", [] { AboutBox = new TAboutBox; });
        create("Tdm", [] {
            dm = new Tdm(MainForm->SocketConnection1);
            MainForm->Session.setDataModule(dm);
        });
        create("TFrmywyquery", [] { Frmywyquery = new TFrmywyquery(*dm); });
        create("TFrmxsdquery", [] { Frmxsdquery = new TFrmxsdquery(MainForm->Session); });
        create("TFrmkhhzquery", [] { Frmkhhzquery = new TFrmkhhzquery(MainForm->Session); });
        create("TFrmchhzquery", [] { Frmchhzquery = new TFrmchhzquery(MainForm->Session); });
        create("TFrmywyhzquery", [] { Frmywyhzquery = new TFrmywyhzquery(MainForm->Session); });
        create("TFrmauditquery", [] { Frmauditquery = new TFrmauditquery(MainForm->Session); });
        create("TFrmlogin",
               [] { Frmlogin = new TFrmlogin(MainForm->SocketConnection1, MainForm->Trust, *dm); });
        create("TFrmchangepassword", [] { Frmchangepassword = new TFrmchangepassword(*dm); });
    } catch (...) {
        delete Frmflash;
        Frmflash = nullptr;
        throw;
    }
    delete Frmflash;
    Frmflash = nullptr;
}

int ProgramEntry::run(QApplication& app) {
    if (!MainForm) return 1;
    MainForm->showAtStart();
    if (ApplicationTerminated()) return 0;
    return app.exec();
}

void ProgramEntry::destroyAll() {
    if (MainForm) MainForm->destroyChildWindows();
    delete Frmchangepassword;
    Frmchangepassword = nullptr;
    delete Frmlogin;
    Frmlogin = nullptr;
    HelpWindow::destroyInstance();
    delete Frmauditquery;
    Frmauditquery = nullptr;
    delete Frmywyhzquery;
    Frmywyhzquery = nullptr;
    delete Frmchhzquery;
    Frmchhzquery = nullptr;
    delete Frmkhhzquery;
    Frmkhhzquery = nullptr;
    delete Frmxsdquery;
    Frmxsdquery = nullptr;
    delete Frmywyquery;
    Frmywyquery = nullptr;
    if (MainForm) MainForm->Session.setDataModule(nullptr);
    delete dm;
    dm = nullptr;
    delete AboutBox;
    AboutBox = nullptr;
    delete MainForm;
    MainForm = nullptr;
    delete Frmflash;
    Frmflash = nullptr;
}

}  // namespace velmora
