#include "sim_request.h"

#include <cctype>
#include <climits>

namespace sim {

namespace {

std::string_view PathOf(std::string_view target) { return target.substr(0, target.find('?')); }

bool HasQuery(std::string_view target) { return target.find('?') != std::string_view::npos; }

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

int Base64Value(char c) {
  if (c >= 'A' && c <= 'Z') return c - 'A';
  if (c >= 'a' && c <= 'z') return c - 'a' + 26;
  if (c >= '0' && c <= '9') return c - '0' + 52;
  if (c == '+') return 62;
  if (c == '/') return 63;
  return -1;
}

}  // namespace

Request ClassifyTarget(std::string_view target) {
  const std::string_view path = PathOf(target);
  const bool query = HasQuery(target);
  if (path == "/config/login") return Request::Login;
  if (path == "/config/logout") return Request::Logout;
  if (path == "/play/getid") return query ? Request::RenewPlayId : Request::GetPlayId;
  if (path == "/config/getbackupid") return query ? Request::RenewBackupId : Request::GetBackupId;
  if (path == "/config/tarnwell") return Request::QueueBackupJob;
  if (path == "/config/backupdownload") return Request::Download;
  if (path == "/config/datetime") return Request::GetDateTime;
  if (path == "/config/userprivileges") return Request::GetPrivileges;
  if (path == "/play/recdate") return Request::GetRecordDays;
  if (path == "/live/avdevlist") return Request::GetChannels;
  if (path == "/play/reclist") return Request::GetRecordListPage;
  if (path == "/play/searchdata") return Request::SeekPlayback;
  if (path == "/play/mav/nvrprofilestream") return Request::GetStream;
  return Request::Unknown;
}

std::vector<std::pair<std::string, std::string>> QueryParams(std::string_view target) {
  std::vector<std::pair<std::string, std::string>> out;
  const size_t q = target.find('?');
  if (q == std::string_view::npos) return out;
  std::string_view rest = target.substr(q + 1);
  while (!rest.empty()) {
    const size_t amp = rest.find('&');
    const std::string_view piece = rest.substr(0, amp);
    const size_t eq = piece.find('=');
    if (eq == std::string_view::npos)
      out.emplace_back(std::string(piece), std::string());
    else
      out.emplace_back(std::string(piece.substr(0, eq)), std::string(piece.substr(eq + 1)));
    if (amp == std::string_view::npos) break;
    rest = rest.substr(amp + 1);
  }
  return out;
}

std::optional<std::string> QueryValue(std::string_view target, std::string_view key) {
  for (auto& [k, v] : QueryParams(target))
    if (k == key) return v;
  return std::nullopt;
}

std::string PercentDecode(std::string_view s) {
  std::string out;
  out.reserve(s.size());
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '%' && i + 2 < s.size()) {
      const int hi = HexValue(s[i + 1]), lo = HexValue(s[i + 2]);
      if (hi >= 0 && lo >= 0) {
        out.push_back(static_cast<char>(hi * 16 + lo));
        i += 2;
        continue;
      }
    }
    out.push_back(s[i]);
  }
  return out;
}

std::optional<int> ParseInt(std::string_view s) {
  if (s.empty()) return std::nullopt;
  size_t i = 0;
  const bool negative = s[0] == '-';
  if (negative) i = 1;
  if (i == s.size()) return std::nullopt;
  long long v = 0;
  for (; i < s.size(); ++i) {
    if (!std::isdigit(static_cast<unsigned char>(s[i]))) return std::nullopt;
    v = v * 10 + (s[i] - '0');
    if (v > static_cast<long long>(INT_MAX) + 1) return std::nullopt;
  }
  if (negative) v = -v;
  if (v > INT_MAX || v < INT_MIN) return std::nullopt;
  return static_cast<int>(v);
}

std::optional<DateTime> ParsePaddedDateTime(std::string_view s) {
  static const size_t widths[] = {4, 2, 2, 2, 2, 2};
  int values[6];
  size_t at = 0;
  for (int f = 0; f < 6; ++f) {
    if (at + widths[f] > s.size()) return std::nullopt;
    int v = 0;
    for (size_t k = 0; k < widths[f]; ++k) {
      const char c = s[at + k];
      if (c < '0' || c > '9') return std::nullopt;
      v = v * 10 + (c - '0');
    }
    values[f] = v;
    at += widths[f];
    if (f < 5) {
      if (at >= s.size() || s[at] != ',') return std::nullopt;
      ++at;
    }
  }
  if (at != s.size()) return std::nullopt;
  DateTime t{values[0], values[1], values[2], values[3], values[4], values[5]};
  if (t.month < 1 || t.month > 12 || t.day < 1 || t.day > 31 || t.hour > 23 || t.minute > 59 ||
      t.second > 59)
    return std::nullopt;
  return t;
}

std::optional<std::string> DownloadPath(std::string_view target) {
  const size_t at = target.find("&path=");
  if (at == std::string_view::npos) return std::nullopt;
  return PercentDecode(target.substr(at + 6));
}

std::optional<std::pair<std::string, std::string>> BasicCredentials(std::string_view value) {
  constexpr std::string_view kScheme = "Basic ";
  if (value.substr(0, kScheme.size()) != kScheme) return std::nullopt;
  std::string_view b64 = value.substr(kScheme.size());
  std::string raw;
  uint32_t acc = 0;
  int bits = 0;
  size_t i = 0;
  for (; i < b64.size() && b64[i] != '='; ++i) {
    const int v = Base64Value(b64[i]);
    if (v < 0) return std::nullopt;
    acc = (acc << 6) | static_cast<uint32_t>(v);
    bits += 6;
    if (bits >= 8) {
      bits -= 8;
      raw.push_back(static_cast<char>((acc >> bits) & 0xFF));
    }
  }
  for (; i < b64.size(); ++i)
    if (b64[i] != '=') return std::nullopt;
  const size_t colon = raw.find(':');
  if (colon == std::string::npos) return std::nullopt;
  return std::make_pair(raw.substr(0, colon), raw.substr(colon + 1));
}

}  // namespace sim
