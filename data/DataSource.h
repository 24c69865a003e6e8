#pragma once

#include <string>

namespace velmora {

class ClientDataSet;

// Connects data-aware controls to a dataset; the controls observe DataSet().
class DataSource {
  public:
    DataSource(std::string name, ClientDataSet* dataSet) : name_(std::move(name)), dataSet_(dataSet) {}

    const std::string& Name() const { return name_; }
    ClientDataSet* DataSet() const { return dataSet_; }
    void setDataSet(ClientDataSet* dataSet) { dataSet_ = dataSet; }

  private:
    std::string name_;
    ClientDataSet* dataSet_;
};

}  // namespace velmora
