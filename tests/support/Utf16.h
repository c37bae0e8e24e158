#pragma once

// A text as UTF-16 little-endian bytes, without a byte-order mark.

#include <QByteArray>
#include <QString>
#include <QtEndian>

inline QByteArray Utf16(const QString& text) {
    QByteArray bytes(text.size() * 2, '\0');
    qToLittleEndian<char16_t>(text.utf16(), text.size(), bytes.data());
    return bytes;
}
