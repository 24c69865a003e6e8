#include "server/BackupFormat.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <ctime>

#include "transport/Errors.h"

namespace velmora::server {

namespace {

constexpr char kMagic[8] = {'V', 'L', 'M', 'B', 'A', 'K', '\r', '\n'};
enum Tag : uint8_t { kTable = 'T', kRow = 'R', kTableEnd = 'E', kEnd = 'Z' };
enum ValueTag : uint8_t { kNull = 0, kInteger = 1, kReal = 2, kText = 3 };

// Limits of what a reader accepts; a file past them is damaged, not large.
constexpr uint32_t kMaxHeaderEntries = 64;
constexpr uint32_t kMaxNameBytes = 256;
constexpr uint32_t kMaxValueBytes = 64u << 20;  // SQLite's limit of one value here
constexpr uint32_t kMaxColumns = 256;
constexpr uint32_t kMaxTables = 256;
constexpr size_t kDigestBytes = 32;

void storeLE(uint8_t* out, uint64_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) out[i] = static_cast<uint8_t>(v >> (8 * i));
}

std::string systemError(const char* what, const std::string& path) {
    return formatText("%s %s: %s", what, path.c_str(), std::strerror(errno));
}

}  // namespace

void syncFile(const std::string& path) {
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) throw VelmoraError(systemError("cannot open", path));
    int rc = ::fsync(fd);
    ::close(fd);
    if (rc != 0) throw VelmoraError(systemError("cannot sync", path));
}

void syncDirectoryOf(const std::string& path) {
    size_t slash = path.rfind('/');
    std::string dir = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
    int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) throw VelmoraError(systemError("cannot open the folder", dir));
    int rc = ::fsync(fd);
    ::close(fd);
    if (rc != 0) throw VelmoraError(systemError("cannot sync the folder", dir));
}

// ---- writing

BackupWriter::BackupWriter(const std::string& path, const BackupHeader& header) : path_(path) {
    file_ = std::fopen(path.c_str(), "wbe");
    if (!file_) throw VelmoraError(systemError("cannot write", path));
    std::setvbuf(file_, nullptr, _IOFBF, 1 << 20);
    put(kMagic, sizeof kMagic);
    putU32(kFormatVersion);
    const std::pair<const char*, std::string> entries[] = {
        {"schema_version", std::to_string(header.schemaVersion)},
        {"product_version", header.productVersion},
        {"created", header.created},
        {"source", header.source},
    };
    putU32(static_cast<uint32_t>(std::size(entries)));
    for (const auto& [key, value] : entries) {
        putText(key);
        putText(value);
    }
}

BackupWriter::~BackupWriter() {
    if (file_) std::fclose(file_);
}

void BackupWriter::put(const void* data, size_t size) {
    if (std::fwrite(data, 1, size, file_) != size) throw VelmoraError(systemError("cannot write", path_));
    hash_.add(data, size);
    bytes_ += size;
}

void BackupWriter::putU32(uint32_t v) {
    uint8_t b[4];
    storeLE(b, v, 4);
    put(b, 4);
}

void BackupWriter::putU64(uint64_t v) {
    uint8_t b[8];
    storeLE(b, v, 8);
    put(b, 8);
}

void BackupWriter::putText(std::string_view text) {
    if (text.size() > kMaxValueBytes) throw VelmoraError("A text is too long for a backup");
    putU32(static_cast<uint32_t>(text.size()));
    put(text.data(), text.size());
}

void BackupWriter::beginTable(const BackupTableHeader& table) {
    putU8(kTable);
    putText(table.name);
    putU64(static_cast<uint64_t>(table.sequence));
    putU32(static_cast<uint32_t>(table.columns.size()));
    for (const BackupColumn& c : table.columns) {
        putText(c.name);
        putU8(static_cast<uint8_t>(c.kind));
    }
    columns_ = table.columns.size();
    rows_ = 0;
    tables_.emplace_back(table.name, 0);
}

