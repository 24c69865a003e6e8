#include "masterdata/RecordListForm.h"

#include <QGridLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QShortcut>
#include <QToolButton>
#include <QVBoxLayout>

#include "audit/TFrmhistory.h"
#include "data/ClientDataSet.h"
#include "data/DataSetFollower.h"
#include "data/DataSetUsers.h"
#include "data/DataSource.h"
#include "masterdata/MaintenanceBar.h"
#include "widgets/ButtonKeys.h"
#include "widgets/Colors.h"
#include "widgets/DBEdit.h"
#include "widgets/DBGrid.h"
#include "widgets/ErrorGuard.h"
#include "widgets/Panel.h"
#include "widgets/Text.h"

namespace velmora {

RecordListForm::RecordListForm(QWidget* owner, DataSource& source, const std::vector<FieldDef>& fields)
    : MdiChildForm(owner), source_(source) {
    Panel1 = new MaintenanceBar(this);

    Panel2 = new Panel(this, Panel::Bevel::None);
    Panel2->setObjectName(QStringLiteral("Panel2"));
    DBGrid1 = new DBGrid(Panel2);
    DBGrid1->setObjectName(QStringLiteral("DBGrid1"));
    DBGrid1->setDataSource(&source);
    std::vector<DBGridColumn> columns;
    columns.reserve(fields.size());
    for (const FieldDef& f : fields)
        columns.push_back({QString::fromLatin1(f.field), QString::fromUtf8(f.columnTitle), 150});
    DBGrid1->setColumns(std::move(columns));
    DBGrid1->setReadOnly(true);
    DBGrid1->setEnabled(false);
    DBGrid1->setColor(clInfoBk());
    auto* gridLayout = new QVBoxLayout(Panel2);
    gridLayout->setContentsMargins(0, 0, 0, 0);
    gridLayout->addWidget(DBGrid1);

    Panel3 = new Panel(this, Panel::Bevel::Raised);
    Panel3->setObjectName(QStringLiteral("Panel3"));
    Panel3->setFixedHeight(140);
    auto* boxes = new QGridLayout(Panel3);
    boxes->setContentsMargins(30, 16, 30, 16);
    boxes->setHorizontalSpacing(10);
    boxes->setVerticalSpacing(12);
    for (size_t i = 0; i < fields.size(); ++i) {
        auto* box = new DBEdit(Panel3);
        box->setObjectName(QStringLiteral("DBEdit%1").arg(i + 1));
        box->setDataSource(&source);
        box->setDataField(QString::fromLatin1(fields[i].field));
        box->setEnabled(false);
        box->setColor(clInfoBk());
        // 220 pixels where there is room; narrower in a small client area, so that the window still
        // fits it when maximised instead of reaching past its edge (where it would count as off
        // screen, to a screen reader too).
        box->setMinimumWidth(120);
        box->setMaximumWidth(220);
        box->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
        auto* label = new QLabel(QString::fromUtf8(fields[i].label), Panel3);
        label->setObjectName(QStringLiteral("Label%1").arg(i + 1));
        label->setBuddy(box);
        int row = static_cast<int>(i / 2);
        int column = static_cast<int>(i % 2) * 3;
        boxes->addWidget(label, row, column, Qt::AlignRight);
        boxes->addWidget(box, row, column + 1);
        Labels.push_back(label);
        DBEdits.push_back(box);
    }
    boxes->setColumnMinimumWidth(2, 40);
    boxes->setColumnStretch(1, 1);
    boxes->setColumnStretch(4, 1);
    boxes->setColumnStretch(5, 1);
    for (size_t i = 0; i + 1 < DBEdits.size(); ++i) {
        DBEdit* next = DBEdits[i + 1];
        DBEdits[i]->setKeyPressHook([next](QKeyEvent& key) {
            if (isEnterKey(key)) next->setFocus();
            return false;
        });
    }

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(Panel1);
    layout->addWidget(Panel2, 1);
    layout->addWidget(Panel3);

    Panel1->connectHandlers(this);
    addRecordKeys();
}

void RecordListForm::addRecordKeys() {
    // The grid takes no input in browse state, so the navigator's keys move through the rows.
    const std::pair<const char*, void (ClientDataSet::*)()> moves[] = {{"First", &ClientDataSet::First},
                                                                       {"Prior", &ClientDataSet::Prior},
                                                                       {"Next", &ClientDataSet::Next},
                                                                       {"Last", &ClientDataSet::Last}};
    for (const auto& [name, move] : moves) {
        auto* key = new QShortcut(buttonKey(QString::fromLatin1(name)), this);
        connect(key, &QShortcut::activated, this, guardedSlot([this, move = move] {
                    ClientDataSet& rows = dataSet();
                    // A row being entered stays where it is until it is saved or discarded.
                    if (rows.Active() && rows.State() == DataSetState::Browse) (rows.*move)();
                }));
    }
}

RecordListForm::~RecordListForm() = default;

void RecordListForm::offerHistory(ClientSession& session, const char* table, const char* keyField,
                                  const char* nameField) {
    session_ = &session;
    historyTable_ = table;
    historyKey_ = keyField;
    historyName_ = nameField;
    Panel1->setHistoryAllowed(mayReadHistory(session));
    auto follow = [this] {
        ClientDataSet& rows = dataSet();
        Panel1->setRecordShown(rows.Active() && !rows.IsEmpty());
    };
    follower_ = std::make_unique<DataSetFollower>(dataSet(), follow);
    follow();
}

void RecordListForm::n_historyClick() {
    ClientDataSet& rows = dataSet();
    if (!session_ || !rows.Active() || rows.IsEmpty() || rows.State() != DataSetState::Browse) return;
    HistorySubject subject;
    subject.table = historyTable_;
    subject.key = rows.FieldByName(historyKey_).AsString();
    subject.name = toQString(rows.FieldByName(historyName_).AsString());
    showRecordHistory(*session_, this, subject);
}

bool RecordListForm::hasUnsavedChanges() const {
    // A save the server refused leaves its row in the log, in browse state again.
    return Panel1->editing() || dataSet().ChangeCount() > 0;
}

ClientDataSet& RecordListForm::dataSet() const {
    return *source_.DataSet();
}

void RecordListForm::FormShow() {
    // Only the first showing: shown again (restored from an icon, say) while a row is being
    // edited, the window keeps its edit state.
    if (shown_) return;
    shown_ = true;
    for (DBEdit* box : DBEdits) box->setEnabled(false);
    Panel1->setBrowseState();
}

void RecordListForm::holdDataSet(DataSetUsers& users) {
    users.use(this, {&dataSet()});
    users_ = &users;
}

void RecordListForm::FormClose(CloseAction& action) {
    if (users_)
        users_->release(this, {&dataSet()});
    else
        dataSet().Close();
    action = CloseAction::Free;
}

void RecordListForm::ToggleEditState() {
    for (DBEdit* box : DBEdits) box->setEnabled(!box->isEnabled());
    for (DBEdit* box : DBEdits) toggleEditColor(box);
    Panel1->toggleEnabled();
}

void RecordListForm::n_insertClick() {
    ToggleEditState();
    dataSet().Append();
    DBEdits.front()->setFocus();
}

void RecordListForm::n_editClick() {
    ToggleEditState();
    dataSet().Edit();
    DBEdits.front()->setFocus();
}

void RecordListForm::n_cancelClick() {
    // A save the server refused left its row in the change log; discarding drops it as well.
    dataSet().CancelUpdates();
    ToggleEditState();
}

void RecordListForm::n_deleteClick() {
    ClientDataSet& rows = dataSet();
    rows.Delete();
    try {
        rows.ApplyUpdates(0);
    } catch (...) {
        // The row is still on the server: show it again rather than keep a delete nobody sent.
        rows.CancelUpdates();
        throw;
    }
}

void RecordListForm::n_refreshClick() {
    dataSet().Refresh();
}

void RecordListForm::n_exitClick() {
    Close();
}

}  // namespace velmora
