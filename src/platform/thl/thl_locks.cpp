#include "platform/thl/thl_locks.h"

#include "platform/thl/invariants.h"

#include "platform/trc/zqtr.h"


thl_crit_section_c::thl_crit_section_c(bool spin) {
  if (spin) {
    InitializeCriticalSectionAndSpinCount(&m_section, 4000);
  } else {
    InitializeCriticalSection(&m_section);
  }
}

thl_crit_section_c::~thl_crit_section_c() { DeleteCriticalSection(&m_section); }

void thl_crit_section_c::enter() {
  EnterCriticalSection(&m_section);
  _entered();
}

bool thl_crit_section_c::try_enter() {
  if (TryEnterCriticalSection(&m_section) == FALSE) return false;
  _entered();
  return true;
}

#if defined(STATS_MNG_CHECK_INVARIANTS)

void thl_crit_section_c::_entered() {
  if (m_owner.load() == std::this_thread::get_id()) {
    ++m_depth;
  } else {
    m_owner.store(std::this_thread::get_id());
    m_depth = 1;
  }
}

void thl_crit_section_c::leave() {
  // Only the thread that entered a section may leave it, as often as it entered.
  STATS_MNG_INVARIANT(held_by_this_thread());
  if (--m_depth == 0) m_owner.store(std::thread::id());
  LeaveCriticalSection(&m_section);
}

bool thl_crit_section_c::held_by_this_thread() const { return m_owner.load() == std::this_thread::get_id(); }

#else

void thl_crit_section_c::_entered() {}

void thl_crit_section_c::leave() { LeaveCriticalSection(&m_section); }

bool thl_crit_section_c::held_by_this_thread() const { return true; }

#endif

thl_lock_c::thl_lock_c(thl_crit_section_c* section) : m_section(section) {
  if (m_section != nullptr) m_section->enter();
}

thl_lock_c::~thl_lock_c() {
  if (m_section != nullptr) m_section->leave();
}

single_writer_multi_reader_c::single_writer_multi_reader_c() = default;

single_writer_multi_reader_c::~single_writer_multi_reader_c() = default;

std::vector<std::pair<std::thread::id, unsigned>>::iterator single_writer_multi_reader_c::_reads_of(
    std::thread::id thread) {
  for (auto it = m_reads.begin(); it != m_reads.end(); ++it) {
    if (it->first == thread) return it;
  }
  return m_reads.end();
}

unsigned single_writer_multi_reader_c::reads_held_by_this_thread() {
  std::lock_guard<std::mutex> guard(m_mutex);
  auto it = _reads_of(std::this_thread::get_id());
  return it == m_reads.end() ? 0 : it->second;
}

void single_writer_multi_reader_c::lock_read() {
  const std::thread::id me = std::this_thread::get_id();
  std::unique_lock<std::mutex> guard(m_mutex);
  const bool reentry = _reads_of(me) != m_reads.end() || (m_write_depth > 0 && m_writer == me);
  if (!reentry) {
    m_changed.wait(guard, [this] { return m_write_depth == 0 && m_writers_waiting == 0; });
  }
  ++m_readers;
  auto it = _reads_of(me);  // found again: other readers may have grown the list meanwhile
  if (it == m_reads.end()) m_reads.emplace_back(me, 1); else ++it->second;
}

void single_writer_multi_reader_c::unlock_read() {
  std::lock_guard<std::mutex> guard(m_mutex);
  auto it = _reads_of(std::this_thread::get_id());
  if (it == m_reads.end()) return;  // not held by this thread
  if (--it->second == 0) m_reads.erase(it);
  if (--m_readers == 0) m_changed.notify_all();
}

bool single_writer_multi_reader_c::lock_write() {
  const std::thread::id me = std::this_thread::get_id();
  std::unique_lock<std::mutex> guard(m_mutex);
  if (m_write_depth > 0 && m_writer == me) {
    ++m_write_depth;
    return true;
  }
  if (_reads_of(me) != m_reads.end()) {
    guard.unlock();
    ZQTR_SCOPE(tr, "single_writer_multi_reader_c::lock_write", "thl_locks");
    tr.print(ZQTR_FAIL, __LINE__, "Can not lock for writing: this thread holds a read lock of it\n");
    return false;
  }
  ++m_writers_waiting;
  m_changed.wait(guard, [this] { return m_write_depth == 0 && m_readers == 0; });
  --m_writers_waiting;
  m_write_depth = 1;
  m_writer = me;
  return true;
}

void single_writer_multi_reader_c::unlock_write() {
  std::lock_guard<std::mutex> guard(m_mutex);
  if (m_write_depth == 0 || m_writer != std::this_thread::get_id()) return;
  if (--m_write_depth == 0) {
    m_writer = std::thread::id();
    m_changed.notify_all();
  }
}
