#include "data/Tdm.h"

#include "transport/DispatchAppServer.h"
#include "transport/SocketConnection.h"

namespace velmora {

namespace {

FieldDef text50(const char* name) {
    return FieldDef{name, FieldType::String, 50, 0, {}};
}

}  // namespace

Tdm::Tdm(const ProviderSource& source) {
    struct Binding {
        ClientDataSet& dataSet;
        const char* provider;
        const char* commandText;
    };
    const Binding bindings[] = {
        {ClientDataSetch, "DataSetProviderch", ""},
        {ClientDataSetkh, "DataSetProviderkh", ""},
        {ClientDataSetywy, "DataSetProviderywy", ""},
        {ClientDataSetxsdtb, "DataSetProviderxsdtb", ""},
        {ClientDataSetchfl, "DataSetProviderchfl", ""},
        {ClientDataSetchfl_index, "DataSetProviderchfl", ""},
        {ClientDataSetxsdzb2, "DataSetProviderxsdzb2", ""},
        {ClientDataSetxsdview, "DataSetProviderxsdview", "select * from xsdview  where xsdid='1'"},
        {ClientDataSetxsdview2, "DataSetProviderxsdview", "select * from xsdview  where xsdid='1'"},
        {ClientDataSetxsdtb2, "DataSetProviderxsdtb2", ""},
        {ClientDataSethz, "DataSetProviderhz",
         "select khname,chname ,sum(quantity1) as sl,  sum(money1) as je from xsdview group by "
         "khname,chname"},
    };
    for (const Binding& b : bindings) {
        b.dataSet.setRemoteServer(source);
        b.dataSet.setProviderName(b.provider);
        b.dataSet.setCommandText(b.commandText);
    }

    ClientDataSetch.setFilter("chflid='53'");
    ClientDataSetch.setFiltered(true);

    for (const char* name : {"xsdid", "khid", "khname", "ywyid", "ywyname", "username", "shrname"})
        ClientDataSetxsdtb.addPersistentField(text50(name));
    ClientDataSetxsdtb.addPersistentField(FieldDef{"ischeck", FieldType::Boolean, 0, 0, {}});
    ClientDataSetxsdtb.addPersistentField(FieldDef{"ADOQueryxsdzb", FieldType::DataSet, 0, 0, {}});
    ClientDataSetxsdtb.addPersistentField(text50("rq"));

    ClientDataSetxsdzb.setDataSetField(ClientDataSetxsdtb, "ADOQueryxsdzb");
}

Tdm::Tdm(SocketConnection& connection)
    : Tdm([&connection]() -> std::shared_ptr<IProviderServer> { return connection.getServer(); }) {}

std::vector<ClientDataSet*> Tdm::dataSets() {
    return {&ClientDataSetch,      &ClientDataSetkh,       &ClientDataSetywy,        &ClientDataSetxsdtb,
            &ClientDataSetxsdzb,   &ClientDataSetchfl,     &ClientDataSetchfl_index, &ClientDataSetxsdzb2,
            &ClientDataSetxsdview, &ClientDataSetxsdview2, &ClientDataSetxsdtb2,     &ClientDataSethz};
}

std::vector<DataSource*> Tdm::dataSources() {
    return {&DataSourcech,    &DataSourcekh,   &DataSourceywy,     &DataSourcexsdtb,
            &DataSourcexsdzb, &DataSourcechfl, &DataSourcexsdview, &DataSourcehz};
}

}  // namespace velmora
