#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "data/DataSetObserver.h"
#include "data/Field.h"
#include "data/FilterExpression.h"
#include "data/IndexKey.h"
#include "data/ProviderClient.h"
#include "data/RecordStore.h"
#include "data/RecordView.h"

namespace velmora {

enum class DataSetState { Inactive, Browse, Edit, Insert };

// A row remembered by a grid; valid while its dataset keeps the row.
struct Bookmark {
    const void* store = nullptr;
    uint32_t id = 0;
    bool operator==(const Bookmark&) const = default;
};

// A client dataset: the rows its provider returned, a cursor over them, and the change log of
// the edits not yet applied. A nested dataset shows the rows held by a DataSet field of its
// master's current row and keeps its changes in the master's log. Use from one thread only.
class ClientDataSet {
  public:
    explicit ClientDataSet(std::string name);
    ~ClientDataSet();
    ClientDataSet(const ClientDataSet&) = delete;
    ClientDataSet& operator=(const ClientDataSet&) = delete;

    const std::string& Name() const { return name_; }

    // --- Provider binding
    void setRemoteServer(ProviderSource source) { provider_.setSource(std::move(source)); }
    const std::string& ProviderName() const { return provider_.providerName(); }
    void setProviderName(std::string name) { provider_.setProviderName(std::move(name)); }
    const std::string& CommandText() const { return commandText_; }
    // Stored for the next open; an open dataset is not affected.
    void setCommandText(std::string text) { commandText_ = std::move(text); }

    // Declares a persistent field; the dataset then has exactly its persistent fields, in the
    // order declared, and an opening packet must hold each of them. Only while closed.
    Field& addPersistentField(FieldDef def);
    bool hasPersistentFields() const { return !persistent_.empty(); }

    // Binds this dataset to the DataSet field fieldName of master. Only while both are closed.
    void setDataSetField(ClientDataSet& master, std::string fieldName);
    ClientDataSet* MasterDataSet() const { return master_; }

    // --- Open and close
    // Fetches every row of the command text; nothing happens when already open. A nested
    // dataset opens its master first. With PacketRecords set, only the first part of the rows
    // comes now and FetchMore brings the rest.
    void Open();
    // Rows the first part of an open brings (0: every row at once); kept across close and open.
    int PacketRecords() const { return packetRecords_; }
    void setPacketRecords(int rows) { packetRecords_ = rows > 0 ? rows : 0; }
    // Whether every row of the result is held (always, but after an open in parts).
    bool AllFetched() const { return !ownStore_ || ownStore_->complete(); }
    // Fetches up to count more rows of a result opened in parts and adds them after the rows held
    // (shown in index order where there is an index); returns the number added. Nothing to do
    // once every row is held.
    int FetchMore(int count);
    // Opens on a data packet the caller already holds (one a server member answered with) instead
    // of asking the provider; the rows can be browsed, filtered and indexed as any others.
    void OpenPacket(Bytes packet);
    // Drops rows and unapplied changes; tells the provider to reset when rows were fetched.
    void Close();
    bool Active() const { return state_ != DataSetState::Inactive; }
    void setActive(bool active) { active ? Open() : Close(); }
    DataSetState State() const { return state_; }

    // --- Filter and index; kept across close and open
    const std::string& Filter() const { return filterText_; }
    // A bad expression throws and leaves the filter as it was.
    void setFilter(std::string text);
    bool Filtered() const { return filtered_; }
    void setFiltered(bool on);
    const std::string& IndexFieldNames() const { return indexText_; }
    void setIndexFieldNames(std::string names);

    // --- Cursor
    void First();
    void Next();
    void Prior();
    void Last();
    void MoveBy(int distance);
    bool Eof() const { return eof_ || view_.empty(); }
    bool Bof() const { return bof_ || view_.empty(); }
    bool IsEmpty() const { return view_.empty(); }
    // Rows that pass the filter.
    int RecordCount() const;
    // Rows held, whatever the filter.
    int RecordCountUnfiltered() const;
    // 1-based position of the cursor; 0 when there is no row.
    int RecNo() const { return pos_ + 1; }
    void setRecNo(int recNo);
    Bookmark GetBookmark() const;
    bool BookmarkValid(const Bookmark& bookmark) const;
    // Throws "Record not found" when the row is gone or filtered out.
    void GotoBookmark(const Bookmark& bookmark);
    // Moves to the first row whose leading index fields equal values; false (and no move) when
    // there is none. Needs IndexFieldNames.
    bool FindKey(const std::vector<Variant>& values);

    // --- Fields
    int FieldCount() const { return static_cast<int>(fields_.size()); }
    Field& Fields(int index) { return *fields_.at(static_cast<size_t>(index)); }
    // Throws "Field 'x' not found".
    Field& FieldByName(std::string_view name);
    Field* FindField(std::string_view name);

