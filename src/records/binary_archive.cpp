#include "records/binary_archive.h"

#include <QFileDevice>
#include <QtEndian>

#include <cstring>

BinaryArchive::BinaryArchive(QIODevice* device, Mode mode) : m_device(device), m_mode(mode) {
    if (!m_device) m_ok = false;
}

BinaryArchive::~BinaryArchive() {
    if (!m_closed) Close();
}

bool BinaryArchive::Flush() {
    if (m_used == 0) return true;
    qint64 done = 0;
    while (done < m_used) {
        const qint64 n = m_device->write(m_buffer + done, m_used - done);
        if (n <= 0) {
            m_ok = false;
            break;
        }
        done += n;
    }
    m_used = 0;
    return m_ok;
}

bool BinaryArchive::Fill() {
    const qint64 n = m_device->read(m_buffer, kBufferSize);
    m_used = n > 0 ? static_cast<int>(n) : 0;
    m_pos = 0;
    return m_used > 0;
}

void BinaryArchive::WriteBytes(const void* data, size_t size) {
    if (!m_ok || m_mode != Mode::Store) {
        m_ok = false;
        return;
    }
    const char* p = static_cast<const char*>(data);
    while (size > 0) {
        if (m_used == kBufferSize && !Flush()) return;
        const size_t chunk = std::min(size, static_cast<size_t>(kBufferSize - m_used));
        std::memcpy(m_buffer + m_used, p, chunk);
        m_used += static_cast<int>(chunk);
        p += chunk;
        size -= chunk;
    }
}

void BinaryArchive::ReadBytes(void* data, size_t size) {
    char* p = static_cast<char*>(data);
    if (!m_ok || m_mode != Mode::Load) {
        m_ok = false;
        std::memset(p, 0, size);
        return;
    }
    while (size > 0) {
        if (m_pos == m_used && !Fill()) {
            m_ok = false;
            std::memset(p, 0, size);
            return;
        }
        const size_t chunk = std::min(size, static_cast<size_t>(m_used - m_pos));
        std::memcpy(p, m_buffer + m_pos, chunk);
        m_pos += static_cast<int>(chunk);
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
    if (m_closed) return m_ok;
    m_closed = true;
    if (m_mode == Mode::Store && m_ok && Flush()) {
        // A file keeps its own buffer: push it to the system now so that a full
        // disk shows up here rather than silently at close.
        if (auto* file = qobject_cast<QFileDevice*>(m_device); file && !file->flush()) m_ok = false;
    }
    return m_ok;
}
