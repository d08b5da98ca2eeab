// The POSIX layer's answers when the system calls under it fail or fall short: a file system that
// cannot lock, a call interrupted by a signal, a gate held by another, reads and writes cut short,
// a full disk, a flush that fails.
#include "platform/win32/win32_api.h"

#include "file/file.h"
#include "support/system_call_faults.h"
#include "support/temp_dir.h"
#include "support/test_files.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <string>

using namespace test_support_n;

namespace {

class system_call_faults_test : public temp_dir_test {
 protected:
  void SetUp() override {
    m_file = m_dir.file("data.bin");
    write_text_file(m_file, "0123456789abcdefghijklmnopqrstuvwxyz");
  }
  HANDLE open(DWORD access, DWORD share, DWORD disposition = OPEN_EXISTING) {
    return CreateFileW(wide(m_file).c_str(), access, share, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
  }
  std::string m_file;
};

// A writer that shares nothing, then a reader: refused while share modes hold, let in where the
// file system cannot lock (share modes are then not enforced at all).
TEST_F(system_call_faults_test, opens_under_lock_faults) {
  struct case_s {
    const char* what;
    fault_s fault;
    bool first_opens;
    DWORD first_error;
    bool second_refused;
  };
  const case_s cases[] = {
      {"no faults", {call_e::open, 0}, true, 0, true},
      {"the gate cannot lock", {call_e::flock, ENOLCK}, true, 0, false},
      {"the lock bytes cannot lock", {call_e::lock, ENOLCK}, true, 0, false},
      {"locks not supported", {call_e::lock, EOPNOTSUPP}, true, 0, false},
      {"the gate interrupted once", {call_e::flock, EINTR, 1}, true, 0, true},
      {"a lock byte interrupted once", {call_e::lock, EINTR, 1}, true, 0, true},
      {"the open interrupted twice", {call_e::open, EINTR, 2}, true, 0, true},
      {"the gate held for three tries", {call_e::flock, EWOULDBLOCK, 3}, true, 0, true},
      {"the open refused (read-write, then write-only)", {call_e::open, EACCES, 2}, false, ERROR_ACCESS_DENIED, true},
      {"too many open files", {call_e::open, EMFILE, 1}, false, ERROR_TOO_MANY_OPEN_FILES, true},
  };
  for (const case_s& c : cases) {
    SCOPED_TRACE(c.what);
    scoped_faults_c faults({c.fault});
    HANDLE first = open(GENERIC_READ | GENERIC_WRITE, 0);
    const DWORD error = GetLastError();
    EXPECT_EQ(first != INVALID_HANDLE_VALUE, c.first_opens);
    if (first == INVALID_HANDLE_VALUE) {
      EXPECT_EQ(error, c.first_error);
      continue;
    }
    HANDLE second = open(GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE);
    EXPECT_EQ(second == INVALID_HANDLE_VALUE, c.second_refused);
    if (second == INVALID_HANDLE_VALUE) {
      EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
    } else {
      CloseHandle(second);
    }
    CloseHandle(first);
  }
}

// A gate that stays taken is no sharing violation: after about two seconds the open fails with a
// time-out of its own.
TEST_F(system_call_faults_test, a_gate_never_won_times_out) {
  scoped_faults_c faults({{call_e::flock, EWOULDBLOCK}});
  EXPECT_EQ(open(GENERIC_READ, FILE_SHARE_READ), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_TIMEOUT));
  EXPECT_GT(faults.calls(call_e::flock), 100u) << "tried again and again";
}

// A file object's stream under a full disk: a write larger than the stream's buffer fails cleanly
// (a short count; a stream told of a negative count would take it for a huge one and run past the
// caller's buffer).
TEST_F(system_call_faults_test, a_stream_under_a_full_disk) {
  {
    FILE_c file;
    ASSERT_TRUE(file.open(m_file.c_str(), "w", nullptr, 0));
    const std::string big(24 * 1024, 'x');
    scoped_faults_c faults({{call_e::write, ENOSPC}});
    const size_t put = file.write(big.data(), big.size());
    EXPECT_TRUE(put != big.size()) << put;
    file.close();
  }
  // The file holds what reached it before the disk filled, nothing past it.
  EXPECT_LT(read_text_file(m_file).size(), 24u * 1024u);
}

// Reads cut short or interrupted still deliver every byte to a caller that reads on.
TEST_F(system_call_faults_test, reads_cut_short_or_interrupted) {
  struct case_s {
    const char* what;
    fault_s fault;
  };
  const case_s cases[] = {
      {"seven bytes a call", {call_e::read, 0, -1, 0, 7}},
      {"one byte a call", {call_e::read, 0, -1, 0, 1}},
      {"interrupted every other call", {call_e::read, EINTR, 3}},
  };
  for (const case_s& c : cases) {
    SCOPED_TRACE(c.what);
    HANDLE h = open(GENERIC_READ, FILE_SHARE_READ);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    scoped_faults_c faults({c.fault});
    std::string text;
    char buffer[64];
    DWORD got = 0;
    while (ReadFile(h, buffer, sizeof buffer, &got, nullptr) && got > 0) text.append(buffer, got);
    EXPECT_EQ(text, "0123456789abcdefghijklmnopqrstuvwxyz");
    CloseHandle(h);
  }
}

// Writes: cut short ones are completed, interrupted ones asked again, a full disk is
// ERROR_DISK_FULL; a flush that fails is a failure, one with nothing to flush to is not.
TEST_F(system_call_faults_test, writes_and_flushes_under_faults) {
  struct case_s {
    const char* what;
    fault_s fault;
    bool written;
    DWORD error;
    bool flushed;
  };
  const case_s cases[] = {
      {"five bytes a call", {call_e::write, 0, -1, 0, 5}, true, 0, true},
      {"interrupted twice", {call_e::write, EINTR, 2}, true, 0, true},
      {"the disk full", {call_e::write, ENOSPC}, false, ERROR_DISK_FULL, true},
      {"the disk full after a part", {call_e::write, ENOSPC, -1, 1, 4}, false, ERROR_DISK_FULL, true},
      {"the flush fails", {call_e::fsync, EIO}, true, 0, false},
      {"nothing to flush to", {call_e::fsync, EINVAL}, true, 0, true},
  };
  for (const case_s& c : cases) {
    SCOPED_TRACE(c.what);
    HANDLE h = open(GENERIC_WRITE, 0, CREATE_ALWAYS);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    {
      scoped_faults_c faults({c.fault});
      const std::string data = "the new content of the file";
      DWORD written = 0;
      const BOOL ok = WriteFile(h, data.data(), static_cast<DWORD>(data.size()), &written, nullptr);
      EXPECT_EQ(ok != FALSE, c.written);
      if (ok) {
        EXPECT_EQ(written, data.size());
      } else {
        EXPECT_EQ(GetLastError(), c.error);
      }
      EXPECT_EQ(FlushFileBuffers(h) != FALSE, c.flushed);
    }
    CloseHandle(h);
    if (c.written) {
      EXPECT_EQ(read_text_file(m_file), "the new content of the file");
    }
  }
}

}  // namespace
