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

std::uint32_t LocalPathTree::Hash(const QByteArray& store, std::int32_t parent, Name name) const {
  // Seeded per process, so a recorder cannot choose names that all fall in one slot.
  const QByteArrayView bytes(store.constData() + name.at, name.length);
  return static_cast<std::uint32_t>(qHashMulti(seed_, parent, bytes));
}

std::int32_t LocalPathTree::Find(const QByteArray& store, std::int32_t parent, Name name, std::uint32_t hash) const {
  if (slots_.empty()) return -1;
  const std::size_t mask = slots_.size() - 1;
  for (std::size_t i = hash & mask;; i = (i + 1) & mask) {
    const Slot& slot = slots_[i];
    if (slot.node < 0) return -1;
    if (slot.hash != hash) continue;
    const Node& n = nodes_[static_cast<std::size_t>(slot.node)];
    if (n.parent == parent && n.length == name.length &&
        std::memcmp(store.constData() + n.at, store.constData() + name.at, static_cast<std::size_t>(n.length)) == 0)
      return slot.node;
  }
}

std::int32_t LocalPathTree::Insert(std::int32_t parent, Name name, Kind kind, std::uint32_t hash) {
  // At most three quarters of the slots are taken, so a probe ends soon.
  if ((nodes_.size() + 1) * 4 > slots_.size() * 3) {
    std::vector<Slot> table(std::max<std::size_t>(64, slots_.size() * 2));
    const std::size_t mask = table.size() - 1;
    for (const Slot& slot : slots_) {
      if (slot.node < 0) continue;
      std::size_t i = slot.hash & mask;
      while (table[i].node >= 0) i = (i + 1) & mask;
      table[i] = slot;
    }
    slots_ = std::move(table);
  }
  const std::size_t mask = slots_.size() - 1;
  std::size_t free = hash & mask;
  while (slots_[free].node >= 0) free = (free + 1) & mask;
  const auto id = static_cast<std::int32_t>(nodes_.size());
  nodes_.push_back(Node{name.at, parent, static_cast<std::uint16_t>(name.length), kind});
  slots_[free] = Slot{id, hash};
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
      const std::uint32_t hash = Hash(store, parent, name);
      const std::int32_t id = known ? Find(store, parent, name, hash) : -1;
      if (id >= 0 && nodes_[static_cast<std::size_t>(id)].kind != kind) return false;
      known = id >= 0;
      parent = known ? id : Insert(parent, name, kind, hash);
    }
    i = next + 1;
  }
  return true;
}
