#pragma once

#include <QString>
#include <memory>
#include <vector>

#include "widgets/MdiChildForm.h"

class QLabel;

namespace velmora {

class ClientDataSet;
class ClientSession;
class DataSetFollower;
class DataSetUsers;
class DBEdit;
class DBGrid;
class DataSource;
class MaintenanceBar;
class Panel;

// What the customer and salesman windows share: the button bar, a grid of every row that takes no
// input, and a bottom panel 140 pixels high with the labelled edit boxes of one row in two
// columns. Every save and delete is applied to the server at once.
class RecordListForm : public MdiChildForm {
    Q_OBJECT

  public:
    struct FieldDef {
        const char* field;
        const char* label;        // beside the edit box
        const char* columnTitle;  // over the grid column
    };

    MaintenanceBar* Panel1;
    Panel* Panel2;  // holds the grid
    Panel* Panel3;  // holds the edit boxes
    DBGrid* DBGrid1;
    std::vector<QLabel*> Labels;   // Label1 ...
    std::vector<DBEdit*> DBEdits;  // DBEdit1 ..., in the order of the fields

    void n_insertClick();
    void n_editClick();
    virtual void n_saveClick() = 0;
    void n_cancelClick();
    void n_deleteClick();
    void n_refreshClick();
    // The history (历史) of the row shown.
    void n_historyClick();
    void n_exitClick();

    bool hasUnsavedChanges() const override;

  protected:
    // Builds the window on source's dataset; Enter in a box moves to the next, but for the last.
    RecordListForm(QWidget* owner, DataSource& source, const std::vector<FieldDef>& fields);
    ~RecordListForm() override;  // out of line: the follower's type is complete there

    // Offers 历史 for the rows of table, found by keyField and titled with nameField as well.
    void offerHistory(ClientSession& session, const char* table, const char* keyField, const char* nameField);

    ClientDataSet& dataSet() const;
    // Opens the dataset as one of its users: closing the window closes it only when no other
    // open window (销售开票, say) still uses it.
    void holdDataSet(DataSetUsers& users);
    void ToggleEditState();

    void FormShow() override;
    void FormActivate() override { Maximize(); }
    void FormClose(CloseAction& action) override;

  private:
    // First, prior, next and last row by the record navigator's keys, in browse state.
    void addRecordKeys();

    DataSource& source_;
    DataSetUsers* users_ = nullptr;
    bool shown_ = false;
    ClientSession* session_ = nullptr;  // set when history is offered
    const char* historyTable_ = "";
    const char* historyKey_ = "";
    const char* historyName_ = "";
    std::unique_ptr<DataSetFollower> follower_;  // keeps 历史 in step with the row shown
};

}  // namespace velmora
