// The data-aware controls over a real dataset: edit box, grid and navigator.
#include <QAbstractItemModelTester>
#include <QHeaderView>
#include <QLineEdit>
#include <QToolButton>

#include "data/ClientDataSet.h"
#include "data/DataSource.h"
#include "tests/gui/GuiTestSupport.h"
#include "tests/gui/PacketProvider.h"
#include "widgets/Colors.h"
#include "widgets/DBEdit.h"
#include "widgets/DBGrid.h"
#include "widgets/DBNavigator.h"
#include "widgets/DataSetModel.h"
#include "widgets/DatePicker.h"
#include "widgets/EditMask.h"

using namespace velmora;
using velmora::test::PacketProvider;

class DataControlsTest : public QObject {
    Q_OBJECT

    std::unique_ptr<ClientDataSet> ds;
    std::unique_ptr<DataSource> source;
    std::unique_ptr<test::MessageRecorder> messages;

    QString fieldText(const char* name) { return QString::fromStdString(ds->FieldByName(name).AsString()); }

  private slots:
    void init() {
        messages = std::make_unique<test::MessageRecorder>();
        FieldDefs fields = {{"code", FieldType::String, 10, 0, {}},
                            {"name", FieldType::String, 30, 0, {}},
                            {"qty", FieldType::Double, 0, 0, {}},
                            {"price", FieldType::Double, 0, 0, {}}};
        std::vector<std::vector<Variant>> rows;
        const char* names[] = {"甲", "乙", "丙", "丁", "戊", "己", "庚", "辛", "壬", "癸"};
        for (int i = 0; i < 10; ++i)
            rows.push_back(
                {Variant("0" + std::to_string(i)), Variant(names[i]), Variant(double(i)), Variant(2.5)});
        ds = std::make_unique<ClientDataSet>("ClientDataSettest");
        PacketProvider::bind(*ds, std::make_shared<PacketProvider>(fields, rows));
        source = std::make_unique<DataSource>("DataSourcetest", ds.get());
        ds->Open();
    }
    void cleanup() {
        source.reset();
        ds.reset();
        messages.reset();
    }

    void editMasksTranslateToQtMasks_data() {
        QTest::addColumn<QString>("fieldMask");
        QTest::addColumn<QString>("qtMask");
        QTest::addColumn<bool>("saveLiterals");
        QTest::newRow("top-level code") << "99;1;_"
                                        << "00;_" << true;
        QTest::newRow("sub-category code") << "99-999;1;_"
                                           << "00-000;_" << true;
        QTest::newRow("required digits, literals dropped") << "000/00;0;*"
                                                           << "999/99;*" << false;
        QTest::newRow("letters and alphanumerics") << "LL-aa"
                                                   << "AA-nn;_" << true;
        QTest::newRow("escaped and Qt-special literals") << "\\9N-0"
                                                         << "\\9\\N-9;_" << true;
    }
    void editMasksTranslateToQtMasks() {
        QFETCH(QString, fieldMask);
        QFETCH(QString, qtMask);
        QFETCH(bool, saveLiterals);
        InputMask mask = translateEditMask(fieldMask.toStdString());
        QCOMPARE(mask.qtMask, qtMask);
        QCOMPARE(mask.saveLiterals, saveLiterals);
    }

    void maskedValueKeepsTypedSlotsOnly() {
        InputMask code = translateEditMask("99-999;1;_");
        QCOMPARE(maskedValue("03-1__", '_', code), QString("03-1"));
        QCOMPARE(maskedValue("__-___", '_', code), QString());
        InputMask date = translateEditMask("00/00;0;_");
        QCOMPARE(maskedValue("12/31", '_', date), QString("1231"));
    }

    void editShowsFieldOfCurrentRowAndFollowsCursor() {
        DBEdit edit;
        edit.setDataSource(source.get());
        edit.setDataField("name");
        QCOMPARE(edit.text(), QString("甲"));
        ds->Next();
        QCOMPARE(edit.text(), QString("乙"));
        ds->Close();
        QCOMPARE(edit.text(), QString());
        QVERIFY(!edit.field());
    }

