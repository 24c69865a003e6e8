#include "fuzz/FuzzProvider.h"

#include "data/ChangePacket.h"
#include "data/DataPacket.h"
#include "data/FailedRecordsPacket.h"
#include "transport/Errors.h"
#include "transport/ProviderDispatch.h"

namespace velmora::fuzz {

namespace {

FieldDefs twoFields() {
    FieldDefs fields(2);
    fields[0].name = "khid";
    fields[0].type = FieldType::String;
    fields[0].size = 50;
    fields[0].flags = kFieldKey;
    fields[1].name = "n";
    fields[1].type = FieldType::Double;
    return fields;
}

// Answers like the application server, without a database: rows of its own, every change
// record refused, the data request echoed.
class EchoProvider : public IProviderServer {
  public:
    Variant RemoteApplyUpdates(const std::string&, const Variant& delta, int32_t, int32_t& errorCount,
                               Variant&) override {
        if (!delta.isByteArray()) throw VelmoraError("Invalid data packet");
        ChangePacket changes = decodeChangePacket(delta.bytes());
        FailedRecordsPacket result;
        for (const ChangeRecord& r : changes.records)
            result.failed.push_back({RecordPath{r.id, {}}, 1, "refused"});
        errorCount = static_cast<int32_t>(result.failed.size());
        if (result.failed.empty()) return Variant::null();
        return Variant::byteArray(encodeFailedRecords(result));
    }
    Variant RemoteGetRecords(const std::string& providerName, int32_t count, int32_t& recsOut, int32_t,
                             const std::string& commandText, Variant&, Variant&) override {
        if (count == 0) return Variant::null();
        DataPacketWriter w(twoFields());
        w.beginRow();
        w.addText(providerName);
        w.addDouble(static_cast<double>(commandText.size()));
        w.endRow();
        recsOut = 1;
        return Variant::byteArray(w.finish());
    }
    Variant RemoteDataRequest(const std::string&, const Variant& data) override { return data; }
    Variant RemoteGetProviderNames() override { return Variant::null(); }
    Variant RemoteGetParams(const std::string&, Variant&) override { return Variant::null(); }
    Variant RemoteRowRequest(const std::string&, const Variant& row, int32_t, Variant&) override {
        return row;
    }
    void RemoteExecute(const std::string&, const std::string&, Variant&, Variant&) override {}
};

class FuzzAppServer : public ProviderDispatch {
  public:
    FuzzAppServer() : ProviderDispatch(provider_) {
        // Members by name, as the server's own: a by-reference value set, texts read.
        addMember(1, "GetSysTime", 1,
                  [](DispatchCall& c) { c.arg(0).assignKeepingRef(Variant::date(37621.5)); });
        addMember(2, "AddUser", 4, [](DispatchCall& c) {
            for (size_t i = 0; i < 4; ++i) c.arg(i).toString();
        });
        // Calls back an object the peer handed over, when this side takes such objects.
        addMember(3, "CallBack", 2, [](DispatchCall& c) {
            const DispatchPtr& target = c.arg(0).dispatchValue();
            if (!target) throw VelmoraError("no object");
            DispParams params;
            params.args.push_back(c.arg(1));
            Variant result;
            ExcepInfo excep;
            checkInvokeStatus(target->invoke(1, 0, 1, params, &result, &excep), excep);
            c.setResult(result);
        });
    }

  private:
    EchoProvider provider_;
};

}  // namespace

ClassRegistry providerClasses() {
    ClassRegistry classes;
    classes.add({kFuzzClassId, kFuzzProgId, true, true, [] { return std::make_shared<FuzzAppServer>(); }});
    return classes;
}

}  // namespace velmora::fuzz
