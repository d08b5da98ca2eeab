#include "platform/thl/thl_locks.h"

#include "support/trace_capture.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

namespace {

using namespace std::chrono_literals;
using namespace test_support_n;

TEST(thl_crit_section, is_recursive_and_owned_by_its_thread) {
  thl_crit_section_c section(false);
  section.enter();
  ASSERT_TRUE(section.try_enter());  // the owner enters again
  bool other = true;
  std::thread([&] { other = section.try_enter(); }).join();
  EXPECT_FALSE(other);
  section.leave();
  std::thread([&] { other = section.try_enter(); }).join();
  EXPECT_FALSE(other);  // still held once
  section.leave();
  std::thread([&] {
    other = section.try_enter();
    if (other) section.leave();
  }).join();
  EXPECT_TRUE(other);
}

TEST(thl_crit_section, scoped_lock_excludes_other_threads) {
  thl_crit_section_c section(true);
  long counter = 0;
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&] {
      for (int i = 0; i < 20000; ++i) {
        thl_lock_c lock(section);
        ++counter;
      }
    });
  }
  for (auto& t : threads) t.join();
  EXPECT_EQ(counter, 80000);
  thl_lock_c no_lock(nullptr);  // a null section locks nothing
}

// Waits until pred holds or two seconds pass.
template <class P>
bool eventually(P pred) {
  for (int i = 0; i < 2000; ++i) {
    if (pred()) return true;
    std::this_thread::sleep_for(1ms);
  }
  return pred();
}

TEST(single_writer_multi_reader, a_reader_reads_again_past_a_waiting_writer) {
  single_writer_multi_reader_c lock;
  lock.lock_read();
  std::atomic<bool> writer_in{false};
  std::thread writer([&] {
    single_writer_lock_c w(lock);
    writer_in = true;
  });
  std::this_thread::sleep_for(50ms);  // the writer is now waiting for the reader
  EXPECT_FALSE(writer_in);
  // A nested read of the same thread must not wait behind the writer.
  {
    multi_reader_lock_c again(lock);
    EXPECT_EQ(lock.reads_held_by_this_thread(), 2u);
  }
  EXPECT_FALSE(writer_in);
  lock.unlock_read();
  writer.join();
  EXPECT_TRUE(writer_in);
  EXPECT_EQ(lock.reads_held_by_this_thread(), 0u);
}

TEST(single_writer_multi_reader, a_waiting_writer_goes_before_new_readers) {
  single_writer_multi_reader_c lock;
  lock.lock_read();
  std::atomic<int> order{0};
  std::atomic<int> writer_at{0}, reader_at{0};
  std::thread writer([&] {
    single_writer_lock_c w(lock);
    writer_at = ++order;
  });
  std::this_thread::sleep_for(50ms);
  std::thread reader([&] {
    multi_reader_lock_c r(lock);
    reader_at = ++order;
  });
  std::this_thread::sleep_for(50ms);
  EXPECT_EQ(order.load(), 0);
  lock.unlock_read();
  writer.join();
  reader.join();
  EXPECT_EQ(writer_at.load(), 1);
  EXPECT_EQ(reader_at.load(), 2);
}

TEST(single_writer_multi_reader, readers_share_and_the_writer_excludes) {
  single_writer_multi_reader_c lock;
  std::atomic<int> readers_inside{0};
  std::atomic<int> most{0};
  std::atomic<bool> writer_saw_reader{false};
  std::atomic<bool> stop{false};
  std::vector<std::thread> threads;
  for (int t = 0; t < 3; ++t) {
    threads.emplace_back([&] {
      while (!stop) {
        multi_reader_lock_c r(lock);
        int now = ++readers_inside;
        int seen = most.load();
        while (now > seen && !most.compare_exchange_weak(seen, now)) {
        }
        std::this_thread::sleep_for(100us);
        --readers_inside;
      }
    });
  }
  for (int i = 0; i < 50; ++i) {
    single_writer_lock_c w(lock);
    if (readers_inside != 0) writer_saw_reader = true;
    std::this_thread::sleep_for(100us);
  }
  EXPECT_TRUE(eventually([&] { return most.load() >= 2; }));
  stop = true;
  for (auto& t : threads) t.join();
  EXPECT_FALSE(writer_saw_reader);
}

TEST(single_writer_multi_reader, the_writer_may_read_and_write_again) {
  single_writer_multi_reader_c lock;
  {
    single_writer_lock_c w(lock);
    single_writer_lock_c w2(lock);
    multi_reader_lock_c r(lock);
  }
  bool other_could_write = false;
  std::thread([&] {
    single_writer_lock_c w(lock);
    other_could_write = true;
  }).join();
  EXPECT_TRUE(other_could_write);
}

TEST(single_writer_multi_reader, a_reader_asking_to_write_is_refused_and_blocks_nobody) {
  single_writer_multi_reader_c lock;
  zqtr_capture_c capture;
  lock.lock_read();
  EXPECT_FALSE(lock.lock_write());
  EXPECT_TRUE(capture.has(ZQTR_FAIL, "Can not lock for writing: this thread holds a read lock of it"));
  {
    single_writer_lock_c scoped(lock);
    EXPECT_FALSE(scoped.held());
  }
  // Other readers still get in, and the read is still held.
  std::atomic<bool> read{false};
  std::thread other([&] {
    multi_reader_lock_c r(lock);
    read = true;
  });
  other.join();
  EXPECT_TRUE(read);
  EXPECT_EQ(lock.reads_held_by_this_thread(), 1u);
  lock.unlock_read();
  // Once the read is gone the same thread may write.
  EXPECT_TRUE(lock.lock_write());
  EXPECT_TRUE(lock.lock_write());  // again, as the writer
  lock.unlock_write();
  lock.unlock_write();
  single_writer_lock_c scoped(lock);
  EXPECT_TRUE(scoped.held());
}

TEST(thl_ref_counter, counts_across_threads) {
  thl_ref_counter_c counter;
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&] {
      for (int i = 0; i < 10000; ++i) {
        counter.increase();
        counter.decrease();
        counter.increase();
      }
    });
  }
  for (auto& t : threads) t.join();
  EXPECT_EQ(counter.value(), 40000);
  EXPECT_EQ(counter.increase(), 40001);
  EXPECT_EQ(counter.decrease(), 40000);
}

}  // namespace

// Where invariants are checked, a section left by a thread that does not hold it stops the process
// with the broken condition named.
TEST(thl_crit_section, leaving_a_section_not_held_is_caught) {
#if defined(STATS_MNG_CHECK_INVARIANTS) && !defined(_WIN32)
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  thl_crit_section_c section(false);
  EXPECT_DEATH(section.leave(), "invariant broken at .*thl_locks.cpp:[0-9]+: held_by_this_thread\\(\\)");
  section.enter();
  EXPECT_TRUE(section.held_by_this_thread());
  section.leave();
#else
  GTEST_SKIP() << "invariants are checked in debug and sanitizer builds (death tests: not under Wine)";
#endif
}