    void typedAndSetTextReachTheFieldBeforePost() {
        DBEdit edit;
        edit.setDataSource(source.get());
        edit.setDataField("name");
        ds->Edit();
        edit.clear();
        test::typeText(&edit, "新名");
        QCOMPARE(fieldText("name"), QString("新名"));
        ds->Post();
        QCOMPARE(fieldText("name"), QString("新名"));

        ds->Insert();
        QCOMPARE(edit.text(), QString());
        edit.setText("程序写入");
        ds->Post();
        QCOMPARE(fieldText("name"), QString("程序写入"));
    }

    void readOnlySetByTheWindowSurvivesRowChanges() {
        DBEdit edit;
        edit.setDataSource(source.get());
        edit.setDataField("name");
        edit.setReadOnly(true);
        ds->Next();
        QVERIFY(edit.isReadOnly());
        edit.setReadOnly(false);
        ds->Next();
        QVERIFY(!edit.isReadOnly());
    }

    void textSetIntoBrowsedRowStaysOnScreenOnly() {
        DBEdit edit;
        edit.setDataSource(source.get());
        edit.setDataField("name");
        edit.setText("未编辑");
        QCOMPARE(ds->State(), DataSetState::Browse);
        QCOMPARE(fieldText("name"), QString("甲"));
    }

