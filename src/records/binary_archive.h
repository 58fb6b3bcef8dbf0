#pragma once

#include <QIODevice>

#include <cstddef>
#include <cstdint>

// A thin buffered writer/reader of little-endian binary values over an open
// device (a file, or a buffer in memory). It writes exactly the values it is
// given: no header, no padding. Reading past the end, or any device error, puts
// the archive into a failed state; from then on reads yield zeros and writes are
// dropped, and the caller discards the whole operation.
class BinaryArchive {
public:
    enum class Mode { Store, Load };
    static constexpr int kBufferSize = 4096;

    BinaryArchive(QIODevice* device, Mode mode);
    ~BinaryArchive();  // flushes a storing archive (result lost: call Close())

    BinaryArchive(const BinaryArchive&) = delete;
    BinaryArchive& operator=(const BinaryArchive&) = delete;

    bool IsStoring() const { return m_mode == Mode::Store; }
    bool ok() const { return m_ok; }

    void WriteBytes(const void* data, size_t size);
    // Reads exactly `size` bytes; on a short read fills `data` with zeros and fails.
    void ReadBytes(void* data, size_t size);

    void WriteUInt8(uint8_t v) { WriteBytes(&v, 1); }
    void WriteInt32(int32_t v);
    void WriteDouble(double v);
    uint8_t ReadUInt8();
    int32_t ReadInt32();
    double ReadDouble();

    // Sends what is buffered to the device; false when the archive failed at any
    // point (a short read, a short write).
    bool Close();

private:
    bool Flush();
    bool Fill();

    QIODevice* m_device = nullptr;
    Mode m_mode = Mode::Load;
    bool m_ok = true;
    bool m_closed = false;
    char m_buffer[kBufferSize] = {};
    int m_used = 0;  // storing: bytes waiting; loading: bytes in the buffer
    int m_pos = 0;   // loading: next byte to hand out
};
