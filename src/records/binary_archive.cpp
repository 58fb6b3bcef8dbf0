#include "records/binary_archive.h"

#include <QFileDevice>
#include <QtEndian>

#include <cstring>

BinaryArchive::BinaryArchive(QIODevice* device, Mode mode) : device_(device), mode_(mode) {
    if (!device_) ok_ = false;
}

BinaryArchive::~BinaryArchive() {
    if (!closed_) Close();
}

bool BinaryArchive::Flush() {
    if (used_ == 0) return true;
    qint64 done = 0;
    while (done < used_) {
        const qint64 n = device_->write(buffer_ + done, used_ - done);
        if (n <= 0) {
            ok_ = false;
            break;
        }
        done += n;
    }
    used_ = 0;
    return ok_;
}

bool BinaryArchive::Fill() {
    const qint64 n = device_->read(buffer_, kBufferSize);
    used_ = n > 0 ? static_cast<int>(n) : 0;
    pos_ = 0;
    return used_ > 0;
}

void BinaryArchive::WriteBytes(const void* data, size_t size) {
    if (!ok_ || mode_ != Mode::Store) {
        ok_ = false;
        return;
    }
    const char* p = static_cast<const char*>(data);
    while (size > 0) {
        if (used_ == kBufferSize && !Flush()) return;
        const size_t chunk = std::min(size, static_cast<size_t>(kBufferSize - used_));
        std::memcpy(buffer_ + used_, p, chunk);
        used_ += static_cast<int>(chunk);
        p += chunk;
        size -= chunk;
    }
}

void BinaryArchive::ReadBytes(void* data, size_t size) {
    char* p = static_cast<char*>(data);
    if (!ok_ || mode_ != Mode::Load) {
        ok_ = false;
        std::memset(p, 0, size);
        return;
    }
    while (size > 0) {
        if (pos_ == used_ && !Fill()) {
            ok_ = false;
            std::memset(p, 0, size);
            return;
        }
        const size_t chunk = std::min(size, static_cast<size_t>(used_ - pos_));
        std::memcpy(p, buffer_ + pos_, chunk);
        pos_ += static_cast<int>(chunk);
        p += chunk;
        size -= chunk;
    }
}

void BinaryArchive::WriteInt32(int32_t v) {
    uchar b[4];
    qToLittleEndian(v, b);
    WriteBytes(b, sizeof b);
}

void BinaryArchive::WriteDouble(double v) {
    uint64_t bits;
    std::memcpy(&bits, &v, sizeof bits);
    uchar b[8];
    qToLittleEndian(bits, b);
    WriteBytes(b, sizeof b);
}

uint8_t BinaryArchive::ReadUInt8() {
    uint8_t v = 0;
    ReadBytes(&v, 1);
    return v;
}

int32_t BinaryArchive::ReadInt32() {
    uchar b[4];
    ReadBytes(b, sizeof b);
    return qFromLittleEndian<int32_t>(b);
}

double BinaryArchive::ReadDouble() {
    uchar b[8];
    ReadBytes(b, sizeof b);
    const uint64_t bits = qFromLittleEndian<uint64_t>(b);
    double v;
    std::memcpy(&v, &bits, sizeof v);
    return v;
}

bool BinaryArchive::Close() {
    if (closed_) return ok_;
    closed_ = true;
    if (mode_ == Mode::Store && ok_ && Flush()) {
        // A file keeps its own buffer: push it to the system now so that a full
        // disk shows up here rather than silently at close.
        if (auto* file = qobject_cast<QFileDevice*>(device_); file && !file->flush()) ok_ = false;
    }
    return ok_;
}
