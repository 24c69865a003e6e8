// The cursor, filter, index, row access and notifications.
#include <algorithm>

#include "data/Cell.h"
#include "data/ClientDataSet.h"
#include "transport/Errors.h"

namespace velmora {

void ClientDataSet::attachStore(RecordStore* store, int keepPosition) {
    store_ = store;
    cachedRow_ = nullptr;
    view_.reset(store_, filter_ && filtered_ ? filter_.get() : nullptr, index_.get());
    int n = static_cast<int>(view_.size());
    pos_ = n == 0 ? -1 : std::clamp(keepPosition, 0, n - 1);
    bof_ = pos_ <= 0;
    eof_ = n == 0;
}

void ClientDataSet::showAppended(uint32_t firstId, size_t added) {
    if (added == 0) return;
    cachedRow_ = nullptr;
    bool wasEmpty = view_.empty();
    if (view_.ordered()) {
        // Rows that come later may sort anywhere: the view is built again around the current row.
        uint32_t current = pos_ >= 0 ? view_.at(static_cast<size_t>(pos_)) : 0;
        bool hadRow = pos_ >= 0;
        view_.rebuild();
        int at = hadRow ? view_.find(current) : -1;
        pos_ = view_.empty() ? -1 : std::max(at, 0);
        bof_ = pos_ <= 0;
        eof_ = view_.empty();
        notify(Notice::Data);
    } else {
        std::vector<uint32_t> shown = view_.passing(firstId);
        if (shown.empty()) return;
        int before = static_cast<int>(view_.size());
        int count = static_cast<int>(shown.size());
        notifyRows(RowNotice::AboutToInsert, before, count);
        view_.append(shown);
        notifyRows(RowNotice::Inserted, before, count);
        if (!wasEmpty) return;
        pos_ = 0;
        bof_ = true;
        eof_ = false;
    }
    if (wasEmpty && !view_.empty()) {
        notify(Notice::Scrolled);
        rebindDetails();
    }
}

void ClientDataSet::moveTo(int pos, bool bof, bool eof) {
    bool moved = pos != pos_;
    pos_ = pos;
    bof_ = bof;
    eof_ = eof;
    if (moved) {
        notify(Notice::Scrolled);
        rebindDetails();
    }
}

void ClientDataSet::First() {
    checkActive();
    CheckBrowseMode();
    moveTo(view_.empty() ? -1 : 0, true, view_.empty());
}

void ClientDataSet::Last() {
    checkActive();
    CheckBrowseMode();
    moveTo(static_cast<int>(view_.size()) - 1, view_.empty(), true);
}

void ClientDataSet::Next() {
    checkActive();
    CheckBrowseMode();
    if (pos_ + 1 < static_cast<int>(view_.size()))
        moveTo(pos_ + 1, false, false);
    else
        eof_ = true;
}

void ClientDataSet::Prior() {
    checkActive();
    CheckBrowseMode();
    if (pos_ > 0)
        moveTo(pos_ - 1, false, false);
    else
        bof_ = true;
}

void ClientDataSet::MoveBy(int distance) {
    checkActive();
    CheckBrowseMode();
    if (view_.empty()) return;
    long target = static_cast<long>(pos_) + distance;
    long last = static_cast<long>(view_.size()) - 1;
    moveTo(static_cast<int>(std::clamp(target, 0L, last)), target<0, target> last);
}

void ClientDataSet::setRecNo(int recNo) {
    checkActive();
    CheckBrowseMode();
    if (recNo < 1 || recNo > static_cast<int>(view_.size())) throw VelmoraError("Record not found");
    moveTo(recNo - 1, false, false);
}

int ClientDataSet::RecordCount() const {
    checkActive();
    return static_cast<int>(view_.size());
}

int ClientDataSet::RecordCountUnfiltered() const {
    checkActive();
    return store_ ? static_cast<int>(store_->visibleCount()) : 0;
}

Bookmark ClientDataSet::GetBookmark() const {
    checkActive();
    return pos_ < 0 ? Bookmark{} : Bookmark{store_, view_.at(static_cast<size_t>(pos_))};
}

Bookmark ClientDataSet::bookmarkAt(int row) const {
    if (row < 0 || row >= static_cast<int>(view_.size())) throw VelmoraError("Record not found");
    return Bookmark{store_, view_.at(static_cast<size_t>(row))};
}

bool ClientDataSet::BookmarkValid(const Bookmark& b) const {
    return Active() && b.store && b.store == store_ && view_.find(b.id) >= 0;
}

void ClientDataSet::GotoBookmark(const Bookmark& b) {
    checkActive();
    CheckBrowseMode();
    int at = b.store == store_ ? view_.find(b.id) : -1;
    if (at < 0) throw VelmoraError("Record not found");
    moveTo(at, false, false);
}

bool ClientDataSet::FindKey(const std::vector<Variant>& values) {
    checkActive();
    CheckBrowseMode();
    if (!index_ || index_->empty())
        throw VelmoraError(formatText("%s: FindKey needs IndexFieldNames", name_.c_str()));
    std::vector<std::string> storage;
    std::vector<Cell> key = index_->keyCells(values, storage);
    int at = view_.findKey(key);
    if (at < 0) return false;
    moveTo(at, false, false);
    return true;
}

void ClientDataSet::setFilter(std::string text) {
    auto parsed = std::make_unique<FilterExpression>(text);
    if (Active() && filtered_) {
        CheckBrowseMode();
        parsed->bind(*layout_);
        filter_ = std::move(parsed);
        filterText_ = std::move(text);
        attachStore(store_, 0);
        notify(Notice::Data);
        notify(Notice::Scrolled);
        rebindDetails();
        return;
    }
    filter_ = std::move(parsed);
    filterText_ = std::move(text);
}

void ClientDataSet::setFiltered(bool on) {
    if (on == filtered_) return;
    if (Active()) {
        CheckBrowseMode();
        auto parsed = std::make_unique<FilterExpression>(filterText_);
        if (on) parsed->bind(*layout_);
        filter_ = std::move(parsed);
        filtered_ = on;
        attachStore(store_, 0);
        notify(Notice::Data);
        notify(Notice::Scrolled);
        rebindDetails();
        return;
    }
    filtered_ = on;
}

void ClientDataSet::setIndexFieldNames(std::string names) {
    auto parsed = std::make_unique<IndexKey>(names);
    if (Active()) {
        CheckBrowseMode();
        parsed->bind(*layout_);
        uint32_t current = pos_ >= 0 ? view_.at(static_cast<size_t>(pos_)) : 0;
        bool hadRow = pos_ >= 0;
        index_ = std::move(parsed);
        indexText_ = std::move(names);
        attachStore(store_, 0);
        if (hadRow) pos_ = std::max(0, view_.find(current));
        notify(Notice::Data);
        notify(Notice::Scrolled);
        return;
    }
    index_ = std::move(parsed);
    indexText_ = std::move(names);
}

const uint32_t* ClientDataSet::offsetsOf(const uint8_t* row) const {
    if (row != cachedRow_) {
        cachedOffsets_.resize(layout_->fieldCount());
        layout_->offsets(row, cachedOffsets_.data());
        cachedRow_ = row;
    }
    return cachedOffsets_.data();
}

bool ClientDataSet::editingRow(int row) const {
    return (state_ == DataSetState::Edit || state_ == DataSetState::Insert) && row == pos_;
}

const uint8_t* ClientDataSet::rowBytes(int row) const {
    if (row < 0 || row >= static_cast<int>(view_.size())) throw VelmoraError("Record not found");
    return store_->row(view_.at(static_cast<size_t>(row)));
}

Variant ClientDataSet::readValue(const Field& field) const {
    checkActive();
    size_t column = static_cast<size_t>(field.storeIndex_);
    if (editingRow(pos_)) return buffer_[column];
    if (pos_ < 0) return Variant::null();
    const uint8_t* row = rowBytes(pos_);
    if (field.DataType() == FieldType::DataSet) return Variant::null();
    return cellValue(*layout_, row, offsetsOf(row), column);
}

std::string ClientDataSet::readText(const Field& field) const {
    checkActive();
    size_t column = static_cast<size_t>(field.storeIndex_);
    if (editingRow(pos_)) return valueText(field.DataType(), buffer_[column]);
    if (pos_ < 0) return std::string();
    const uint8_t* row = rowBytes(pos_);
    return cellText(*layout_, row, offsetsOf(row), column);
}

std::string ClientDataSet::textAt(int row, int field) const {
    checkActive();
    const Field& f = *fields_.at(static_cast<size_t>(field));
    size_t column = static_cast<size_t>(f.storeIndex_);
    if (editingRow(row)) return valueText(f.DataType(), buffer_[column]);
    const uint8_t* bytes = rowBytes(row);
    return cellText(*layout_, bytes, offsetsOf(bytes), column);
}

Variant ClientDataSet::valueAt(int row, int field) const {
    checkActive();
    const Field& f = *fields_.at(static_cast<size_t>(field));
    size_t column = static_cast<size_t>(f.storeIndex_);
    if (editingRow(row)) return buffer_[column];
    const uint8_t* bytes = rowBytes(row);
    if (f.DataType() == FieldType::DataSet) return Variant::null();
    return cellValue(*layout_, bytes, offsetsOf(bytes), column);
}

void ClientDataSet::addObserver(DataSetObserver* observer) {
    if (std::find(observers_.begin(), observers_.end(), observer) == observers_.end())
        observers_.push_back(observer);
}

void ClientDataSet::removeObserver(DataSetObserver* observer) {
    observers_.erase(std::remove(observers_.begin(), observers_.end(), observer), observers_.end());
}

template <typename F>
void ClientDataSet::each(F f) {
    cachedRow_ = nullptr;
    // A copy, so that an observer may remove itself while being told.
    std::vector<DataSetObserver*> observers = observers_;
    for (DataSetObserver* o : observers)
        if (std::find(observers_.begin(), observers_.end(), o) != observers_.end()) f(*o);
}

void ClientDataSet::notify(Notice notice) {
    each([&](DataSetObserver& o) {
        switch (notice) {
            case Notice::Opened:
                return o.dataSetOpened(*this);
            case Notice::Closed:
                return o.dataSetClosed(*this);
            case Notice::Scrolled:
                return o.scrolled(*this);
            case Notice::State:
                return o.stateChanged(*this);
            case Notice::Data:
                return o.dataChanged(*this);
        }
    });
}

void ClientDataSet::notifyRecord(int field) {
    each([&](DataSetObserver& o) { o.recordChanged(*this, field); });
}

void ClientDataSet::notifyRows(RowNotice notice, int first, int count) {
    each([&](DataSetObserver& o) {
        switch (notice) {
            case RowNotice::AboutToInsert:
                return o.rowsAboutToBeInserted(*this, first, count);
            case RowNotice::Inserted:
                return o.rowsInserted(*this, first, count);
            case RowNotice::AboutToRemove:
                return o.rowsAboutToBeRemoved(*this, first, count);
            case RowNotice::Removed:
                return o.rowsRemoved(*this, first, count);
        }
    });
}

}  // namespace velmora
