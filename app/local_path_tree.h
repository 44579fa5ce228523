#pragma once
// The files one backup folder is to hold, as a tree of the names in their
// local paths. A disk cannot hold a file where another file's folder is: of
// "/rec/dir" and "/rec/dir/inner.avi" only one can be saved. The tree admits
// a file only when it leaves room for every file admitted before it.
//
// The names are not copied: each node points into the byte store its paths
// came from (the caller's, which may grow but never changes what it holds),
// so an answer of a million lines costs a few words per file and folder, and
// each path is looked at once, name by name.
#include <QByteArray>
#include <QHashFunctions>

#include <cstdint>
#include <deque>
#include <vector>

class LocalPathTree {
 public:
  // The path of `length` bytes at `at` in `store`, "/" between its names;
  // empty names (a leading, doubled or missing "/") are no names, as a
  // filesystem reads them. True, and the file is admitted, when no admitted
  // file lies where one of its folders would be and it would not lie where
  // an admitted file's folder is; the same file admitted again is no clash.
  // False for a path without a name, or with a name of more than 65535
  // bytes, which no filesystem holds.
  bool Admit(const QByteArray& store, qsizetype at, qsizetype length);

 private:
  enum class Kind : std::uint8_t { Folder, File };
  struct Node {
    qsizetype at = 0;    // the name's bytes in the store
    std::int32_t parent = -1;  // -1: the backup folder itself
    std::uint16_t length = 0;
    Kind kind = Kind::Folder;
  };
  struct Name {
    qsizetype at;
    qsizetype length;
  };

  struct Slot {
    std::int32_t node = -1;  // -1: free
    std::uint32_t hash = 0;
  };

  std::uint32_t Hash(const QByteArray& store, std::int32_t parent, Name name) const;
  // The node of `name` (whose hash that is) in the folder `parent`, or -1.
  std::int32_t Find(const QByteArray& store, std::int32_t parent, Name name, std::uint32_t hash) const;
  // Adds a node that is not there yet.
  std::int32_t Insert(std::int32_t parent, Name name, Kind kind, std::uint32_t hash);

  std::deque<Node> nodes_;  // grows without moving what it holds, so never twice as large
  std::vector<Slot> slots_;  // open addressing over nodes_, a power of two long
  std::size_t seed_ = QHashSeed::globalSeed();
};
