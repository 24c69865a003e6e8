// Fuzz target: data blocks, tagged values and the serving interpreter, with a provider object
// behind it. The input is a stream of blocks as a peer would send them; the first byte says
// whether this side takes the peer's object references. A call this side makes on the peer
// waits for the next block of the input, serving the requests met on the way, as a connection
// does. Every reply this side writes must read back as values.

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <optional>

#include "fuzz/FuzzProvider.h"
#include "transport/ClassRegistry.h"
#include "transport/DataBlockInterpreter.h"
#include "transport/Errors.h"
#include "transport/VariantCodec.h"

namespace velmora::fuzz {
namespace {

// Reads back object references without a connection behind them.
class DetachedObjects : public ObjectMarshaller {
  public:
    int32_t exportObject(const DispatchPtr&) override { return 0; }
    DispatchPtr importObject(int32_t) override { return nullptr; }
};

class InputPeer : public SendDataBlock {
  public:
    InputPeer(const uint8_t* data, size_t size) : p_(data), end_(data + size) {}
    void setInterpreter(DataBlockInterpreter* interpreter) { interpreter_ = interpreter; }

    // The next block of the input, or nothing where the transport would close the connection.
    std::optional<DataBlock> next() {
        size_t left = static_cast<size_t>(end_ - p_);
        if (left < DataBlock::kHeaderSize) return std::nullopt;
        uint32_t signature, size;
        std::memcpy(&signature, p_, 4);
        std::memcpy(&size, p_ + 4, 4);
        if (!DataBlock::isValidSignature(signature)) return std::nullopt;
        size_t payload = std::min<size_t>(size, left - DataBlock::kHeaderSize);
        Bytes bytes(p_, DataBlock::kHeaderSize + payload);
        uint32_t actual = static_cast<uint32_t>(payload);
        std::memcpy(bytes.data() + 4, &actual, 4);
        p_ += DataBlock::kHeaderSize + payload;
        return DataBlock::fromReceived(std::move(bytes));
    }

    std::optional<DataBlock> send(DataBlock block, bool waitForResult) override {
        checkReadsBack(block);
        if (!waitForResult) return std::nullopt;
        while (std::optional<DataBlock> incoming = next()) {
            if (incoming->isReply()) return incoming;
            interpreter_->interpretData(*incoming);
        }
        return std::nullopt;
    }

  private:
    // What this side writes, the other side reads.
    static void checkReadsBack(DataBlock& block) {
        DataBlock copy = DataBlock::fromReceived(Bytes(block.bytesForSending()));
        DetachedObjects objects;
        try {
            while (copy.remaining() > 0) readVariant(copy, &objects);
        } catch (const VelmoraError& e) {
            std::fprintf(stderr, "a block this side wrote does not read back: %s\n", e.what());
            std::abort();
        }
    }

    const uint8_t* p_;
    const uint8_t* end_;
    DataBlockInterpreter* interpreter_ = nullptr;
};

}  // namespace
}  // namespace velmora::fuzz

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace velmora;
    if (size < 1) return 0;
    bool acceptObjects = (data[0] & 1) != 0;
    fuzz::InputPeer peer(data + 1, size - 1);
    ClassRegistry classes = fuzz::providerClasses();
    DataBlockInterpreter interpreter(peer, &classes);
    interpreter.setPeerObjectsAccepted(acceptObjects);
    peer.setInterpreter(&interpreter);
    while (std::optional<DataBlock> block = peer.next()) {
        try {
            interpreter.interpretData(*block);
        } catch (const VelmoraError&) {
            // an error reply of the peer: raised, and the connection goes on
        }
    }
    return 0;
}