void BackupWriter::row(const std::vector<DbValue>& values) {
    if (values.size() != columns_) throw VelmoraError("A row does not match its table's columns");
    putU8(kRow);
    for (const DbValue& v : values) {
        switch (v.type) {
            case DbType::Null:
                putU8(kNull);
                break;
            case DbType::Integer:
                putU8(kInteger);
                putU64(static_cast<uint64_t>(v.integer));
                break;
            case DbType::Float: {
                putU8(kReal);
                uint64_t bits = 0;
                std::memcpy(&bits, &v.real, 8);
                putU64(bits);
                break;
            }
            case DbType::Text:
                putU8(kText);
                putText(v.textValue());
                break;
        }
    }
    ++rows_;
}

void BackupWriter::endTable() {
    putU8(kTableEnd);
    putU64(rows_);
    tables_.back().second = rows_;
}

uint64_t BackupWriter::finish() {
    putU8(kEnd);
    putU32(static_cast<uint32_t>(tables_.size()));
    for (const auto& [name, rows] : tables_) {
        putText(name);
        putU64(rows);
    }
    std::string digest = hash_.finish();
    if (std::fwrite(digest.data(), 1, digest.size(), file_) != digest.size() || std::fflush(file_) != 0 ||
        ::fsync(fileno(file_)) != 0)
        throw VelmoraError(systemError("cannot write", path_));
    int rc = std::fclose(file_);
    file_ = nullptr;
    if (rc != 0) throw VelmoraError(systemError("cannot write", path_));
    return bytes_ + digest.size();
}

// ---- reading

namespace {

class Reader {
  public:
    explicit Reader(const std::string& path) : path_(path) {
        file_ = std::fopen(path.c_str(), "rbe");
        if (!file_) throw VelmoraError(systemError("cannot read", path));
        std::setvbuf(file_, nullptr, _IOFBF, 1 << 20);
    }
    ~Reader() { std::fclose(file_); }
    Reader(const Reader&) = delete;
    Reader& operator=(const Reader&) = delete;

    [[noreturn]] void damaged(const std::string& why) const {
        throw BackupDamaged(formatText("%s is damaged at byte %llu: %s", path_.c_str(),
                                       static_cast<unsigned long long>(offset_), why.c_str()));
    }
    void get(void* out, size_t size, bool hashed = true) {
        if (std::fread(out, 1, size, file_) != size) {
            if (std::ferror(file_)) throw VelmoraError(systemError("cannot read", path_));
            damaged("the file ends early (truncated)");
        }
        if (hashed) hash_.add(out, size);
        offset_ += size;
    }
    uint8_t u8() {
        uint8_t v = 0;
        get(&v, 1);
        return v;
    }
    uint64_t unsignedLE(int bytes) {
        uint8_t b[8];
        get(b, static_cast<size_t>(bytes));
        uint64_t v = 0;
        for (int i = bytes - 1; i >= 0; --i) v = (v << 8) | b[i];
        return v;
    }
    uint32_t u32() { return static_cast<uint32_t>(unsignedLE(4)); }
    uint64_t u64() { return unsignedLE(8); }
    std::string text(uint32_t limit, const char* what) {
        uint32_t size = u32();
        if (size > limit) damaged(formatText("%s of %u bytes", what, size));
        std::string out(size, '\0');
        get(out.data(), size);
        return out;
    }
    std::string digestSoFar() { return hash_.finish(); }
    bool atEnd() {
        int c = std::fgetc(file_);
        if (c == EOF) return true;
        std::ungetc(c, file_);
        return false;
    }

