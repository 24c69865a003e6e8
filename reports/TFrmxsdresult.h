#pragma once
// The sales order list result window.

#include <QTimer>

#include "reports/ReportResultForm.h"

namespace velmora {

class ClientSession;
class Tdm;

// The sales order list result window: the order lines the query selected, in a grid with
// alternating row colours, and their totals. Created by the query dialog; it closes the rows'
// dataset when it closes. A large result is shown from its first part on while the rest comes
// in, part by part between the window's events; 取消 or Esc stops it, and the window closes
// rather than show a part of the rows as the list.
class TFrmxsdresult : public ReportResultForm {
    Q_OBJECT

  public:
    // Rows of the first part of the list: a screenful and more, there before the rest (0: every
    // row at once, as a benchmark's baseline).
    static inline int FirstPartRows = 200;
    // The most rows one later part brings; the parts grow to it from a few thousand.
    static inline int MostRowsAPart = 20000;
    // While set, the window asks for no further part (a test looks at a list that is filling in).
    static inline bool HoldBack = false;

    TFrmxsdresult(QWidget* owner, ClientSession& session);

    // Shows the session's list totals: at creation, and again when a later query reuses the
    // window.
    void ShowTotals();
    // Brings in the rows the query's open left for later, then sums and shows the totals; at
    // once when every row is there already.
    void FetchRows();
    // Stops bringing in rows: the server forgets the result, and the window closes.
    void CancelFetch();
    bool Fetching() const { return fetchTimer_.isActive() || fetching_; }

    QLabel* LabelFetch = nullptr;   // rows so far
    QToolButton* n_stop = nullptr;  // 取消 while rows come in

  protected:
    void FormClose(CloseAction& action) override;
    void keyPressEvent(QKeyEvent* event) override;

  private:
    void fetchStep();
    void finishFetch();
    void abandonFetch();
    void showProgress(bool on);

    ClientSession& session_;
    Tdm& dm;
    QTimer fetchTimer_;
    int partRows_ = 0;
    bool fetching_ = false;
};

inline TFrmxsdresult* Frmxsdresult = nullptr;

}  // namespace velmora
