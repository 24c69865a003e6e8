#pragma once
// The sales invoicing window.

#include <memory>
#include <optional>
#include <string>

#include "data/ProviderProbe.h"
#include "widgets/MdiChildForm.h"

class QLabel;
class QToolButton;
class QKeyEvent;

namespace velmora {

class ClientSession;
class DataSetFollower;
class DBEdit;
class DBGrid;
class DBNavigator;
class Panel;
struct OrderDraft;
struct OrderDraftLine;
struct PickedItem;
class Tdm;

// The invoicing window: a sales order header with its lines, entered, changed and deleted. A
// child window of the main window, at most one open. The order lives in the data module's
// datasets; a new or changed order stays in ClientDataSetxsdtb's change log until it is saved.
class TFrmkp : public MdiChildForm {
    Q_OBJECT

  public:
    TFrmkp(QWidget* owner, ClientSession& session);
    ~TFrmkp() override;  // out of line: the follower's type is complete there

    Panel* Panel1 = nullptr;  // tool bar
    QToolButton* n_insert = nullptr;
    QToolButton* n_edit = nullptr;
    QToolButton* n_delete = nullptr;
    QToolButton* n_cancel = nullptr;
    QToolButton* n_save = nullptr;
    QToolButton* n_print = nullptr;
    QToolButton* n_refresh = nullptr;
    QToolButton* n_insertone = nullptr;
    QToolButton* n_deleteone = nullptr;
    QToolButton* n_approve = nullptr;   // 审核
    QToolButton* n_withdraw = nullptr;  // 弃审
    QToolButton* n_exit = nullptr;

    Panel* Panel2 = nullptr;  // navigation
    DBNavigator* DBNavigator1 = nullptr;
    QLabel* Label7 = nullptr;
    QLabel* Label8 = nullptr;

    Panel* Panel3 = nullptr;  // header
    QLabel* Label1 = nullptr;
    QLabel* Label2 = nullptr;
    QLabel* Label3 = nullptr;
    QLabel* Label4 = nullptr;
    QLabel* Label5 = nullptr;
    QLabel* Label6 = nullptr;
    DBEdit* DBEdit1 = nullptr;  // xsdid
    DBEdit* DBEdit2 = nullptr;  // rq
    DBEdit* DBEdit3 = nullptr;  // khid
    DBEdit* DBEdit4 = nullptr;  // khname
    DBEdit* DBEdit5 = nullptr;  // ywyid
    DBEdit* DBEdit6 = nullptr;  // ywyname

    Panel* Panel4 = nullptr;  // lines
    DBGrid* DBGrid1 = nullptr;

    Panel* Panel5 = nullptr;  // footer
    QLabel* Label9 = nullptr;
    QLabel* Label10 = nullptr;
    DBEdit* DBEdit7 = nullptr;         // username
    DBEdit* DBEdit8 = nullptr;         // shrname
    QToolButton* n_history = nullptr;  // 历史, beside the approver

    // Orders.
    void n_insertClick();
    void n_editClick();
    void n_deleteClick();
    void n_cancelClick();
    void n_saveClick();
    void n_printClick();
    void n_exitClick();
    // 审核 and 弃审 of the order shown, each after a confirmation; the server decides.
    void n_approveClick();
    void n_withdrawClick();
    // The history (历史) of the order shown, its lines' with it.
    void n_historyClick();
    // Header boxes; each returns true when it swallowed the key.
    bool DBEdit1KeyPress(QKeyEvent& key);
    bool DBEdit2KeyPress(QKeyEvent& key);
    bool DBEdit3KeyPress(QKeyEvent& key);
    bool DBEdit5KeyPress(QKeyEvent& key);
    void DBEdit3DblClick();
    void DBEdit5DblClick();
    // Lines.
    void n_insertoneClick();
    void n_deleteoneClick();
    bool DBGrid1KeyPress(QKeyEvent& key, int column);

    // An order being entered or changed, or one the server refused, is not saved yet.
    bool hasUnsavedChanges() const override;
    // An order is being entered or changed.
    bool editingOrder() const { return editing_; }
    // The order being entered or changed, as typed so far (a cell still open included); null
    // when none is.
    std::optional<OrderDraft> unsavedOrder();
    // Types draft into the window as the user would: 增加 (or 修改 of the stored order it
    // changed), the header's boxes, and the lines with their numbers. The order is left in edit
    // state for the user to check and save. False when it could not be begun (an approved
    // order, say; the reason is shown).
    bool restoreDraft(const OrderDraft& draft);

  protected:
    void FormShow() override;
    void FormActivate() override { Maximize(); }
    void FormClose(CloseAction& action) override;

  private:
    ClientSession& session_;
    Tdm& dm;

    void buildToolBar();
    void buildNavigation();
    void buildHeader();
    void buildLines();
    void buildFooter();
    void connectHandlers();
    void FormCreate();

    // Flips every state-dependent property between browse and edit.
    void ToggleEditState();
    // Stores, respectively drops, what is typed in a grid cell still open for editing, and
    // closes it, so that the rows alone hold the order. False when the cell's text was refused
    // (the refusal is shown, the cell stays open).
    bool commitGridEditor();
    void discardGridEditor();
    // Gives every line of the current order its header's invoice number.
    void alignLineNumbers();
    // Whether the order shown is approved (审核): locked against changes and deletion.
    bool currentOrderApproved();
    // Offers 审核, 弃审, 册除 and 历史 as the user's rights and the order shown allow: approval and
    // history only in browse state with an order shown. Called whenever the state or the order shown changes.
    void UpdateOrderButtons();
    // From now on until the window goes, UpdateOrderButtons follows the order datasets.
    void followOrders();
    // Asks question, then has the server approve (or withdraw the approval of) the order shown,
    // and shows its new state; the server's refusal is shown as it gives it.
    void changeApproval(bool approve, const QString& question);
    // Fetches the approval columns of the order shown again, keeping the user's place.
    void refetchApproval(const std::string& number);
    // Queries of one order's stored header or lines, on datasets of their own: the window never
    // holds every stored order or line.
    ProviderProbe storedOrders();
    ProviderProbe storedLines();
    // Looks the code in box up through ClientDataSetkh; true when found, with the name in nameBox.
    bool lookUpCode(DBEdit* box, const std::string& sql, const char* nameField, DBEdit* nameBox,
                    const QString& unknownText);
    void addPickedLine(const PickedItem& item);
    // The quantity, price and amount of the current line as the draft holds them.
    void writeDraftNumbers(const OrderDraftLine& line);

    bool editing_ = false;                       // the order is being entered or modified
    std::unique_ptr<DataSetFollower> follower_;  // keeps the order buttons in step with the order
};

// True while the pending change is a new order, false while it is a modification.
inline bool IsInserting = false;

inline TFrmkp* Frmkp = nullptr;

}  // namespace velmora
