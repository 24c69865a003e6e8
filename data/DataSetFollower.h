#pragma once
// Calls one function whenever a dataset's rows, cursor, state or current values change, for as
// long as it lives: what a window uses to keep controls in step with the row shown.

#include <functional>
#include <utility>

#include "data/ClientDataSet.h"
#include "data/DataSetObserver.h"

namespace velmora {

// dataSet must outlive the follower; changed runs on the thread that changes the dataset.
class DataSetFollower : public DataSetObserver {
  public:
    DataSetFollower(ClientDataSet& dataSet, std::function<void()> changed)
        : dataSet_(dataSet), changed_(std::move(changed)) {
        dataSet_.addObserver(this);
    }
    ~DataSetFollower() override { dataSet_.removeObserver(this); }
    DataSetFollower(const DataSetFollower&) = delete;
    DataSetFollower& operator=(const DataSetFollower&) = delete;

    void dataSetOpened(ClientDataSet&) override { changed_(); }
    void dataSetClosed(ClientDataSet&) override { changed_(); }
    void scrolled(ClientDataSet&) override { changed_(); }
    void stateChanged(ClientDataSet&) override { changed_(); }
    void recordChanged(ClientDataSet&, int) override { changed_(); }
    void dataChanged(ClientDataSet&) override { changed_(); }

  private:
    ClientDataSet& dataSet_;
    std::function<void()> changed_;
};

}  // namespace velmora
