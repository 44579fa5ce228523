#include "app/local_path_tree.h"

#include <QByteArrayView>
#include <QHashFunctions>

#include <cstring>
#include <limits>

namespace {

constexpr qsizetype kMaxName = std::numeric_limits<std::uint16_t>::max();

// Where the name that starts at `i` ends: the next "/" or `end`.
qsizetype NameEnd(const char* bytes, qsizetype i, qsizetype end) {
  const void* slash = std::memchr(bytes + i, '/', static_cast<std::size_t>(end - i));
  return slash != nullptr ? static_cast<const char*>(slash) - bytes : end;
}

}  // namespace

std::size_t LocalPathTree::Hash(const QByteArray& store, std::int32_t parent, Name name) const {
  // Seeded per process, so a recorder cannot choose names that all fall in one slot.
  return qHashMulti(seed_, parent, QByteArrayView(store.constData() + name.at, name.length));
}

std::int32_t LocalPathTree::Find(const QByteArray& store, std::int32_t parent, Name name) const {
  if (slots_.empty()) return -1;
  const std::size_t mask = slots_.size() - 1;
  for (std::size_t i = Hash(store, parent, name) & mask;; i = (i + 1) & mask) {
    const std::int32_t id = slots_[i];
    if (id < 0) return -1;
    const Node& n = nodes_[static_cast<std::size_t>(id)];
    if (n.parent == parent && n.length == name.length &&
        std::memcmp(store.constData() + n.at, store.constData() + name.at, static_cast<std::size_t>(n.length)) == 0)
      return id;
  }
}

void LocalPathTree::Grow(const QByteArray& store) {
  // At most half the slots are taken, so a probe ends soon.
  std::vector<std::int32_t> table(std::max<std::size_t>(64, slots_.size() * 2), -1);
  const std::size_t mask = table.size() - 1;
  for (std::size_t id = 0; id < nodes_.size(); ++id) {
    const Node& n = nodes_[id];
    std::size_t i = Hash(store, n.parent, Name{n.at, n.length}) & mask;
    while (table[i] >= 0) i = (i + 1) & mask;
    table[i] = static_cast<std::int32_t>(id);
  }
  slots_ = std::move(table);
}

std::int32_t LocalPathTree::Insert(const QByteArray& store, std::int32_t parent, Name name, Kind kind) {
  if ((nodes_.size() + 1) * 2 > slots_.size()) Grow(store);
  const auto id = static_cast<std::int32_t>(nodes_.size());
  nodes_.push_back(Node{name.at, parent, static_cast<std::uint16_t>(name.length), kind});
  const std::size_t mask = slots_.size() - 1;
  std::size_t i = Hash(store, parent, name) & mask;
  while (slots_[i] >= 0) i = (i + 1) & mask;
  slots_[i] = id;
  return id;
}

bool LocalPathTree::Admit(const QByteArray& store, qsizetype at, qsizetype length) {
  const char* bytes = store.constData();
  qsizetype end = at + length;
  while (end > at && bytes[end - 1] == '/') --end;  // the last name ends here
  if (end == at) return false;
  for (qsizetype i = at; i < end; i = NameEnd(bytes, i, end) + 1)
    if (NameEnd(bytes, i, end) - i > kMaxName) return false;

  // Down the names in order. While they are there already, a file on the way
  // or a folder where this file would be leaves no room for it; from the
  // first new one on nothing can clash, and the rest is made.
  std::int32_t parent = -1;
  bool known = true;
  for (qsizetype i = at; i < end;) {
    const qsizetype next = NameEnd(bytes, i, end);
    if (next > i) {
      const Name name{i, next - i};
      const Kind kind = next == end ? Kind::File : Kind::Folder;
      const std::int32_t id = known ? Find(store, parent, name) : -1;
      if (id >= 0 && nodes_[static_cast<std::size_t>(id)].kind != kind) return false;
      known = id >= 0;
      parent = known ? id : Insert(store, parent, name, kind);
    }
    i = next + 1;
  }
  return true;
}
