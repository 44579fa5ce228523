// Reading the simulated recorder's requests from their raw targets.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "sim_recorder.h"

namespace sim {

// The catalogue request of a raw request target, Unknown when it is none of them.
Request ClassifyTarget(std::string_view target);

// Query of a raw target split at "&" and "=" (not decoded).
std::vector<std::pair<std::string, std::string>> QueryParams(std::string_view target);
std::optional<std::string> QueryValue(std::string_view target, std::string_view key);

// %XX decoding; "+" stays a plus. Malformed escapes stay as they are.
std::string PercentDecode(std::string_view s);

// Strict decimal integer (optional "-", digits only, fits 32 bits).
std::optional<int> ParseInt(std::string_view s);

// "YYYY,MM,DD,hh,mm,ss", zero-padded to exactly those widths.
std::optional<DateTime> ParsePaddedDateTime(std::string_view s);

// The recorder path of a Download: everything after the first "&path=", decoded.
std::optional<std::string> DownloadPath(std::string_view target);

// Credentials of an "Authorization: Basic ..." value; nullopt when malformed.
std::optional<std::pair<std::string, std::string>> BasicCredentials(std::string_view header_value);

}  // namespace sim
