// The invoicing window's drafts: the order being typed taken out of the window, and typed back.
#include <QToolButton>
#include <algorithm>

#include "data/Tdm.h"
#include "sales/OrderDraft.h"
#include "sales/TFrmkp.h"
#include "session/PickedItem.h"
#include "widgets/Text.h"

namespace velmora {

namespace {

QString text(Field& field) {
    return field.IsNull() ? QString() : toQString(field.AsString());
}

void setText(Field& field, const QString& value) {
    if (value.isEmpty())
        field.Clear();
    else
        field.setAsString(toStdString(value));
}

}  // namespace

bool TFrmkp::hasUnsavedChanges() const {
    return editing_ || dm.ClientDataSetxsdtb.ChangeCount() > 0;
}

std::optional<OrderDraft> TFrmkp::unsavedOrder() {
    if (!editing_) return std::nullopt;
    commitGridEditor();  // a refused cell keeps what it held before
    OrderDraft draft;
    draft.changedOrder = !IsInserting;
    draft.number = text(dm.ClientDataSetxsdtbxsdid());
    draft.date = text(dm.ClientDataSetxsdtbrq());
    draft.customer = text(dm.ClientDataSetxsdtbkhid());
    draft.customerName = text(dm.ClientDataSetxsdtbkhname());
    draft.salesman = text(dm.ClientDataSetxsdtbywyid());
    draft.salesmanName = text(dm.ClientDataSetxsdtbywyname());
    ClientDataSet& lines = dm.ClientDataSetxsdzb;
    if (lines.Active()) {
        for (lines.First(); !lines.Eof(); lines.Next()) {
            auto field = [&lines](const char* name) { return text(lines.FieldByName(name)); };
            draft.lines.push_back({field("chid"), field("chname"), field("ggxh"), field("jldw"),
                                   field("quantity1"), field("price1"), field("money1")});
        }
    }
    return draft;
}

void TFrmkp::writeDraftNumbers(const OrderDraftLine& line) {
    ClientDataSet& lines = dm.ClientDataSetxsdzb;
    lines.Edit();
    setText(lines.FieldByName("quantity1"), line.quantity);
    setText(lines.FieldByName("price1"), line.price);
    setText(lines.FieldByName("money1"), line.money);
    lines.Post();
}

bool TFrmkp::restoreDraft(const OrderDraft& draft) {
    if (editing_) return false;
    ClientDataSet& tb = dm.ClientDataSetxsdtb;
    bool stored = false;
    if (draft.changedOrder)
        for (tb.First(); !tb.Eof(); tb.Next())
            if (text(dm.ClientDataSetxsdtbxsdid()) == draft.number) {
                stored = true;
                break;
            }
    ClientDataSet& lines = dm.ClientDataSetxsdzb;
    std::vector<OrderDraftLine> toAdd = draft.lines;
    if (stored) {
        n_editClick();  // refuses an order approved meanwhile, and says so
        if (!editing_) return false;
        // The stored lines the draft kept take its numbers; the others go, as 删行 would. They go
        // after the walk, last first: deleting the last line leaves the cursor on the one before
        // it rather than at the end, so a delete inside the walk would revisit a kept line.
        std::vector<int> gone;
        for (lines.First(); !lines.Eof(); lines.Next()) {
            auto kept = std::find_if(toAdd.begin(), toAdd.end(), [&](const OrderDraftLine& l) {
                return l.chid == text(lines.FieldByName("chid"));
            });
            if (kept == toAdd.end()) {
                gone.push_back(lines.RecNo());
                continue;
            }
            writeDraftNumbers(*kept);
            toAdd.erase(kept);
        }
        for (auto at = gone.rbegin(); at != gone.rend(); ++at) {
            lines.setRecNo(*at);
            lines.Delete();
        }
    } else {
        // A new order, or a changed one deleted meanwhile: entered anew.
        n_insertClick();
        setText(dm.ClientDataSetxsdtbxsdid(), draft.number);
    }
    if (!draft.date.isEmpty()) setText(dm.ClientDataSetxsdtbrq(), draft.date);
    setText(dm.ClientDataSetxsdtbkhid(), draft.customer);
    setText(dm.ClientDataSetxsdtbkhname(), draft.customerName);
    setText(dm.ClientDataSetxsdtbywyid(), draft.salesman);
    setText(dm.ClientDataSetxsdtbywyname(), draft.salesmanName);
    for (const OrderDraftLine& l : toAdd) {
        addPickedLine(PickedItem::of(toStdString(l.chid), toStdString(l.chname), toStdString(l.ggxh),
                                     toStdString(l.jldw)));
        // A line the window refused (the order holds the item already) was reported.
        if (!lines.IsEmpty() && text(lines.FieldByName("chid")) == l.chid) writeDraftNumbers(l);
    }
    if (!lines.IsEmpty()) lines.First();
    return true;
}

}  // namespace velmora
