// Lifecycle, fields and the calls on the provider.
#include "data/ClientDataSet.h"

#include <algorithm>

#include "data/ChangeLog.h"
#include "transport/Bytes.h"
#include "transport/Errors.h"

namespace velmora {

namespace {
const char* const kClosed = "Cannot perform this operation on a closed dataset";
// A result of at least this many rows, or of this many bytes, hands its memory back to the system
// when it closes.
constexpr size_t kLargeResultRows = 50000;
constexpr size_t kLargeResultBytes = size_t(8) << 20;
}  // namespace

ClientDataSet::ClientDataSet(std::string name) : name_(std::move(name)) {}

ClientDataSet::~ClientDataSet() {
    for (ClientDataSet* d : details_) d->master_ = nullptr;
    if (master_) {
        auto& siblings = master_->details_;
        siblings.erase(std::remove(siblings.begin(), siblings.end(), this), siblings.end());
    }
}

Field& ClientDataSet::addPersistentField(FieldDef def) {
    if (Active()) throw VelmoraError("Cannot add a field to an open dataset");
    if (findField(persistent_, def.name) >= 0)
        throw VelmoraError(formatText("Duplicate field name '%s'", def.name.c_str()));
    persistent_.push_back(def);
    int index = static_cast<int>(fields_.size());
    std::string component = name_ + def.name;
    fields_.push_back(std::make_unique<Field>(*this, std::move(def), index, std::move(component)));
    return *fields_.back();
}

void ClientDataSet::setDataSetField(ClientDataSet& master, std::string fieldName) {
    if (Active() || master.Active()) throw VelmoraError("Cannot bind a nested dataset while open");
    if (master_) {
        auto& siblings = master_->details_;
        siblings.erase(std::remove(siblings.begin(), siblings.end(), this), siblings.end());
    }
    master_ = &master;
    dataSetFieldName_ = std::move(fieldName);
    master.details_.push_back(this);
}

Field* ClientDataSet::FindField(std::string_view name) {
    for (auto& f : fields_)
        if (sameName(f->FieldName(), name)) return f.get();
    return nullptr;
}

Field& ClientDataSet::FieldByName(std::string_view name) {
    if (Field* f = FindField(name)) return *f;
    throw VelmoraError(
        formatText("%s: Field '%.*s' not found", name_.c_str(), static_cast<int>(name.size()), name.data()));
}

void ClientDataSet::buildFields(const RowLayout& layout) {
    const FieldDefs& columns = layout.fields();
    if (!persistent_.empty()) {
        for (auto& f : fields_) {
            int column = findField(columns, f->FieldName());
            if (column < 0)
                throw VelmoraError(
                    formatText("%s: Field '%s' not found", name_.c_str(), f->FieldName().c_str()));
            FieldType actual = columns[static_cast<size_t>(column)].type;
            if (actual != f->DataType())
                throw VelmoraError(formatText("Type mismatch for field '%s', expecting: %s actual: %s",
                                              f->FieldName().c_str(), fieldTypeName(f->DataType()),
                                              fieldTypeName(actual)));
        }
        for (auto& f : fields_) f->rebind(findField(columns, f->FieldName()));
        return;
    }
    bool same = fields_.size() == columns.size();
    for (size_t i = 0; same && i < columns.size(); ++i) {
        const FieldDef& had = fields_[i]->def();
        same = had.name == columns[i].name && had.type == columns[i].type && had.size == columns[i].size &&
               had.flags == columns[i].flags;
    }
    if (same) return;
    // Other columns: new fields, keeping the edit mask of a field that comes back by name.
    std::vector<std::unique_ptr<Field>> fresh;
    for (size_t i = 0; i < columns.size(); ++i) {
        FieldDef def = columns[i];
        def.nested.clear();
        auto f = std::make_unique<Field>(*this, std::move(def), static_cast<int>(i), name_ + columns[i].name);
        f->rebind(static_cast<int>(i));
        if (Field* old = FindField(columns[i].name)) f->setEditMask(old->EditMask());
        fresh.push_back(std::move(f));
    }
    fields_ = std::move(fresh);
}

void ClientDataSet::bindFilterAndIndex(const RowLayout& layout, FilterExpression* filter,
                                       IndexKey* index) const {
    if (filter) filter->bind(layout);
    if (index) index->bind(layout);
}

void ClientDataSet::loadPacket(DataPacket packet, int keepPosition) {
    // Rows without nested ones are kept with their texts shared: a large list repeats its names
    // and codes from line to line. Orders with their lines keep the packet as it came.
    RowLayoutPtr layout = packet.layout->hasNested() ? packet.layout : packet.layout->withSharedTexts();
    auto filter = std::make_unique<FilterExpression>(filterText_);
    auto index = std::make_unique<IndexKey>(indexText_);
    bindFilterAndIndex(*layout, filtered_ ? filter.get() : nullptr, index.get());
    buildFields(*layout);
    auto store = std::make_unique<RecordStore>(layout);
    store->load(std::move(packet));
    detachDetails();
    filter_ = std::move(filter);
    index_ = std::move(index);
    ownStore_ = std::move(store);
    layout_ = std::move(layout);
    attachStore(ownStore_.get(), keepPosition);
}

void ClientDataSet::Open() {
    if (Active()) return;
    if (master_) {
        if (!master_->Active()) master_->Open();
        bindToMaster();
        return;
    }
    DataPacket packet =
        packetRecords_ > 0 ? provider_.openPart(commandText_, packetRecords_) : provider_.open(commandText_);
    loadPacket(std::move(packet), 0);
    fetched_ = true;
    state_ = DataSetState::Browse;
    notify(Notice::Opened);
    notify(Notice::State);
}

int ClientDataSet::FetchMore(int count) {
    checkActive();
    if (master_ || AllFetched() || count <= 0) return 0;
    DataPacket packet = provider_.nextPart(count);
    uint32_t firstId = ownStore_->idLimit();
    size_t added = packet.rows.size();
    ownStore_->append(std::move(packet));
    showAppended(firstId, added);
    // The buffers that carried a large result's parts lie free between the rows now; once the
    // last part is in, their pages go back to the system, as they do when the rows are closed.
    if (AllFetched() && ownStore_->idLimit() >= kLargeResultRows) releaseFreeMemory();
    return static_cast<int>(added);
}

void ClientDataSet::OpenPacket(Bytes packet) {
    Close();
    loadPacket(decodeDataPacket(std::move(packet)), 0);
    fetched_ = false;  // no provider holds a command for these rows: closing resets none
    state_ = DataSetState::Browse;
    notify(Notice::Opened);
    notify(Notice::State);
}

void ClientDataSet::Close() {
    if (!Active()) return;
    for (ClientDataSet* d : details_) d->Close();
    state_ = DataSetState::Inactive;
    // Rows by the hundred thousand, or tens of megabytes of them (orders with their nested lines),
    // leave their pages to the system, not to the heap's free lists or the warm buffers.
    const bool large = ownStore_ && (ownStore_->visibleCount() >= kLargeResultRows ||
                                     ownStore_->packetBytes() >= kLargeResultBytes);
    buffer_.clear();
    modified_ = false;
    nestedModified_ = false;
    view_.reset(nullptr, nullptr, nullptr);
    store_ = nullptr;
    ownStore_.reset();
    layout_.reset();
    pos_ = -1;
    bof_ = eof_ = true;
    if (large) releaseFreeMemory();
    notify(Notice::Closed);
    notify(Notice::State);
    if (fetched_) {
        fetched_ = false;
        try {
            provider_.reset();
        } catch (const SocketConnectionError&) {
            // The connection that held the provider's cursor is gone, and the cursor with it.
        } catch (const SocketError&) {
        }
    }
}

void ClientDataSet::checkActive() const {
    if (!Active()) throw VelmoraError(kClosed);
}

void ClientDataSet::checkHasRow() const {
    if (pos_ < 0) throw VelmoraError("Cannot perform this operation on an empty dataset");
}

ClientDataSet& ClientDataSet::top() {
    ClientDataSet* ds = this;
    while (ds->master_) ds = ds->master_;
    return *ds;
}

int ClientDataSet::ChangeCount() const {
    const ClientDataSet* ds = this;
    while (ds->master_) ds = ds->master_;
    return ds->ownStore_ ? static_cast<int>(ds->ownStore_->changeCount()) : 0;
}

void ClientDataSet::CancelUpdates() {
    if (master_) return top().CancelUpdates();
    if (!Active()) return;
    Cancel();
    detachDetails();
    int keep = pos_;
    ownStore_->cancelUpdates();
    attachStore(ownStore_.get(), keep);
    notify(Notice::Data);
    notify(Notice::Scrolled);
    rebindDetails();
}

int ClientDataSet::ApplyUpdates(int maxErrors) {
    if (master_) return top().ApplyUpdates(maxErrors);
    checkActive();
    CheckBrowseMode();
    if (!ownStore_->hasChanges()) return 0;
    ChangePacket sent;
    Bytes delta = ChangeLog::encode(*ownStore_, sent);
    ProviderClient::ApplyResult result = provider_.applyUpdates(std::move(delta), maxErrors);
    bool rolledBack = result.failed.rolledBack || (maxErrors >= 0 && result.errorCount > maxErrors);
    // Failures the answer counts but does not name cannot be told from the records that were
    // applied; then nothing is merged, so no change is lost.
    bool unnamedFailures = result.errorCount > static_cast<int32_t>(result.failed.failed.size());
    detachDetails();
    uint32_t current = pos_ >= 0 ? view_.at(static_cast<size_t>(pos_)) : 0;
    int keep = pos_;
    ChangeLog::reconcile(*ownStore_, sent, result.failed, rolledBack || unnamedFailures);
    if (!result.failed.updated.empty()) {
        view_.rebuild();
        int at = pos_ >= 0 ? view_.find(current) : -1;
        attachStore(ownStore_.get(), at >= 0 ? at : keep);
        notify(Notice::Data);
    }
    rebindDetails();
    if (rolledBack) {
        std::string message = result.failed.failed.empty()
                                  ? formatText("Apply rolled back: %d records failed", result.errorCount)
                                  : result.failed.failed.front().message;
        throw RemoteError(message);  // the server's own text, such as the database's
    }
    return result.errorCount;
}

std::string ClientDataSet::UpdateError() const {
    if (!store_ || pos_ < 0) return std::string();
    const std::string* e = store_->error(view_.at(static_cast<size_t>(pos_)));
    return e ? *e : std::string();
}

void ClientDataSet::Refresh() {
    if (master_) return top().Refresh();
    checkActive();
    CheckBrowseMode();
    if (ownStore_->hasChanges()) throw VelmoraError("Must apply updates before refreshing data");
    int32_t count = ownStore_->complete() ? -1 : static_cast<int32_t>(ownStore_->visibleCount());
    DataPacket packet = provider_.refresh(count);
    loadPacket(std::move(packet), pos_);
    notify(Notice::Data);
    notify(Notice::Scrolled);
    rebindDetails();
}

void ClientDataSet::Reattach() {
    if (!Active() || master_ || !provider_.hasSource()) return;
    bool editing = state_ != DataSetState::Browse ||
                   std::any_of(details_.begin(), details_.end(),
                               [](const ClientDataSet* d) { return d->State() != DataSetState::Browse; });
    if (editing || ownStore_->changeCount() > 0) {
        provider_.restore(commandText_);
        return;
    }
    DataPacket packet = provider_.open(commandText_);
    loadPacket(std::move(packet), pos_);
    fetched_ = true;
    notify(Notice::Data);
    notify(Notice::Scrolled);
    rebindDetails();
}

void ClientDataSet::Execute() {
    provider_.execute(commandText_);
}

}  // namespace velmora
