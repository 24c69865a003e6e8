#pragma once

namespace velmora {

class ClientDataSet;

// What a dataset announces to the controls bound to it. Row numbers are positions in the
// dataset's view (0-based), valid at the moment of the call. Callbacks run on the thread that
// changed the dataset and must not destroy it.
class DataSetObserver {
  public:
    virtual ~DataSetObserver() = default;

    virtual void dataSetOpened(ClientDataSet&) {}
    virtual void dataSetClosed(ClientDataSet&) {}
    // The cursor moved to another row (or the row under it was replaced).
    virtual void scrolled(ClientDataSet&) {}
    // Browse, edit, insert or inactive.
    virtual void stateChanged(ClientDataSet&) {}
    // A value of the current row changed: field is the field's index, or -1 for the whole row.
    virtual void recordChanged(ClientDataSet&, int /*field*/) {}
    // The rows, their order or the fields changed wholesale; read everything again.
    virtual void dataChanged(ClientDataSet&) {}
    virtual void rowsAboutToBeInserted(ClientDataSet&, int /*first*/, int /*count*/) {}
    virtual void rowsInserted(ClientDataSet&, int /*first*/, int /*count*/) {}
    virtual void rowsAboutToBeRemoved(ClientDataSet&, int /*first*/, int /*count*/) {}
    virtual void rowsRemoved(ClientDataSet&, int /*first*/, int /*count*/) {}
};

}  // namespace velmora
