#include "platform/core/latin1.h"

namespace platform {

QString BytesToText(const char* bytes, std::size_t count) {
  QString text(qsizetype(count), Qt::Uninitialized);
  QChar* out = text.data();
  for (std::size_t i = 0; i < count; ++i) out[i] = QChar(char16_t(static_cast<unsigned char>(bytes[i])));
  return text;
}

QByteArray TextToBytes(const QString& text) {
  QByteArray bytes(text.size(), Qt::Uninitialized);
  for (qsizetype i = 0; i < text.size(); ++i) {
    const char16_t u = text[i].unicode();
    bytes[i] = u > 0xFF ? '?' : char(u);
  }
  return bytes;
}

QByteArray LowBytes(const QString& text) {
  QByteArray bytes(text.size(), Qt::Uninitialized);
  for (qsizetype i = 0; i < text.size(); ++i) bytes[i] = char(text[i].unicode() & 0xFF);
  return bytes;
}

}  // namespace platform
