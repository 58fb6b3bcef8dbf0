#pragma once

#include <QByteArray>
#include <QString>
#include <QStringView>

// Text that came from bytes which need not be valid UTF-8 (a configuration
// written by another program in code page 1250, a file name on disk): valid
// UTF-8 is decoded as usual, and every byte that is not part of a valid
// sequence becomes the lone surrogate U+DC80..U+DCFF, which encoding turns back
// into that byte. Decoding and encoding therefore give back the same bytes.

QString DecodeKeepingBytes(const char* data, qsizetype size);
inline QString DecodeKeepingBytes(const QByteArray& bytes) {
    return DecodeKeepingBytes(bytes.constData(), bytes.size());
}

// UTF-8, with U+DC80..U+DCFF standing alone turned back into their bytes; any
// other lone surrogate becomes U+FFFD.
QByteArray EncodeKeepingBytes(QStringView text);

// The bytes of a file name on this system (UTF-8, with kept bytes as above).
inline QByteArray NativePath(const QString& path) {
    return EncodeKeepingBytes(path);
}
