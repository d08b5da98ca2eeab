#include "platform/thl/thl_locks.h"

#include <unordered_map>

thl_crit_section_c::thl_crit_section_c(bool spin) {
  if (spin) {
    InitializeCriticalSectionAndSpinCount(&m_section, 4000);
  } else {
    InitializeCriticalSection(&m_section);
  }
}

thl_crit_section_c::~thl_crit_section_c() { DeleteCriticalSection(&m_section); }

void thl_crit_section_c::enter() { EnterCriticalSection(&m_section); }

bool thl_crit_section_c::try_enter() { return TryEnterCriticalSection(&m_section) != FALSE; }

void thl_crit_section_c::leave() { LeaveCriticalSection(&m_section); }

thl_lock_c::thl_lock_c(thl_crit_section_c* section) : m_section(section) {
  if (m_section != nullptr) m_section->enter();
}

thl_lock_c::~thl_lock_c() {
  if (m_section != nullptr) m_section->leave();
}

single_writer_multi_reader_c::single_writer_multi_reader_c() = default;

single_writer_multi_reader_c::~single_writer_multi_reader_c() = default;

namespace {
// Reads each thread holds, per lock.
std::unordered_map<const single_writer_multi_reader_c*, unsigned>& own_read_table() {
  thread_local std::unordered_map<const single_writer_multi_reader_c*, unsigned> table;
  return table;
}
}  // namespace

unsigned& single_writer_multi_reader_c::_own_reads() const { return own_read_table()[this]; }

unsigned single_writer_multi_reader_c::reads_held_by_this_thread() const {
  auto& table = own_read_table();
  auto it = table.find(this);
  return it == table.end() ? 0 : it->second;
}

void single_writer_multi_reader_c::lock_read() {
  unsigned& own = _own_reads();
  std::unique_lock<std::mutex> guard(m_mutex);
  bool reentry = own > 0 || (m_write_depth > 0 && m_writer == std::this_thread::get_id());
  if (!reentry) {
    m_changed.wait(guard, [this] { return m_write_depth == 0 && m_writers_waiting == 0; });
  }
  ++m_readers;
  ++own;
}

void single_writer_multi_reader_c::unlock_read() {
  auto& table = own_read_table();
  auto it = table.find(this);
  if (it == table.end() || it->second == 0) return;  // not held by this thread
  if (--it->second == 0) table.erase(it);
  std::lock_guard<std::mutex> guard(m_mutex);
  if (--m_readers == 0) m_changed.notify_all();
}

void single_writer_multi_reader_c::lock_write() {
  std::unique_lock<std::mutex> guard(m_mutex);
  if (m_write_depth > 0 && m_writer == std::this_thread::get_id()) {
    ++m_write_depth;
    return;
  }
  ++m_writers_waiting;
  m_changed.wait(guard, [this] { return m_write_depth == 0 && m_readers == 0; });
  --m_writers_waiting;
  m_write_depth = 1;
  m_writer = std::this_thread::get_id();
}

void single_writer_multi_reader_c::unlock_write() {
  std::lock_guard<std::mutex> guard(m_mutex);
  if (m_write_depth == 0 || m_writer != std::this_thread::get_id()) return;
  if (--m_write_depth == 0) {
    m_writer = std::thread::id();
    m_changed.notify_all();
  }
}
