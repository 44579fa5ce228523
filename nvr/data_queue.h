#pragma once
// An ordered queue of owned elements shared between threads, guarded by one
// re-entrant lock. Reads that span several steps hold Lock() around them.
#include <memory>
#include <mutex>
#include <vector>

namespace nvr {

template <typename T>
class DataQueue {
 public:
  DataQueue() = default;
  DataQueue(const DataQueue&) = delete;
  DataQueue& operator=(const DataQueue&) = delete;
  virtual ~DataQueue() { Clear(); }

  std::recursive_mutex& Lock() const { return lock_; }

  void Push(std::unique_ptr<T> element) {
    std::lock_guard<std::recursive_mutex> hold(lock_);
    elements_.push_back(std::move(element));
  }

  // Frees every element still queued.
  void Clear() {
    std::lock_guard<std::recursive_mutex> hold(lock_);
    while (!elements_.empty()) {
      std::unique_ptr<T> front;
      {
        std::lock_guard<std::recursive_mutex> inner(lock_);
        front = std::move(elements_.front());
        elements_.erase(elements_.begin());
      }
      front.reset();
    }
  }

  int Count() const {
    std::lock_guard<std::recursive_mutex> hold(lock_);
    return static_cast<int>(elements_.size());
  }

  // None for an index outside the queue. The element stays owned by the queue.
  T* At(int index) const {
    std::lock_guard<std::recursive_mutex> hold(lock_);
    if (index < 0 || index >= static_cast<int>(elements_.size())) return nullptr;
    return elements_[static_cast<std::size_t>(index)].get();
  }

  // A copy of the element at `index`, read under the lock; `none` for an
  // index outside the queue.
  T ValueAt(int index, T none) const {
    std::lock_guard<std::recursive_mutex> hold(lock_);
    const T* element = At(index);
    return element != nullptr ? *element : none;
  }

  T* PeekBack() const {
    std::lock_guard<std::recursive_mutex> hold(lock_);
    return elements_.empty() ? nullptr : elements_.back().get();
  }

  std::unique_ptr<T> RemoveFront() {
    std::lock_guard<std::recursive_mutex> hold(lock_);
    if (elements_.empty()) return nullptr;
    std::unique_ptr<T> front = std::move(elements_.front());
    elements_.erase(elements_.begin());
    return front;
  }

  std::unique_ptr<T> EraseAt(int index) {
    std::lock_guard<std::recursive_mutex> hold(lock_);
    if (index < 0 || index >= static_cast<int>(elements_.size())) return nullptr;
    std::unique_ptr<T> taken = std::move(elements_[static_cast<std::size_t>(index)]);
    elements_.erase(elements_.begin() + index);
    return taken;
  }

  // Position of the first element the predicate accepts, -1 when none.
  template <typename Pred>
  int IndexOf(Pred pred) const {
    std::lock_guard<std::recursive_mutex> hold(lock_);
    for (std::size_t i = 0; i < elements_.size(); ++i)
      if (pred(*elements_[i])) return static_cast<int>(i);
    return -1;
  }

 private:
  mutable std::recursive_mutex lock_;
  std::vector<std::unique_ptr<T>> elements_;
};

}  // namespace nvr
