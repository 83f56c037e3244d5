// Encoding one object of the table as an E2P record: kind 0x0E, length
// byte, biased address, size, a zero byte, the data, and an XOR checksum.
#include "e2p/e2p_file.h"

#include <cstdio>
#include <cstring>

namespace qv {
namespace {

constexpr size_t kRecordHeader = 7;

// Writes `value` at `at` and returns the bytes written.
size_t encodeValue(const E2pFileObjValueTag &value, uint8_t *at) {
    if (value.type == kE2pAscii) {
        std::memcpy(at, value.text.data(), value.text.size());
        return value.text.size();
    }
    const size_t n = e2pValueLength(value);
    const uint32_t v = uint32_t(value.value);
    for (size_t i = 0; i < n; ++i) at[i] = uint8_t(v >> (8 * i));
    return n;
}

} // namespace

size_t e2pValueLength(const E2pFileObjValueTag &value) {
    switch (value.type) {
    case kE2pU8:
    case kE2pS8: return 1;
    case kE2pU16:
    case kE2pS16: return 2;
    case kE2pU32:
    case kE2pS32: return 4;
    case kE2pAscii: return value.text.size();
    default: return 0;
    }
}

bool E2pRecordBuilder::fits(int32_t size, uint64_t stream, size_t bufferSize) {
    return size >= 0 && uint64_t(size) + kRecordHeader + 1 <= bufferSize && stream + kRecordHeader <= bufferSize;
}

void E2pRecordBuilder::begin(const E2pFileObjTag &obj) {
    address_ = obj.address;
    size_ = obj.size;
    stream_ = 0;
}

void E2pRecordBuilder::add(const E2pFileObjValueTag &value) {
    const size_t n = e2pValueLength(value);
    if (stream_ + n + kRecordHeader <= bufferSize_) encodeValue(value, buffer_ + kRecordHeader + stream_);
    stream_ += n;
}

int E2pRecordBuilder::finish(int *length) {
    if (!fits(size_, stream_, bufferSize_)) return kE2pDownloadFailed;
    const size_t size = size_t(size_);
    const uint32_t address = uint32_t(address_) + kE2pRecordAddressBias;
    buffer_[0] = kE2pRecordKind;
    buffer_[1] = uint8_t(size + 6);
    buffer_[2] = uint8_t(address);
    buffer_[3] = uint8_t(address >> 8);
    buffer_[4] = uint8_t(size);
    buffer_[5] = uint8_t(size >> 8);
    buffer_[6] = 0;
    uint8_t sum = 0;
    for (size_t i = 0; i < kRecordHeader + size; ++i) sum ^= buffer_[i];
    buffer_[kRecordHeader + size] = sum;
    *length = int(size + kRecordHeader + 1);
    return 0;
}

int CE2pFile::GetObjRecord(int index, uint8_t *buffer, size_t bufferSize, int *length) const {
    if (index < 0 || index >= GetObjCount()) {
        if (bufferSize > 0)
            std::snprintf(reinterpret_cast<char *>(buffer), bufferSize,
                          "Out of Range for index:%d, E2P object number:%d", index, GetObjCount());
        return kE2pIndexOutside;
    }
    const E2pFileObjTag &obj = objects[size_t(index)];
    uint64_t stream = 0;
    for (const E2pFileObjValueTag &v : obj.values) stream += e2pValueLength(v);
    // A record that does not fit leaves the buffer as it was.
    if (!E2pRecordBuilder::fits(obj.size, stream, bufferSize)) return kE2pDownloadFailed;
    E2pRecordBuilder record(buffer, bufferSize);
    record.begin(obj);
    for (const E2pFileObjValueTag &v : obj.values) record.add(v);
    return record.finish(length);
}

} // namespace qv
