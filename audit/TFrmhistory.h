#pragma once
// The history window (历史): every audit row of one record, newest first, with its time, user,
// action and the changes in plain words; an order's lines' rows with it, each saying which line.

#include <QString>
#include <string>

#include "audit/OrderLineNames.h"
#include "widgets/DialogForm.h"

class QLabel;
class QTableWidget;

namespace velmora {

class ClientSession;

// The record whose history is asked for.
struct HistorySubject {
    std::string table;     // kh, ywy, ch, chfl, xsdtb
    std::string key;       // the record's key: khid, ywyid, chid, chflid, xsdid
    QString name;          // what the window title adds to the key (a customer's name, say); may be empty
    OrderLineNames lines;  // for an order: how its lines are named
};

// Modal; reads the rows from the server each time it is shown. Needs the right view_audit, which
// the server checks.
class TFrmhistory : public DialogForm {
    Q_OBJECT

  public:
    TFrmhistory(ClientSession& session, QWidget* parent);

    QLabel* Label1 = nullptr;             // how many rows
    QTableWidget* HistoryGrid = nullptr;  // 时间, 用户, 操作, 内容
    BitBtn* BitBtn1 = nullptr;            // 关闭

    // Reads the subject's rows and shows them; a refusal of the server is shown as it gives it
    // instead, and the window stays closed.
    void ShowHistory(const HistorySubject& subject);

  protected:
    // Over the window it was opened from, its rows as high as their lines.
    void FormShow() override;

  private:
    // False when the server refused; the refusal was shown.
    bool readRows(const HistorySubject& subject);

    ClientSession& session_;
};

// Whether the user is offered 历史 at all: the server refuses everyone else.
bool mayReadHistory(const ClientSession& session);

// Shows the history of subject in a window of its own over parent.
void showRecordHistory(ClientSession& session, QWidget* parent, const HistorySubject& subject);

}  // namespace velmora
