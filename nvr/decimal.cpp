#include "nvr/decimal.h"

#include <limits>

namespace nvr {

std::int64_t ReadDecimal64(QStringView text) {
  qsizetype i = 0;
  const qsizetype n = text.size();
  while (i < n && (text[i] == u' ' || (text[i] >= u'\t' && text[i] <= u'\r'))) ++i;
  bool negative = false;
  if (i < n && (text[i] == u'+' || text[i] == u'-')) negative = text[i++] == u'-';
  constexpr std::int64_t kMax = std::numeric_limits<std::int64_t>::max();
  std::int64_t value = 0;
  bool saturated = false;
  for (; i < n && text[i] >= u'0' && text[i] <= u'9'; ++i) {
    const int digit = text[i].unicode() - u'0';
    if (value > (kMax - digit) / 10) saturated = true;
    if (!saturated) value = value * 10 + digit;
  }
  if (saturated) return negative ? std::numeric_limits<std::int64_t>::min() : kMax;
  return negative ? -value : value;
}

std::int32_t ReadDecimal32(QStringView text) {
  const std::int64_t v = ReadDecimal64(text);
  if (v > std::numeric_limits<std::int32_t>::max()) return std::numeric_limits<std::int32_t>::max();
  if (v < std::numeric_limits<std::int32_t>::min()) return std::numeric_limits<std::int32_t>::min();
  return static_cast<std::int32_t>(v);
}

}  // namespace nvr
