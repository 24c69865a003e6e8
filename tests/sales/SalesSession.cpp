#include "tests/sales/SalesSession.h"

#include <QAbstractButton>
#include <QLineEdit>
#include <QTest>
#include <QToolButton>

#include "app/TFrmlogin.h"
#include "app/TMainForm.h"
#include "data/Tdm.h"
#include "sales/TFrmkp.h"
#include "sales/TfrmClbm_Fzlr.h"
#include "widgets/BitBtn.h"
#include "widgets/DBGrid.h"
#include "widgets/DataSetModel.h"

namespace velmora::test {

namespace {
ServerProcess::Options withArgs(std::vector<std::string> args) {
    ServerProcess::Options options;
    options.extraArgs = std::move(args);
    return options;
}
}  // namespace

SalesSession::SalesSession(const QString& user, const QString& password, const std::string& beforeLogin,
                           std::vector<std::string> serverArgs)
    : server(std::make_unique<ServerProcess>(withArgs(std::move(serverArgs)))),
      shell(std::make_unique<ShellSession>()) {
    if (!beforeLogin.empty()) server->execute(beforeLogin);
    QString at = QString::fromStdString(server->address());
    shell->showAndLogin([&](TFrmlogin& f) { ShellSession::connectAndChoose(f, at, user, password); });
    shell->messages.clear();
}

SalesSession::~SalesSession() {
    shell.reset();
    server.reset();
}

TFrmkp& SalesSession::openInvoicing() {
    MainForm->N8Click();
    QCoreApplication::processEvents();
    return *Frmkp;
}

void SalesSession::click(QAbstractButton* button) {
    QVERIFY2(button->isEnabled(), qPrintable(button->objectName() + " is disabled"));
    button->click();
}

void SalesSession::addLines(const std::vector<int>& rows) {
    whenModal([rows](QWidget* dialog) {
        auto* picker = qobject_cast<TfrmClbm_Fzlr*>(dialog);
        QVERIFY(picker);
        QItemSelectionModel* selection = picker->DBGrid1->selectionModel();
        for (int row : rows)
            selection->select(picker->DBGrid1->model()->index(row, 0),
                              QItemSelectionModel::Select | QItemSelectionModel::Rows);
        picker->BitBtn1->click();
    });
    click(Frmkp->n_insertone);
}

void SalesSession::typeCell(DBGrid* grid, int row, int column, const QString& text) {
    QModelIndex index = grid->model()->index(row, column);
    grid->setCurrentIndex(index);
    grid->edit(index);
    QLineEdit* editor = nullptr;
    for (auto* e : grid->viewport()->findChildren<QLineEdit*>(QString(), Qt::FindDirectChildrenOnly))
        if (!e->isHidden()) editor = e;
    QVERIFY2(editor, "no cell editor opened");
    editor->selectAll();
    typeText(editor, text);
    QTest::keyClick(editor, Qt::Key_Return);
}

void SalesSession::executeElsewhere(const std::string& sql) {
    server->execute(sql);
}

bool SalesSession::gotoOrder(const std::string& xsdid) {
    ClientDataSet& tb = dm->ClientDataSetxsdtb;
    for (tb.First(); !tb.Eof(); tb.Next())
        if (tb.FieldByName("xsdid").AsString() == xsdid) return true;
    return false;
}

}  // namespace velmora::test
