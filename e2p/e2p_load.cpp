#include "e2p/e2p_load.h"

#include "base/bytes.h"
#include "e2p/access.h"
#include "e2p/e2p_file.h"

#include <array>

namespace qv {
namespace {

// Writes each object into the current E2P image as soon as its values are
// read, so that no table of the file's objects is held: its record is built
// in one zero-filled buffer of 2048 bytes. The first object whose record does
// not fit the buffer, or whose address is refused, ends the load.
class ObjectWriter : public E2pObjectSink {
public:
    explicit ObjectWriter(E2pState &e2p) : e2p_(e2p) {}
    void begin(const E2pFileObjTag &obj, size_t line) override {
        record_.fill(0);
        builder_.begin(obj);
        name_ = obj.name;
        address_ = obj.address;
        size_ = obj.size;
        line_ = line;
    }
    void value(E2pFileObjValueTag &&v) override { builder_.add(v); }
    bool end() override {
        int length = 0;
        if (builder_.finish(&length) != 0) return refuseSize();
        const auto offset = e2pRecordOffset(le16(&record_[2]));
        if (!offset) {
            e2p_.io.cause.explain("line %zu: object %s has address %d, expected 0 to 8191 or 16384 to 24575", line_,
                                  name_.c_str(), address_);
            return refuse();
        }
        const uint16_t count = le16(&record_[4]);
        fms_E2pWrite(e2p_, *offset, count, record_.data() + 7); // refused: the object is skipped
        return true;
    }
    bool refused() const { return refused_; }

private:
    // The record of the object does not fit the record buffer.
    bool refuseSize() {
        constexpr size_t kMostData = kE2pRecordBuffer - 8;
        if (size_ < 0 || size_t(size_) > kMostData)
            e2p_.io.cause.explain("line %zu: object %s has size %d, expected 0 to %zu bytes", line_, name_.c_str(),
                                  size_, kMostData);
        else
            e2p_.io.cause.explain("line %zu: the values of object %s take %llu bytes, its record holds at most %zu",
                                  line_, name_.c_str(), static_cast<unsigned long long>(builder_.stream()),
                                  kMostData + 1);
        return refuse();
    }
    bool refuse() {
        refused_ = true;
        return false;
    }
    E2pState &e2p_;
    std::array<uint8_t, kE2pRecordBuffer> record_;
    E2pRecordBuilder builder_{record_.data(), record_.size()};
    std::string name_;
    int32_t address_ = 0, size_ = 0;
    size_t line_ = 0;
    bool refused_ = false;
};

} // namespace

std::optional<uint32_t> e2pRecordOffset(uint16_t w) {
    const uint16_t cls = w & 0xE000;
    if (cls != 0x4000 && cls != 0x8000) return std::nullopt;
    return w & 0x1FFF;
}

std::optional<uint32_t> e2pObjectOffset(int32_t address) {
    return e2pRecordOffset(uint16_t(uint32_t(address) + kE2pRecordAddressBias));
}

int DownloadE2PFile4Nor(E2pState &e2p, std::string path, uint8_t * /*image*/, int /*flag*/, std::string *error) {
    CE2pFile file(&e2p.io);
    ObjectWriter writer(e2p);
    int r = file.Read(path, writer, error);
    if (r >= 0 && writer.refused()) r = kE2pDownloadFailed;
    if (r < 0) e2p.io.cause.name(path);
    return r;
}

} // namespace qv