  private:
    std::string path_;
    std::FILE* file_ = nullptr;
    Sha256 hash_;
    uint64_t offset_ = 0;
};

ColumnKind kindOf(Reader& r, uint8_t code) {
    if (code < 1 || code > 4) r.damaged(formatText("unknown column kind %u", code));
    return static_cast<ColumnKind>(code);
}

void readHeader(Reader& r, BackupSummary& s) {
    char magic[sizeof kMagic];
    r.get(magic, sizeof magic);
    if (std::memcmp(magic, kMagic, sizeof kMagic) != 0) r.damaged("this is not a velmora backup");
    s.formatVersion = r.u32();
    if (s.formatVersion != BackupWriter::kFormatVersion)
        throw BackupDamaged(
            formatText("the backup is of format %u, which this program (format %u) cannot read; "
                       "use a newer velmora-server",
                       s.formatVersion, BackupWriter::kFormatVersion));
    uint32_t entries = r.u32();
    if (entries > kMaxHeaderEntries) r.damaged(formatText("%u header entries", entries));
    for (uint32_t i = 0; i < entries; ++i) {
        std::string key = r.text(kMaxNameBytes, "a header name");
        std::string value = r.text(kMaxNameBytes, "a header value");
        if (key == "schema_version") {
            char* end = nullptr;
            long v = std::strtol(value.c_str(), &end, 10);
            if (value.empty() || *end || v < 0 || v > 1000000) r.damaged("schema version '" + value + "'");
            s.header.schemaVersion = static_cast<int>(v);
        } else if (key == "product_version") {
            s.header.productVersion = value;
        } else if (key == "created") {
            s.header.created = value;
        } else if (key == "source") {
            s.header.source = value;
        }  // a later program may add entries; they are read past
    }
}

DbValue readValue(Reader& r) {
    switch (r.u8()) {
        case kNull:
            return DbValue::null();
        case kInteger:
            return DbValue::ofInteger(static_cast<int64_t>(r.u64()));
        case kReal: {
            uint64_t bits = r.u64();
            double v = 0;
            std::memcpy(&v, &bits, 8);
            return DbValue::ofFloat(v);
        }
        case kText:
            return DbValue::ofText(r.text(kMaxValueBytes, "a text"));
        default:
            r.damaged("an unknown value type");
    }
}

}  // namespace

BackupSummary readBackup(const std::string& path, TableSink* sink) {
    Reader r(path);
    BackupSummary s;
    readHeader(r, s);
    std::vector<DbValue> values;
    for (uint8_t tag = r.u8(); tag != kEnd; tag = r.u8()) {
        if (tag != kTable) r.damaged(formatText("unexpected mark %u where a table begins", tag));
        if (s.tables.size() >= kMaxTables) r.damaged("too many tables");
        BackupTableHeader table;
        table.name = r.text(kMaxNameBytes, "a table name");
        table.sequence = static_cast<int64_t>(r.u64());
        uint32_t columns = r.u32();
        if (columns == 0 || columns > kMaxColumns) r.damaged(formatText("%u columns", columns));
        for (uint32_t c = 0; c < columns; ++c) {
            std::string name = r.text(kMaxNameBytes, "a column name");
            table.columns.push_back({std::move(name), kindOf(r, r.u8())});
        }
        if (sink) sink->beginTable(table);
        uint64_t rows = 0;
        for (tag = r.u8(); tag == kRow; tag = r.u8()) {
            values.clear();
            for (uint32_t c = 0; c < columns; ++c) values.push_back(readValue(r));
            if (sink) sink->row(values);
            ++rows;
        }
        if (tag != kTableEnd)
            r.damaged(formatText("unexpected mark %u in the rows of %s", tag, table.name.c_str()));
        if (r.u64() != rows) r.damaged("the row count of " + table.name + " does not match its rows");
        if (sink) sink->endTable();
        s.tables.emplace_back(table.name, rows);
    }
    uint32_t tables = r.u32();
    if (tables != s.tables.size()) r.damaged("the table count does not match the tables");
    for (const auto& [name, rows] : s.tables)
        if (r.text(kMaxNameBytes, "a table name") != name || r.u64() != rows)
            r.damaged("the closing summary does not match the tables");
    std::string computed = r.digestSoFar();
    std::string stored(kDigestBytes, '\0');
    r.get(stored.data(), stored.size(), false);
    if (stored != computed) r.damaged("the checksum does not match (the content was changed)");
    if (!r.atEnd()) r.damaged("bytes follow the checksum");
    s.sha256 = hexOf(stored);
    return s;
}

}  // namespace velmora::server
