#pragma once
// Free space of the file system that holds a folder, replaceable in tests.
#include <QString>
#include <cstdint>
#include <functional>

namespace platform {

struct DiskFreeSpace {
  std::uint64_t freeToCaller = 0;  // what the calling user may still write
  std::uint64_t total = 0;
  std::uint64_t totalFree = 0;     // including what only the superuser may use
};

// False when the folder does not exist, is not a folder, or cannot be asked.
bool GetDiskFreeSpace(const QString& folder, DiskFreeSpace* out);

// Installs a query for tests (an empty function restores the real one) and
// returns the previous one.
using DiskFreeSpaceQuery = std::function<bool(const QString& folder, DiskFreeSpace* out)>;
DiskFreeSpaceQuery SetDiskFreeSpaceQuery(DiskFreeSpaceQuery query);

}  // namespace platform
