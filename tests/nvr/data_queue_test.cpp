// The locked queue: order, lookup by index, copies read under the lock,
// clearing, and producers and a consumer on threads of their own losing nothing.
#include "nvr/data_queue.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

using nvr::DataQueue;

namespace {

struct Counted {
  static inline std::atomic<int> alive{0};
  int value;
  explicit Counted(int v) : value(v) { ++alive; }
  ~Counted() { --alive; }
};

std::vector<int> Drain(DataQueue<Counted>& q) {
  std::vector<int> out;
  while (auto e = q.RemoveFront()) out.push_back(e->value);
  return out;
}

}  // namespace

TEST(DataQueue, OrderAndIndexLookup) {
  DataQueue<Counted> q;
  EXPECT_EQ(q.RemoveFront(), nullptr);
  EXPECT_EQ(q.PeekBack(), nullptr);
  EXPECT_EQ(q.At(0), nullptr);
  for (int v : {1, 2, 3, 4}) q.Push(std::make_unique<Counted>(v));
  EXPECT_EQ(q.Count(), 4);
  EXPECT_EQ(q.At(-1), nullptr);
  EXPECT_EQ(q.At(4), nullptr);  // past the end: none, never out of bounds
  // A missing element fails the comparison instead of the test program.
  auto value = [](const Counted* c) { return c ? c->value : -1; };
  EXPECT_EQ(value(q.At(2)), 3);
  EXPECT_EQ(value(q.PeekBack()), 4);
  EXPECT_EQ(value(q.EraseAt(3).get()), 4);
  EXPECT_EQ(q.EraseAt(7), nullptr);
  EXPECT_EQ(q.IndexOf([](const Counted& c) { return c.value == 2; }), 1);
  EXPECT_EQ(Drain(q), (std::vector<int>{1, 2, 3}));
  EXPECT_EQ(Counted::alive.load(), 0);
}

// A copy read under the lock, as the progress dialog and the backup command
// read queued row numbers; an index outside the queue gives the fallback.
TEST(DataQueue, ValueAtCopiesTheElementOrGivesTheFallback) {
  DataQueue<int> q;
  EXPECT_EQ(q.ValueAt(0, -1), -1);
  for (int v : {7, 9}) q.Push(std::make_unique<int>(v));
  struct Case {
    int index, expected;
  } cases[] = {{0, 7}, {1, 9}, {2, -1}, {-1, -1}};
  for (const Case& c : cases) EXPECT_EQ(q.ValueAt(c.index, -1), c.expected) << c.index;
  EXPECT_EQ(q.Count(), 2);  // reading takes nothing away
}

TEST(DataQueue, ClearFreesWhatIsQueuedOnlyAndIsReentrant) {
  {
    DataQueue<Counted> q;
    q.Clear();
    for (int v : {1, 2, 3}) q.Push(std::make_unique<Counted>(v));
    auto taken = q.RemoveFront();
    {
      std::lock_guard<std::recursive_mutex> hold(q.Lock());
      q.Clear();  // the same thread already holds the lock
    }
    EXPECT_EQ(q.Count(), 0);
    EXPECT_EQ(Counted::alive.load(), 1);  // the one taken out is ours
    q.Push(std::make_unique<Counted>(9));
  }
  EXPECT_EQ(Counted::alive.load(), 0);  // destruction freed the last one
}

TEST(DataQueue, ProducersAndConsumerLoseNothing) {
  DataQueue<Counted> q;
  constexpr int kPerProducer = 20000;
  std::atomic<long long> sum{0};
  std::atomic<int> taken{0};
  std::thread p1([&] { for (int i = 1; i <= kPerProducer; ++i) q.Push(std::make_unique<Counted>(i)); });
  std::thread p2([&] { for (int i = 1; i <= kPerProducer; ++i) q.Push(std::make_unique<Counted>(i)); });
  std::thread c([&] {
    while (taken < 2 * kPerProducer)
      if (auto e = q.RemoveFront()) {
        sum += e->value;
        ++taken;
      }
  });
  p1.join();
  p2.join();
  c.join();
  EXPECT_EQ(sum.load(), 2LL * kPerProducer * (kPerProducer + 1) / 2);
  EXPECT_EQ(Counted::alive.load(), 0);
}
