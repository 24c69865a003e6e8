#pragma once
// A sales order typed but not saved, kept on this workstation when the user quits without the
// server (or chooses to): the header's boxes and the lines as typed, one file per server and
// user, offered again at that user's next login there. A draft is only ever typed back into the
// invoicing window; what reaches the server goes through its checks like any order.

#include <QString>
#include <optional>
#include <vector>

namespace velmora {

struct OrderDraftLine {
    QString chid, chname, ggxh, jldw;
    // As typed; empty when the cell was left empty.
    QString quantity, price, money;
};

struct OrderDraft {
    bool changedOrder = false;  // a stored order being changed, rather than a new one
    QString number;             // xsdid
    QString date;               // rq
    QString customer, customerName, salesman, salesmanName;
    std::vector<OrderDraftLine> lines;

    QByteArray toJson() const;
    // Null for text that is no draft (damaged, or of another kind).
    static std::optional<OrderDraft> fromJson(const QByteArray& json);
};

// Where the draft of user's work against server ("10.0.0.9:211") is kept: under the user's data
// folder, one file per server and user.
QString orderDraftPath(const QString& server, const QString& user);
// Writes the draft whole or not at all (a crash midway leaves the previous file). False, with
// the reason in error, when it could not be written.
bool saveOrderDraft(const QString& path, const OrderDraft& draft, QString* error = nullptr);
// The draft kept at path, or null when there is none (or it cannot be read).
std::optional<OrderDraft> loadOrderDraft(const QString& path);
void removeOrderDraft(const QString& path);

}  // namespace velmora
