#pragma once
// The sales invoice as a printout.

namespace velmora {

class Tdm;
struct PrintSheet;

// The current order of data.ClientDataSetxsdtb as a sales invoice: number, date, customer and
// salesman under the title 销售发票; its lines (item code, name, model, unit, quantity, unit price,
// amount) with the total quantity and amount; who made and who audited it; an order not approved
// carries the stamp 未审核. The lines are copied,
// so the sheet stays valid whatever the datasets do afterwards.
PrintSheet invoiceSheet(Tdm& data);

}  // namespace velmora
