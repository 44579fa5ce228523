#pragma once
// Numbers in recorder answers and answer files: leading white space skipped, an
// optional sign, digits up to the first other character, 0 when there are none.
// Values beyond the type's range saturate.
#include <QStringView>

#include <cstdint>

namespace nvr {

std::int64_t ReadDecimal64(QStringView text);
std::int32_t ReadDecimal32(QStringView text);

}  // namespace nvr
