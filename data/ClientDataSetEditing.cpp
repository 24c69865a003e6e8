// Insert, edit, post, cancel, delete, and the binding of nested datasets to their master.
#include <algorithm>

#include "data/Cell.h"
#include "data/ClientDataSet.h"
#include "data/RowWriter.h"
#include "data/ValueText.h"
#include "transport/Errors.h"

namespace velmora {

namespace {
bool editing(DataSetState s) {
    return s == DataSetState::Edit || s == DataSetState::Insert;
}
}  // namespace

void ClientDataSet::CheckBrowseMode() {
    checkActive();
    for (ClientDataSet* d : details_)
        if (d->Active()) d->CheckBrowseMode();
    if (!editing(state_)) return;
    if (Modified())
        Post();
    else
        Cancel();
}

void ClientDataSet::Edit() {
    checkActive();
    if (editing(state_)) return;
    if (view_.empty()) return Insert();
    uint32_t id = view_.at(static_cast<size_t>(pos_));
    buffer_ = rowValues(*layout_, store_->row(id));
    editRow_ = id;
    modified_ = false;
    nestedModified_ = false;
    state_ = DataSetState::Edit;
    notify(Notice::State);
}

void ClientDataSet::Insert() {
    startInsert(false);
}
void ClientDataSet::Append() {
    startInsert(true);
}

void ClientDataSet::startInsert(bool append) {
    checkActive();
    CheckBrowseMode();
    if (!store_)
        throw VelmoraError(formatText("%s: the master dataset has no current record", name_.c_str()));
    uint32_t beforeId = 0;
    bool atEnd = append || view_.empty();
    if (!atEnd) beforeId = view_.at(static_cast<size_t>(pos_));
    int at = atEnd ? static_cast<int>(view_.size()) : pos_;
    notifyRows(RowNotice::AboutToInsert, at);
    uint32_t id = store_->addPending(atEnd ? nullptr : &beforeId);
    view_.insert(static_cast<size_t>(at), id);
    pos_ = at;
    bof_ = eof_ = false;
    buffer_.assign(layout_->fieldCount(), Variant::null());
    editRow_ = id;
    modified_ = false;
    nestedModified_ = false;
    state_ = DataSetState::Insert;
    notifyRows(RowNotice::Inserted, at);
    notify(Notice::State);
    notify(Notice::Scrolled);
    rebindDetails();
}

namespace {

// value as a field of type holds it: text parsed, numbers and flags converted, empty as null.
Variant valueOfType(FieldType type, Variant value) {
    if (value.type() == VarType::String && !value.isArray() && type != FieldType::String)
        return valueFromText(type, value.stringValue());
    if (value.isNull() || value.isEmpty()) return Variant::null();
    switch (type) {
        case FieldType::String:
            return Variant(value.toString());
        case FieldType::Integer:
            return Variant(value.toInt());
        case FieldType::Double:
            return Variant(value.toDouble());
        case FieldType::Boolean:
            return Variant(value.toBool());
        case FieldType::DateTime:
            return Variant::date(value.toDouble());
        case FieldType::DataSet:
            break;
    }
    return value;
}

}  // namespace

void ClientDataSet::writeValue(Field& field, Variant value) {
    checkActive();
    if (!editing(state_))
        throw VelmoraError(formatText("%s: Dataset not in edit or insert mode", name_.c_str()));
    if (field.ReadOnly() || field.DataType() == FieldType::DataSet)
        throw VelmoraError(formatText("Field '%s' cannot be modified", field.FieldName().c_str()));
    buffer_[static_cast<size_t>(field.storeIndex_)] = valueOfType(field.DataType(), std::move(value));
    modified_ = true;
    notifyRecord(field.Index());
}

void ClientDataSet::TakeServerValues(const std::vector<std::pair<std::string, Variant>>& values) {
    checkActive();
    checkHasRow();
    if (state_ != DataSetState::Browse)
        throw VelmoraError(formatText("%s: Dataset not in browse mode", name_.c_str()));
    std::vector<std::pair<uint16_t, Variant>> stored;
    for (const auto& [name, value] : values) {
        Field& field = FieldByName(name);
        if (field.storeIndex_ < 0 || field.DataType() == FieldType::DataSet)
            throw VelmoraError(formatText("Field '%s' cannot be modified", name.c_str()));
        stored.emplace_back(static_cast<uint16_t>(field.storeIndex_), valueOfType(field.DataType(), value));
    }
    store_->applyServerValues(view_.at(static_cast<size_t>(pos_)), stored);
    notifyRecord(-1);
}

void ClientDataSet::Post() {
    checkActive();
    for (ClientDataSet* d : details_)
        if (d->Active()) d->CheckBrowseMode();
    if (!editing(state_)) return;
    for (const auto& f : fields_) {
        const Variant& v = buffer_[static_cast<size_t>(f->storeIndex_)];
        if (f->Required() && f->DataType() != FieldType::DataSet && (v.isNull() || v.isEmpty()))
            throw VelmoraError(formatText("Field '%s' must have a value", f->FieldName().c_str()));
    }
    if (state_ == DataSetState::Insert)
        store_->commitInsert(editRow_, encodeRow(*layout_, buffer_));
    else if (modified_)
        store_->update(editRow_, encodeRow(*layout_, buffer_));
    state_ = DataSetState::Browse;
    buffer_.clear();
    modified_ = false;
    nestedModified_ = false;
    placeAfterPost();
    notify(Notice::State);
    if (master_) master_->detailChanged();
}

void ClientDataSet::placeAfterPost() {
    int place = view_.placeFor(static_cast<size_t>(pos_));
    if (place < 0) {
        removeCurrentFromView();
        notify(Notice::Scrolled);
        rebindDetails();
    } else if (place != pos_) {
        view_.move(static_cast<size_t>(pos_), static_cast<size_t>(place));
        pos_ = place;
        notify(Notice::Data);
        notify(Notice::Scrolled);
    } else {
        notifyRecord(-1);
    }
}

// Takes the cursor's row out of the view; the cursor goes to the following row, or the
// preceding one when it was the last.
void ClientDataSet::removeCurrentFromView() {
    int at = pos_;
    notifyRows(RowNotice::AboutToRemove, at);
    view_.erase(static_cast<size_t>(at));
    int n = static_cast<int>(view_.size());
    pos_ = n == 0 ? -1 : std::min(at, n - 1);
    bof_ = pos_ <= 0;
    eof_ = n == 0;
    notifyRows(RowNotice::Removed, at);
}

void ClientDataSet::Cancel() {
    checkActive();
    for (ClientDataSet* d : details_)
        if (d->Active()) d->Cancel();
    if (!editing(state_)) return;
    bool inserting = state_ == DataSetState::Insert;
    state_ = DataSetState::Browse;
    buffer_.clear();
    modified_ = false;
    nestedModified_ = false;
    if (inserting) {
        detachDetails();
        store_->remove(editRow_);
        removeCurrentFromView();
        notify(Notice::State);
        notify(Notice::Scrolled);
        rebindDetails();
    } else {
        notifyRecord(-1);
        notify(Notice::State);
    }
}

void ClientDataSet::Delete() {
    checkActive();
    if (state_ == DataSetState::Insert) return Cancel();
    checkHasRow();
    for (ClientDataSet* d : details_)
        if (d->Active()) d->Cancel();
    if (state_ == DataSetState::Edit) {
        state_ = DataSetState::Browse;
        buffer_.clear();
        modified_ = false;
        nestedModified_ = false;
        notify(Notice::State);
    }
    detachDetails();
    store_->remove(view_.at(static_cast<size_t>(pos_)));
    removeCurrentFromView();
    notify(Notice::Scrolled);
    rebindDetails();
    if (master_) master_->detailChanged();
}

// --- Nested datasets

RecordStore* ClientDataSet::currentChild(int field) {
    if (!Active() || !store_ || pos_ < 0) return nullptr;
    return &store_->child(view_.at(static_cast<size_t>(pos_)), static_cast<size_t>(field));
}

void ClientDataSet::bindToMaster() {
    const RowLayout& masterLayout = *master_->layout_;
    int f = findField(masterLayout.fields(), dataSetFieldName_);
    if (f < 0 || masterLayout.type(static_cast<size_t>(f)) != FieldType::DataSet)
        throw VelmoraError(formatText("%s: Field '%s' not found or holds no nested rows",
                                      master_->Name().c_str(), dataSetFieldName_.c_str()));
    RowLayoutPtr layout = masterLayout.nested(static_cast<size_t>(f));
    auto filter = std::make_unique<FilterExpression>(filterText_);
    auto index = std::make_unique<IndexKey>(indexText_);
    bindFilterAndIndex(*layout, filtered_ ? filter.get() : nullptr, index.get());
    buildFields(*layout);
    masterField_ = f;
    filter_ = std::move(filter);
    index_ = std::move(index);
    layout_ = std::move(layout);
    state_ = DataSetState::Browse;
    attachStore(master_->currentChild(masterField_), 0);
    notify(Notice::Opened);
    notify(Notice::State);
}

void ClientDataSet::attachToMasterRow() {
    attachStore(master_->currentChild(masterField_), 0);
    notify(Notice::Data);
    notify(Notice::Scrolled);
    rebindDetails();
}

void ClientDataSet::detachDetails() {
    for (ClientDataSet* d : details_) {
        if (!d->Active()) continue;
        d->detachDetails();
        d->store_ = nullptr;
        d->view_.reset(nullptr, nullptr, nullptr);
        d->pos_ = -1;
        d->cachedRow_ = nullptr;
    }
}

void ClientDataSet::rebindDetails() {
    for (ClientDataSet* d : details_)
        if (d->Active()) d->attachToMasterRow();
}

void ClientDataSet::detailChanged() {
    if (editing(state_)) nestedModified_ = true;
}

}  // namespace velmora
