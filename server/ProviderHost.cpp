#include "ProviderHost.h"

#include "ChangeApplier.h"
#include "Errors.h"
#include "RecordsPacket.h"

namespace velmora::server {

const ProviderDef& ProviderHost::provider(const std::string& name) const {
    const ProviderDef* def = findProvider(name);
    if (!def) throw VelmoraError(formatText("Provider not exported: %s", name.c_str()));
    return *def;
}

const std::string& ProviderHost::currentCommand(const std::string& providerName) {
    const ProviderDef& def = provider(providerName);
    auto [it, added] = commands_.try_emplace(def.name, def.defaultQuery);
    return it->second;
}

Variant ProviderHost::RemoteGetRecords(const std::string& providerName, int32_t count, int32_t& recsOut, int32_t,
                                       const std::string& commandText, Variant&, Variant&) {
    const ProviderDef& def = provider(providerName);
    if (!commandText.empty()) commands_[def.name] = commandText;
    recsOut = 0;
    if (count == 0) return Variant::null();  // a reset: the command text stays for the next refresh
    const std::string& sql = currentCommand(def.name);
    if (def.nestsOrderLines) {
        // Headers and lines from one snapshot.
        db_.beginRead();
        Transaction tx(db_, Transaction::kAlreadyBegun);
        Bytes packet = buildRecordsPacket(db_, sql, def, recsOut);
        tx.commit();
        return Variant::byteArray(std::move(packet));
    }
    return Variant::byteArray(buildRecordsPacket(db_, sql, def, recsOut));
}

Variant ProviderHost::RemoteApplyUpdates(const std::string& providerName, const Variant& delta, int32_t maxErrors,
                                         int32_t& errorCount, Variant&) {
    const ProviderDef& def = provider(providerName);
    if (!delta.isByteArray()) throw VelmoraError("Invalid data packet");
    ChangePacket changes = decodeChangePacket(delta.bytes());
    ChangeApplier applier(db_, def);
    FailedRecordsPacket result = applier.apply(changes, maxErrors, errorCount);
    return Variant::byteArray(encodeFailedRecords(result));
}

void ProviderHost::RemoteExecute(const std::string& providerName, const std::string& commandText, Variant&,
                                 Variant&) {
    const ProviderDef& def = provider(providerName);
    const std::string& sql = commandText.empty() ? currentCommand(def.name) : commandText;
    Transaction tx(db_);
    db_.execute(sql, {});
    tx.commit();
}

Variant ProviderHost::RemoteGetProviderNames() {
    SafeArray names;
    names.elementType = VarType::Variant;
    names.bounds.push_back({0, static_cast<int32_t>(providerDefs().size()) - 1});
    for (const ProviderDef& d : providerDefs()) names.items.emplace_back(d.name);
    return Variant::array(std::move(names));
}

Variant ProviderHost::RemoteGetParams(const std::string& providerName, Variant&) {
    provider(providerName);
    return Variant::null();  // no provider of this server takes parameters
}

Variant ProviderHost::RemoteDataRequest(const std::string& providerName, const Variant& data) {
    provider(providerName);
    return data;  // no provider answers custom requests; the data comes back as it went
}

Variant ProviderHost::RemoteRowRequest(const std::string& providerName, const Variant&, int32_t, Variant&) {
    provider(providerName);
    return Variant::null();  // rows always travel whole, so there is nothing to fetch per row
}

}  // namespace velmora::server
