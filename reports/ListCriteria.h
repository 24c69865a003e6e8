#pragma once
// The criteria of the sales order list and the two statements built from them: the rows and the
// totals of the same selection.

#include <string>
#include <vector>

#include "transport/Errors.h"

namespace velmora {

// 审核状态: every order, only approved ones, or only those not approved.
enum class ApprovalState { All, Approved, NotApproved };

// What the operator entered, as typed; the dates already in the short date format. An empty text
// leaves its criterion out; any other text, blanks alone included, applies it.
struct ListCriteria {
    std::string userName;                         // ComboBox1
    std::string dateFrom;                         // dp1
    std::string dateTo;                           // dp2
    std::string invoiceFrom;                      // Edit3
    std::string invoiceTo;                        // Edit4
    std::string customerCode;                     // Edit5
    std::string salesmanCode;                     // Edit6
    std::string itemCode;                         // Edit7
    std::string quantityFrom;                     // Edit8
    std::string quantityTo;                       // Edit9
    std::string moneyFrom;                        // Edit10
    std::string moneyTo;                          // Edit11
    ApprovalState approval = ApprovalState::All;  // ComboBox2
};

// A quantity or amount bound that is not a number; what() names the box for the operator.
class InvalidBoundError : public VelmoraError {
  public:
    InvalidBoundError(std::string box, const std::string& message)
        : VelmoraError(message), box_(std::move(box)) {}
    // The object name of the offending box ("Edit8" to "Edit11").
    const std::string& box() const { return box_; }

  private:
    std::string box_;
};

// The conditions appended to both statements, each starting with " and". Quoted values have their
// quotes doubled; the numeric bounds go unquoted and must be numbers, else InvalidBoundError (for
// the first bad box in the order of the criteria) and nothing is built. An order is approved when
// it has an approver (shrname neither null nor empty): the view carries no approval flag, and the
// server sets and clears both together.
std::string listCriteriaText(const ListCriteria& criteria);

// The criteria as the printout names them, one text each: the dates always, the others when given
// (the approval state when it is not 全部).
std::vector<std::string> describeListCriteria(const ListCriteria& criteria);

// The choice as the dialog offers it: 全部, 已审核, 未审核.
const char* approvalStateText(ApprovalState state);

// The statement of the rows: every column of the order lines that pass criteriaText.
std::string listRowsStatement(const std::string& criteriaText);

}  // namespace velmora