    void typingIntoBrowsedRowStartsAnEdit() {
        DBEdit edit;
        edit.setDataSource(source.get());
        edit.setDataField("code");
        edit.show();
        edit.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&edit));
        edit.setFocus();
        QTRY_VERIFY(edit.hasFocus());
        QTest::keyClick(&edit, Qt::Key_End);
        QTest::keyClicks(&edit, "9");
        QCOMPARE(ds->State(), DataSetState::Edit);
        QCOMPARE(fieldText("code"), QString("009"));
    }

    void numberFieldTakesTheTextOnceItIsANumber() {
        DBEdit edit;
        edit.setDataSource(source.get());
        edit.setDataField("qty");
        ds->Edit();
        edit.setText("-");
        QCOMPARE(ds->FieldByName("qty").AsFloat(), 0.0);
        QVERIFY_THROWS_EXCEPTION(std::exception, edit.UpdateRecord());
        edit.setText("-2.5");
        QCOMPARE(ds->FieldByName("qty").AsFloat(), -2.5);
        edit.UpdateRecord();
    }

    void fieldMaskShapesTypedCode() {
        ds->FieldByName("code").setEditMask("99-999;1;_");
        DBEdit edit;
        edit.setDataSource(source.get());
        edit.setDataField("code");
        ds->Insert();
        edit.setText("03");
        QCOMPARE(edit.displayText(), QString("03-___"));
        QCOMPARE(fieldText("code"), QString("03-"));
        edit.setCursorPosition(3);
        QTest::keyClicks(&edit, "001");
        QCOMPARE(fieldText("code"), QString("03-001"));
        // A mask the window sets while the box shows a row is picked up on the next focus.
        ds->Cancel();
        ds->FieldByName("code").setEditMask("99;1;_");
        edit.refresh();
        QCOMPARE(edit.inputMask(), QString("00;_"));
    }

    void colourToggleSwapsInfoAndWindow() {
        DBEdit edit;
        edit.setColor(clInfoBk());
        toggleEditColor(&edit);
        QCOMPARE(edit.Color(), clWindow());
        toggleEditColor(&edit);
        QCOMPARE(edit.Color(), clInfoBk());
        edit.setColor(QColor(1, 2, 3));
        toggleEditColor(&edit);
        QCOMPARE(edit.Color(), clInfoBk());
    }

    void gridShowsPersistentColumns() {
        DBGrid grid;
        grid.setDataSource(source.get());
        grid.setColumns({{"code", "编号", 50}, {"name", "名称", 80}, {"qty", "数量"}, {"missing", "无"}});
        QCOMPARE(grid.model()->rowCount(), 10);
        QCOMPARE(grid.model()->columnCount(), 4);
        QCOMPARE(grid.model()->headerData(1, Qt::Horizontal).toString(), QString("名称"));
        QCOMPARE(grid.columnWidth(0), 50);
        QCOMPARE(grid.columnWidth(1), 80);
        QCOMPARE(grid.columnWidth(2), 64);
        QCOMPARE(grid.model()->index(3, 1).data().toString(), QString("丁"));
        QVERIFY(!grid.model()->index(3, 3).data().isValid());
        ds->Close();
        QCOMPARE(grid.model()->rowCount(), 0);
        QCOMPARE(grid.model()->headerData(0, Qt::Horizontal).toString(), QString("编号"));
    }

    // Qt's own checker of the model contract watches the model while the dataset goes through
    // every kind of change a window makes; it fails the test on the first broken promise.
    void modelKeepsQtsContractThroughEveryDataSetChange() {
        DataSetModel model;
        QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
        model.setDataSet(ds.get());
        QCOMPARE(model.rowCount(), 10);
        model.setColumns({{"code", "编号"}, {"name", "名称"}});
        QCOMPARE(model.columnCount(), 2);
        ds->setRecNo(4);
        ds->Insert();
        ds->Cancel();
        ds->Append();
        ds->FieldByName("code").setAsString("10");
        ds->Post();
        QCOMPARE(model.rowCount(), 11);
        QVERIFY(model.setData(model.index(2, 1), QStringLiteral("改")));
        ds->Post();
        QCOMPARE(model.index(2, 1).data().toString(), QString("改"));
        ds->Delete();
        QCOMPARE(model.rowCount(), 10);
        ds->setFilter("code='03'");
        ds->setFiltered(true);
        QCOMPARE(model.rowCount(), 1);
        ds->setFiltered(false);
        ds->CancelUpdates();
        QCOMPARE(model.rowCount(), 10);
        model.setReadOnly(true);
        model.setColumns({});
        ds->Close();
        QCOMPARE(model.rowCount(), 0);
        ds->Open();
        model.setDataSet(nullptr);
        QCOMPARE(model.rowCount(), 0);
    }

    void gridAndCursorFollowEachOther() {
        DBGrid grid;
        grid.setDataSource(source.get());
        ds->setRecNo(3);
        QCOMPARE(grid.currentIndex().row(), 2);
        grid.setCurrentIndex(grid.model()->index(5, 1));
        QCOMPARE(ds->RecNo(), 6);
        QCOMPARE(grid.SelectedIndex(), 1);
    }

    void gridRowsFollowInsertCancelAndDelete() {
        DBGrid grid;
        grid.setDataSource(source.get());
        ds->setRecNo(4);
        ds->Insert();
        QCOMPARE(grid.model()->rowCount(), 11);
        QCOMPARE(grid.currentIndex().row(), 3);
        ds->Cancel();
        QCOMPARE(grid.model()->rowCount(), 10);
        ds->Delete();
        QCOMPARE(grid.model()->rowCount(), 9);
        QCOMPARE(grid.model()->index(3, 1).data().toString(), QString("戊"));
    }

    void gridReadOnlySwitchesAtRunTime() {
        DBGrid grid;
        grid.setDataSource(source.get());
        grid.setColumns({{"code", "编号"}, {"name", "名称", -1, true}});
        QVERIFY(grid.model()->flags(grid.model()->index(0, 0)) & Qt::ItemIsEditable);
        QVERIFY(grid.columnReadOnly(1));
        grid.setReadOnly(true);
        QVERIFY(grid.columnReadOnly(0));
        QVERIFY(!(grid.model()->flags(grid.model()->index(0, 0)) & Qt::ItemIsEditable));
        QCOMPARE(grid.editTriggers(), QAbstractItemView::NoEditTriggers);
        grid.setReadOnly(false);
        QVERIFY(!grid.columnReadOnly(0));
    }

    void multiSelectReturnsRowsInDatasetOrder() {
        DBGrid grid;
        grid.setDataSource(source.get());
        grid.setReadOnly(true);
        grid.setMultiSelect(true);
        grid.resize(400, 400);
        grid.show();
        QVERIFY(QTest::qWaitForWindowExposed(&grid));
        auto click = [&grid](int row, Qt::KeyboardModifiers mods) {
            QRect cell = grid.visualRect(grid.model()->index(row, 1));
            QTest::mouseClick(grid.viewport(), Qt::LeftButton, mods, cell.center());
        };
        click(4, Qt::NoModifier);
        click(1, Qt::ControlModifier);
        click(8, Qt::ControlModifier);
        std::vector<Bookmark> marks = grid.SelectedRows();
        QCOMPARE(marks.size(), size_t(3));
        QStringList codes;
        for (const Bookmark& b : marks) {
            ds->GotoBookmark(b);
            codes << fieldText("code");
        }
        QCOMPARE(codes, QStringList({"01", "04", "08"}));
        click(4, Qt::ControlModifier);
        QCOMPARE(grid.SelectedRows().size(), size_t(2));
    }

    void enterStoresTheCellBeforeTheKeyHook() {
        DBGrid grid;
        grid.setDataSource(source.get());
        grid.setColumns({{"code", "编号"}, {"name", "名称"}, {"qty", "数量"}, {"price", "单价"}});
        grid.show();
        QVERIFY(QTest::qWaitForWindowExposed(&grid));
        int hookColumn = -1;
        double qtyAtHook = -1;
        grid.setKeyPressHook([&](QKeyEvent& key, int column) {
            if (!isEnterKey(key)) return false;
            hookColumn = column;
            qtyAtHook = ds->FieldByName("qty").AsFloat();
            grid.setSelectedIndex(3);
            return true;
        });
        QModelIndex cell = grid.model()->index(0, 2);
        grid.setCurrentIndex(cell);
        grid.edit(cell);
        auto* editor = grid.viewport()->findChild<QLineEdit*>();
        QVERIFY(editor);
        editor->setText("7");
        QTest::keyClick(editor, Qt::Key_Return);
        QCOMPARE(hookColumn, 2);
        QCOMPARE(qtyAtHook, 7.0);
        QCOMPARE(ds->State(), DataSetState::Edit);
        QCOMPARE(grid.SelectedIndex(), 3);
    }

    void refusedCellKeepsItsEditorAndShowsTheError() {
        DBGrid grid;
        grid.setDataSource(source.get());
        grid.setColumns({{"qty", "数量"}});
        grid.show();
        QVERIFY(QTest::qWaitForWindowExposed(&grid));
        bool hookRan = false;
        grid.setKeyPressHook([&](QKeyEvent&, int) { return hookRan = true; });
        QModelIndex cell = grid.model()->index(0, 0);
        grid.setCurrentIndex(cell);
        grid.edit(cell);
        auto* editor = grid.viewport()->findChild<QLineEdit*>();
        QVERIFY(editor);
        editor->setText("abc");
        QTest::keyClick(editor, Qt::Key_Return);
        QVERIFY(!hookRan);
        QCOMPARE(messages->boxes().size(), size_t(1));
        QCOMPARE(messages->boxes()[0].icon, MessageIcon::Error);
        QVERIFY(grid.viewport()->findChild<QLineEdit*>()->isVisible());
    }

    void drawHookPaintsEveryCellWithItsRecordNumber() {
        DBGrid grid;
        grid.setDataSource(source.get());
        grid.setColumns({{"code", "编号"}, {"name", "名称"}});
        grid.resize(300, 400);
        std::map<int, bool> selectedByRecNo;
        grid.setDrawColumnCellHook([&](DrawCellContext& ctx) {
            if (ctx.column == 0) selectedByRecNo[ctx.recNo] = ctx.selected;
            ctx.brush = ctx.recNo % 2 == 0 ? QColor(226, 228, 191) : QColor(251, 251, 227);
            ctx.DefaultDrawColumnCell();
        });
        ds->setRecNo(2);
        QImage shot = grid.grab().toImage();
        QVERIFY(selectedByRecNo.size() >= 5);
        QVERIFY(selectedByRecNo[2]);
        QVERIFY(!selectedByRecNo[1]);
        QRect odd = grid.visualRect(grid.model()->index(2, 1));  // record 3
        QPoint inside = grid.viewport()->mapTo(&grid, odd.topLeft() + QPoint(odd.width() - 3, 3));
        QCOMPARE(shot.pixelColor(inside), QColor(251, 251, 227));
    }

    void gridKeysInsertAppendDeleteAndCancelRows() {
        DBGrid grid;
        grid.setDataSource(source.get());
        QTest::keyClick(&grid, Qt::Key_Insert);
        QCOMPARE(ds->State(), DataSetState::Insert);
        QCOMPARE(grid.model()->rowCount(), 11);
        QTest::keyClick(&grid, Qt::Key_Escape);
        QCOMPARE(ds->State(), DataSetState::Browse);
        QCOMPARE(grid.model()->rowCount(), 10);

        ds->Last();
        QTest::keyClick(&grid, Qt::Key_Down);
        QCOMPARE(ds->State(), DataSetState::Insert);
        QCOMPARE(ds->RecNo(), 11);
        QTest::keyClick(&grid, Qt::Key_Down);  // nothing typed yet: no second new row
        QCOMPARE(grid.model()->rowCount(), 11);
        ds->Cancel();

        ds->First();
        messages->answerNext(MessageButton::Cancel);
        QTest::keyClick(&grid, Qt::Key_Delete, Qt::ControlModifier);
        QCOMPARE(grid.model()->rowCount(), 10);
        QTest::keyClick(&grid, Qt::Key_Delete, Qt::ControlModifier);
        QCOMPARE(grid.model()->rowCount(), 9);
        QCOMPARE(fieldText("code"), QString("01"));
        QCOMPARE(messages->boxes()[0].buttons, MessageButtons::OkCancel);

        grid.setReadOnly(true);
        QTest::keyClick(&grid, Qt::Key_Insert);
        QCOMPARE(ds->State(), DataSetState::Browse);
    }

    void datePickerUsesTheShortDateFormat() {
        DatePicker picker;
        picker.setDate(QDate(2002, 12, 31));
        QCOMPARE(picker.text(), QString("2002-12-31"));
        QVERIFY(picker.calendarPopup());
        QCOMPARE(shortDateText(QDate(2024, 3, 5)), QString("2024-03-05"));
        QCOMPARE(todayText(), QDate::currentDate().toString("yyyy-MM-dd"));
    }

    void navigatorMovesAndDisablesAtTheEnds() {
        DBNavigator nav;
        nav.setDataSource(source.get());
        QVERIFY(!nav.button(DBNavigator::nbFirst)->isEnabled());
        QVERIFY(!nav.button(DBNavigator::nbPrior)->isEnabled());
        QVERIFY(nav.button(DBNavigator::nbNext)->isEnabled());
        nav.button(DBNavigator::nbLast)->click();
        QCOMPARE(ds->RecNo(), 10);
        QVERIFY(!nav.button(DBNavigator::nbNext)->isEnabled());
        QVERIFY(!nav.button(DBNavigator::nbLast)->isEnabled());
        QVERIFY(nav.button(DBNavigator::nbPrior)->isEnabled());
        nav.button(DBNavigator::nbPrior)->click();
        QCOMPARE(ds->RecNo(), 9);
        ds->Close();
        for (auto b : {DBNavigator::nbFirst, DBNavigator::nbPrior, DBNavigator::nbNext, DBNavigator::nbLast})
            QVERIFY(!nav.button(b)->isEnabled());
    }
};

VELMORA_GUI_TEST_MAIN(DataControlsTest)
#include "DataControlsTest.moc"
