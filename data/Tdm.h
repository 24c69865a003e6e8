#pragma once

#include <vector>

#include "data/ClientDataSet.h"
#include "data/DataSetUsers.h"
#include "data/DataSource.h"
#include "data/ProviderSource.h"

namespace velmora {

class SocketConnection;

// The data module: the twelve client datasets and eight data sources every window shares, with
// their design-time settings. All datasets start closed.
class Tdm {
  public:
    // Every dataset with a provider asks source for the provider interface.
    explicit Tdm(const ProviderSource& source);
    // The datasets reach the server through connection, which must outlive the module.
    explicit Tdm(SocketConnection& connection);
    Tdm(const Tdm&) = delete;
    Tdm& operator=(const Tdm&) = delete;

    ClientDataSet ClientDataSetch{"ClientDataSetch"};
    ClientDataSet ClientDataSetkh{"ClientDataSetkh"};
    ClientDataSet ClientDataSetywy{"ClientDataSetywy"};
    ClientDataSet ClientDataSetxsdtb{"ClientDataSetxsdtb"};
    ClientDataSet ClientDataSetxsdzb{"ClientDataSetxsdzb"};
    ClientDataSet ClientDataSetchfl{"ClientDataSetchfl"};
    ClientDataSet ClientDataSetchfl_index{"ClientDataSetchfl_index"};
    ClientDataSet ClientDataSetxsdzb2{"ClientDataSetxsdzb2"};
    ClientDataSet ClientDataSetxsdview{"ClientDataSetxsdview"};
    ClientDataSet ClientDataSetxsdview2{"ClientDataSetxsdview2"};
    ClientDataSet ClientDataSetxsdtb2{"ClientDataSetxsdtb2"};
    ClientDataSet ClientDataSethz{"ClientDataSethz"};

    DataSource DataSourcech{"DataSourcech", &ClientDataSetch};
    DataSource DataSourcekh{"DataSourcekh", &ClientDataSetkh};
    DataSource DataSourceywy{"DataSourceywy", &ClientDataSetywy};
    DataSource DataSourcexsdtb{"DataSourcexsdtb", &ClientDataSetxsdtb};
    DataSource DataSourcexsdzb{"DataSourcexsdzb", &ClientDataSetxsdzb};
    DataSource DataSourcechfl{"DataSourcechfl", &ClientDataSetchfl};
    DataSource DataSourcexsdview{"DataSourcexsdview", &ClientDataSetxsdview};
    DataSource DataSourcehz{"DataSourcehz", &ClientDataSethz};

    // Which open windows use which dataset: a window closing closes only what no other uses.
    DataSetUsers Users;

    // The twelve datasets and eight data sources, in the module's order.
    std::vector<ClientDataSet*> dataSets();
    std::vector<DataSource*> dataSources();

    // The persistent fields of ClientDataSetxsdtb.
    Field& ClientDataSetxsdtbxsdid() { return ClientDataSetxsdtb.Fields(0); }
    Field& ClientDataSetxsdtbkhid() { return ClientDataSetxsdtb.Fields(1); }
    Field& ClientDataSetxsdtbkhname() { return ClientDataSetxsdtb.Fields(2); }
    Field& ClientDataSetxsdtbywyid() { return ClientDataSetxsdtb.Fields(3); }
    Field& ClientDataSetxsdtbywyname() { return ClientDataSetxsdtb.Fields(4); }
    Field& ClientDataSetxsdtbusername() { return ClientDataSetxsdtb.Fields(5); }
    Field& ClientDataSetxsdtbshrname() { return ClientDataSetxsdtb.Fields(6); }
    Field& ClientDataSetxsdtbischeck() { return ClientDataSetxsdtb.Fields(7); }
    Field& ClientDataSetxsdtbADOQueryxsdzb() { return ClientDataSetxsdtb.Fields(8); }
    Field& ClientDataSetxsdtbrq() { return ClientDataSetxsdtb.Fields(9); }
};

// The one data module of the client, set by the program at start-up.
inline Tdm* dm = nullptr;

}  // namespace velmora