    // --- Editing
    // A new row before the cursor's row.
    void Insert();
    // A new row at the end.
    void Append();
    // Edits the current row; on an empty dataset this inserts.
    void Edit();
    // Stores the pending row in the change log.
    void Post();
    // Drops the pending insert or edit.
    void Cancel();
    // Removes the current row into the change log; the cursor moves to the following row, or
    // to the preceding one when the last was deleted.
    void Delete();
    // Posts a pending edit that changed something, cancels one that did not.
    void CheckBrowseMode();
    bool Modified() const { return modified_ || nestedModified_; }

    // --- Change log (a nested dataset's calls act on its master's log)
    int ChangeCount() const;
    void CancelUpdates();
    // Sends the change log, returns the count of failed records; throws after a rollback.
    int ApplyUpdates(int maxErrors);
    // The error the last apply reported for the current row, or "".
    std::string UpdateError() const;
    // Fetches the rows again, keeping the cursor's position; refused with unapplied changes.
    void Refresh();
    // Puts values the server set by an action of its own (not an apply) into the current row, by
    // field name, as both its current and original values: shown at once, logged as no change.
    // Browse state only.
    void TakeServerValues(const std::vector<std::pair<std::string, Variant>>& values);
    // Binds an open dataset to the server of a new connection (after a reconnect): without
    // unapplied work it fetches its rows again with its command text, keeping the cursor's
    // position; with an edit under way or changes in its log it keeps rows and log and only
    // hands the provider its command text, so that they can be applied and refreshed later.
    // Closed and nested datasets have nothing to do.
    void Reattach();
    void Execute();

    // --- Rows by position, for views that show many rows (0 <= row < RecordCount())
    std::string textAt(int row, int field) const;
    Variant valueAt(int row, int field) const;
    Bookmark bookmarkAt(int row) const;

    void addObserver(DataSetObserver* observer);
    void removeObserver(DataSetObserver* observer);

  private:
    friend class Field;
    enum class Notice { Opened, Closed, Scrolled, State, Data };
    enum class RowNotice { AboutToInsert, Inserted, AboutToRemove, Removed };

    // Field access by the fields.
    Variant readValue(const Field& field) const;
    std::string readText(const Field& field) const;
    void writeValue(Field& field, Variant value);
    const uint8_t* rowBytes(int row) const;
    const uint32_t* offsetsOf(const uint8_t* row) const;
    bool editingRow(int row) const;

    void checkActive() const;
    void checkHasRow() const;
    void loadPacket(DataPacket packet, int keepPosition);
    void buildFields(const RowLayout& layout);
    void bindFilterAndIndex(const RowLayout& layout, FilterExpression* filter, IndexKey* index) const;
    void attachStore(RecordStore* store, int keepPosition);
    void moveTo(int pos, bool bof, bool eof);
    void startInsert(bool append);
    void finishEdit();
    void placeAfterPost();

    // Nested datasets.
    void bindToMaster();
    RecordStore* currentChild(int field);
    void attachToMasterRow();
    void removeCurrentFromView();
    void detachDetails();
    void rebindDetails();
    void detailChanged();
    ClientDataSet& top();

    void notify(Notice notice);
    void notifyRows(RowNotice notice, int first, int count = 1);
    void showAppended(uint32_t firstId, size_t added);
    void notifyRecord(int field);
    template <typename F>
    void each(F f);

    std::string name_;
    ProviderClient provider_;
    std::string commandText_;
    std::vector<FieldDef> persistent_;
    int packetRecords_ = 0;
    std::vector<std::unique_ptr<Field>> fields_;

    ClientDataSet* master_ = nullptr;
    std::string dataSetFieldName_;
    int masterField_ = -1;
    std::vector<ClientDataSet*> details_;

    std::string filterText_;
    std::unique_ptr<FilterExpression> filter_;
    bool filtered_ = false;
    std::string indexText_;
    std::unique_ptr<IndexKey> index_;

    DataSetState state_ = DataSetState::Inactive;
    bool fetched_ = false;  // rows came from the provider since the last close
    RowLayoutPtr layout_;   // the columns of the rows shown, set on open
    std::unique_ptr<RecordStore> ownStore_;
    RecordStore* store_ = nullptr;  // ownStore_, or a child store of the master's current row
    RecordView view_;
    int pos_ = -1;
    bool bof_ = true;
    bool eof_ = true;

    std::vector<Variant> buffer_;  // the row being inserted or edited, by store column
    uint32_t editRow_ = 0;
    bool modified_ = false;        // a field of the pending row was written
    bool nestedModified_ = false;  // nested rows were changed while the row was pending

    mutable const uint8_t* cachedRow_ = nullptr;
    mutable std::vector<uint32_t> cachedOffsets_;

    std::vector<DataSetObserver*> observers_;
};

}  // namespace velmora
