#pragma once
// The program's "ANSI code page": each byte maps to the UTF-16 unit of the same
// value and back, so bytes from a peer round-trip exactly.
#include <QByteArray>
#include <QString>
#include <cstddef>

namespace platform {

QString BytesToText(const char* bytes, std::size_t count);
inline QString BytesToText(const QByteArray& bytes) { return BytesToText(bytes.constData(), std::size_t(bytes.size())); }

// Units above U+00FF have no byte; they become '?'.
QByteArray TextToBytes(const QString& text);

// The low byte of each unit, whatever its value (the Basic authorisation rule).
QByteArray LowBytes(const QString& text);

}  // namespace platform
