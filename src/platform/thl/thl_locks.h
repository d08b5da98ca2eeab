// Locks of the thread-and-list component and the library-wide reference counter.
#ifndef STATS_MNG_PLATFORM_THL_THL_LOCKS_H
#define STATS_MNG_PLATFORM_THL_THL_LOCKS_H

#include "platform/win32/win32_api.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

// A recursive section, owned by the thread that entered it. Built with true it spins a little
// before it sleeps (for sections held only for a few instructions).
class thl_crit_section_c {
 public:
  explicit thl_crit_section_c(bool spin = false);
  virtual ~thl_crit_section_c();
  thl_crit_section_c(const thl_crit_section_c&) = delete;
  thl_crit_section_c& operator=(const thl_crit_section_c&) = delete;

  void enter();
  bool try_enter();
  void leave();
  // Whether the calling thread holds the section (always true where invariants are not checked:
  // only checks ask).
  bool held_by_this_thread() const;

 private:
  void _entered();

  CRITICAL_SECTION m_section;
#if defined(STATS_MNG_CHECK_INVARIANTS)
  std::atomic<std::thread::id> m_owner{};
  unsigned m_depth = 0;  // the owner's nested entries
#endif
};

// Holds a section for its lifetime; a null section is no lock at all.
class thl_lock_c {
 public:
  explicit thl_lock_c(thl_crit_section_c* section);
  explicit thl_lock_c(thl_crit_section_c& section) : thl_lock_c(&section) {}
  virtual ~thl_lock_c();
  thl_lock_c(const thl_lock_c&) = delete;
  thl_lock_c& operator=(const thl_lock_c&) = delete;

 private:
  thl_crit_section_c* m_section;
};

// Many readers or one writer. Waiting writers go before new readers, except that a thread
// already reading may read again (nested reads never wait behind a writer that waits for them),
// and the writing thread may read and write again. A thread that holds a read and asks to write
// would wait for itself (and stop every new reader behind it): it is refused, with a trace line.
class single_writer_multi_reader_c {
 public:
  single_writer_multi_reader_c();
  virtual ~single_writer_multi_reader_c();
  single_writer_multi_reader_c(const single_writer_multi_reader_c&) = delete;
  single_writer_multi_reader_c& operator=(const single_writer_multi_reader_c&) = delete;

  void lock_read();
  void unlock_read();
  // False, and nothing held, when the calling thread holds a read.
  bool lock_write();
  void unlock_write();

  // Reads held by the calling thread.
  unsigned reads_held_by_this_thread();

 private:
  // The reads each thread holds (few threads at once: a short list under the mutex).
  std::vector<std::pair<std::thread::id, unsigned>>::iterator _reads_of(std::thread::id thread);

  std::vector<std::pair<std::thread::id, unsigned>> m_reads;
  std::mutex m_mutex;
  std::condition_variable m_changed;
  uint64_t m_readers = 0;
  uint64_t m_writers_waiting = 0;
  unsigned m_write_depth = 0;
  std::thread::id m_writer;
};

class single_writer_lock_c {
 public:
  explicit single_writer_lock_c(single_writer_multi_reader_c& lock) : m_lock(lock), m_held(m_lock.lock_write()) {}
  virtual ~single_writer_lock_c() {
    if (m_held) m_lock.unlock_write();
  }
  single_writer_lock_c(const single_writer_lock_c&) = delete;
  single_writer_lock_c& operator=(const single_writer_lock_c&) = delete;

  // False when the write was refused (the thread holds a read): change nothing then.
  bool held() const { return m_held; }

 private:
  single_writer_multi_reader_c& m_lock;
  bool m_held;
};

class multi_reader_lock_c {
 public:
  explicit multi_reader_lock_c(single_writer_multi_reader_c& lock) : m_lock(lock) { m_lock.lock_read(); }
  virtual ~multi_reader_lock_c() { m_lock.unlock_read(); }
  multi_reader_lock_c(const multi_reader_lock_c&) = delete;
  multi_reader_lock_c& operator=(const multi_reader_lock_c&) = delete;

 private:
  single_writer_multi_reader_c& m_lock;
};

// A counter shared by all threads; increase and decrease give the new value.
class thl_ref_counter_c {
 public:
  explicit thl_ref_counter_c(int64_t start = 0) : m_value(start) {}
  virtual ~thl_ref_counter_c() = default;
  int64_t increase() { return m_value.fetch_add(1, std::memory_order_relaxed) + 1; }
  int64_t decrease() { return m_value.fetch_sub(1, std::memory_order_relaxed) - 1; }
  int64_t value() const { return m_value.load(std::memory_order_relaxed); }

 private:
  std::atomic<int64_t> m_value;
};

#endif
