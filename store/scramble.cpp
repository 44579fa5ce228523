#include "store/scramble.h"

#include <QRandomGenerator>
#include <QTime>

using namespace store_scramble;

namespace {

constexpr char16_t kHex[] = u"0123456789ABCDEF";

void AppendByte(QString& out, int byte) {
  out.append(QChar(kHex[(byte >> 4) & 0xF]));
  out.append(QChar(kHex[byte & 0xF]));
}

void Substitute(QString& text, const char16_t (&digits)[3], const char16_t (&letters)[3]) {
  for (int i = 0; i < 3; ++i) text.replace(QChar(digits[i]), QChar(letters[i]));
}

void Restore(QString& text, const char16_t (&digits)[3], const char16_t (&letters)[3]) {
  for (int i = 0; i < 3; ++i) text.replace(QChar(letters[i]), QChar(digits[i]));
}

// Upper-case hex only, as the scramblers write it; -1 for anything else.
int HexValue(QChar c) {
  const char16_t u = c.unicode();
  if (u >= u'0' && u <= u'9') return u - u'0';
  if (u >= u'A' && u <= u'F') return u - u'A' + 10;
  return -1;
}

// The byte written at text[pos], text[pos + 1]; -1 when it is not two hex digits.
int ByteAt(const QString& text, qsizetype pos) {
  if (pos + 2 > text.size()) return -1;
  const int high = HexValue(text[pos]);
  const int low = HexValue(text[pos + 1]);
  if (high < 0 || low < 0) return -1;
  return high * 16 + low;
}

}  // namespace

SaltSource DefaultSaltSource() {
  return SaltSource{[] { return QTime::currentTime().msec(); },
                    [] { return QRandomGenerator::global()->generate(); }};
}

QString ScrambleSalted(QString value) { return ScrambleSalted(std::move(value), DefaultSaltSource()); }

QString ScrambleSalted(QString value, const SaltSource& source) {
  const qsizetype n = value.size();
  if (n > kMaxSaltedUnits) return QString();
  const SaltSource fallback = DefaultSaltSource();
  const auto& clock = source.milliseconds ? source.milliseconds : fallback.milliseconds;
  const auto& random = source.random ? source.random : fallback.random;
  int ms = clock();
  if (ms < 0) ms = -ms;
  const int k = ms % kSaltOffsetMax + 1;

  QString out;
  out.reserve(n * 4 + 100);
  AppendByte(out, static_cast<int>(n) + k);
  AppendByte(out, k + kSaltBias);
  for (QChar c : value) {
    const int unit = c.unicode();
    AppendByte(out, ((unit >> 8) + k) & 0xFF);
    AppendByte(out, ((unit & 0xFF) + k) & 0xFF);
  }
  const qsizetype length = out.size();
  if (length < 50) {
    for (qsizetype i = 0; i < 50 - length; ++i) AppendByte(out, random() & 0xFF);
  }
  Substitute(out, kSaltedDigits, kSaltedLetters);
  return out;
}

QString UnscrambleSalted(QString text) {
  Restore(text, kSaltedDigits, kSaltedLetters);
  const int lengthField = ByteAt(text, 0);
  const int offsetField = ByteAt(text, 2);
  if (lengthField < 0 || offsetField < 0) return QString();
  const int k = offsetField - kSaltBias;
  qsizetype n = lengthField - k;
  n = std::min(n, (text.size() - 4) / 4);
  QString out;
  if (n < 1) return out;
  out.reserve(n);
  for (qsizetype i = 0; i < n; ++i) {
    const int high = ByteAt(text, 4 * i + 4);
    const int low = ByteAt(text, 4 * i + 6);
    if (high < 0 || low < 0) break;
    // k may come out of range for a foreign text; & 0xFF keeps the byte a byte.
    out.append(QChar(static_cast<char16_t>((((high - k) & 0xFF) << 8) | ((low - k) & 0xFF))));
  }
  return out;
}

QString ScrambleFixed(QString value) {
  QString out;
  out.reserve(value.size() * 4);
  for (QChar c : value) {
    AppendByte(out, c.unicode() >> 8);
    AppendByte(out, c.unicode() & 0xFF);
  }
  Substitute(out, kFixedDigits, kFixedLetters);
  return out;
}

QString UnscrambleFixed(QString text) {
  Restore(text, kFixedDigits, kFixedLetters);
  QString out;
  out.reserve(text.size() / 4);
  for (qsizetype pos = 0; pos + 4 <= text.size(); pos += 4) {
    const int high = ByteAt(text, pos);
    const int low = ByteAt(text, pos + 2);
    if (high < 0 || low < 0) break;
    out.append(QChar(static_cast<char16_t>((high << 8) | low)));
  }
  return out;
}
