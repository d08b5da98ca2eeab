// Opening files by mode and flags, the file record, and the file objects above it.
#include "file/basic_file.h"
#include "file/file.h"
#include "file/zq_io.h"
#include "platform/win32/win32_api.h"
#include "platform/thl/library_statics.h"

#include "support/temp_dir.h"
#include "support/test_files.h"
#include "support/trace_capture.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

using namespace test_support_n;

namespace {

class file_object_test : public temp_dir_test {
 protected:
  trace_reset_c m_trace;
};

struct mode_case_s {
  const char* mode;
  bool creates;          // opens a missing file
  bool keeps_content;    // an existing file keeps its bytes
};

TEST_F(file_object_test, the_six_modes_on_missing_and_existing_files) {
  const mode_case_s cases[] = {
      {"r", false, true}, {"r+", true, true}, {"w", true, false},
      {"w+", true, false}, {"a", true, true}, {"a+", true, true},
  };
  for (const mode_case_s& c : cases) {
    SCOPED_TRACE(c.mode);
    std::string missing = m_dir.file(std::string("missing_") + (c.mode[1] ? "plus_" : "") + c.mode[0]);
    zq_file_s* file = zq_fopen(missing.c_str(), c.mode, nullptr, 0);
    EXPECT_EQ(file != nullptr, c.creates);
    EXPECT_EQ(file_exists(missing), c.creates);
    if (file != nullptr) {
      EXPECT_NE(file->stream, nullptr);
      EXPECT_EQ(file->handle, nullptr);
      EXPECT_EQ(zq_fclose(file), 0);
    }
    std::string existing = missing + ".old";
    write_text_file(existing, "content");
    file = zq_fopen(existing.c_str(), c.mode, nullptr, 0);
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(zq_fclose(file), 0);
    EXPECT_EQ(read_text_file(existing), c.keeps_content ? "content" : "");
  }
}

TEST_F(file_object_test, modes_outside_the_table_are_refused_without_touching_the_disk) {
  for (const char* mode : {"rb", "rw", "r+b", "wb", "x", "", "R", "a++"}) {
    SCOPED_TRACE(mode);
    std::string path = m_dir.file("never");
    EXPECT_EQ(zq_fopen(path.c_str(), mode, nullptr, 0), nullptr);
    EXPECT_FALSE(file_exists(path));
  }
  EXPECT_EQ(zq_fopen(nullptr, "r", nullptr, 0), nullptr);
  EXPECT_EQ(zq_fopen(m_dir.file("x").c_str(), nullptr, nullptr, 0), nullptr);
}

TEST_F(file_object_test, append_mode_writes_at_the_end_whatever_the_position) {
  std::string path = m_dir.file("log.txt");
  write_text_file(path, "ab");
  zq_file_s* file = zq_fopen(path.c_str(), "a", nullptr, 0);
  ASSERT_NE(file, nullptr);
  EXPECT_EQ(zq_fseek(file, 0), 0);
  EXPECT_EQ(zq_fwrite("cd", 2, file), 2u);
  EXPECT_EQ(zq_fclose(file), 0);
  EXPECT_EQ(read_text_file(path), "abcd");
}

// A stream keeps its own position: moving the end of the file under it (a truncation that grows
// or shrinks it) must not make the next write land elsewhere than the file object's position.
TEST_F(file_object_test, writes_after_a_truncation_land_at_the_position) {
  struct case_s {
    const char* mode;
    unsigned flags;
  };
  const case_s cases[] = {{"w+", 0}, {"w", 0}, {"w+", ZQ_OPEN_READ_AHEAD}, {"r+", 0}};
  for (const case_s& c : cases) {
    SCOPED_TRACE(std::string(c.mode) + " flags " + std::to_string(c.flags));
    const std::string path = m_dir.file("grown.bin");
    write_text_file(path, "");
    FILE_c file;
    ASSERT_TRUE(file.open(path.c_str(), c.mode, nullptr, c.flags));
    ASSERT_EQ(file.write("0123456789", 10), 10u);
    ASSERT_TRUE(file.truncate(100));
    ASSERT_EQ(file.write("XY", 2), 2u);
    ASSERT_TRUE(file.truncate(50));
    ASSERT_EQ(file.write("Z", 1), 1u);
    EXPECT_TRUE(file.close());
    const std::string text = read_text_file(path);
    ASSERT_EQ(text.size(), 50u);
    EXPECT_EQ(text.substr(0, 13), "0123456789XYZ");
  }
}

TEST_F(file_object_test, flags_choose_handle_or_stream_and_the_share_mode) {
  std::string path = m_dir.file("f.bin");
  struct flag_case_s {
    unsigned flags;
    bool handle_mode;
  } cases[] = {{0, false}, {ZQ_OPEN_HANDLE_ONLY, true}, {ZQ_OPEN_OVERLAPPED, true}, {ZQ_OPEN_SEQUENTIAL_SCAN, false}};
  for (const flag_case_s& c : cases) {
    SCOPED_TRACE(c.flags);
    zq_file_s* file = zq_fopen(path.c_str(), "w+", nullptr, c.flags);
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(file->handle != nullptr, c.handle_mode);
    EXPECT_EQ(file->stream != nullptr, !c.handle_mode);
    EXPECT_EQ(file->flags, c.flags);
    EXPECT_EQ(zq_fclose(file), 0);
  }

  // Existing only: "w" does not create.
  EXPECT_EQ(zq_fopen(m_dir.file("absent").c_str(), "w", nullptr, ZQ_OPEN_EXISTING_ONLY), nullptr);
  EXPECT_FALSE(file_exists(m_dir.file("absent")));

  // Exclusive: nobody else gets in.
  zq_file_s* exclusive = zq_fopen(path.c_str(), "r", nullptr, ZQ_OPEN_EXCLUSIVE);
  ASSERT_NE(exclusive, nullptr);
  EXPECT_EQ(zq_fopen(path.c_str(), "r", nullptr, 0), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
  zq_fclose(exclusive);

  // Share read only: a second writer is refused, a reader admitted.
  zq_file_s* writer = zq_fopen(path.c_str(), "w+", nullptr, ZQ_OPEN_SHARE_READ_ONLY);
  ASSERT_NE(writer, nullptr);
  EXPECT_EQ(zq_fopen(path.c_str(), "w+", nullptr, ZQ_OPEN_SHARE_READ_ONLY), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
  zq_file_s* reader = zq_fopen(path.c_str(), "r", nullptr, 0);
  EXPECT_NE(reader, nullptr);
  if (reader != nullptr) zq_fclose(reader);
  zq_fclose(writer);
}

TEST_F(file_object_test, a_failed_open_is_traced_with_the_error_text) {
  zqtr_capture_c capture;
  std::string path = m_dir.file("nope/x.txt");
  EXPECT_EQ(zq_fopen(path.c_str(), "r", nullptr, 0), nullptr);
  bool found = false;
  for (const std::string& text : capture.texts()) {
    if (text.rfind("Failed to open " + path + ", ", 0) == 0 && text.find("(3)") != std::string::npos) found = true;
  }
  EXPECT_TRUE(found);
  EXPECT_TRUE(capture.has(ZQTR_DETAIL, "open with ACCESS_SYSTEM_SECURITY failed, err 3, " + path));
}

TEST_F(file_object_test, create_always_over_a_hidden_file_succeeds_on_the_second_attempt_and_keeps_it_hidden) {
  if (running_under_wine()) GTEST_SKIP() << "Wine run as root skips the hidden-file rule of CREATE_ALWAYS";
  std::string path = m_dir.file("hidden.txt");
  write_text_file(path, "old");
  ASSERT_TRUE(SetFileAttributesW(wide(path).c_str(), FILE_ATTRIBUTE_HIDDEN));
  zqtr_capture_c capture;
  HANDLE handle = zq_create_file(path.c_str(), GENERIC_WRITE, CREATE_ALWAYS, nullptr, true, 0);
  ASSERT_NE(handle, INVALID_HANDLE_VALUE);
  CloseHandle(handle);
  EXPECT_NE(GetFileAttributesW(wide(path).c_str()) & FILE_ATTRIBUTE_HIDDEN, 0u);
  EXPECT_EQ(read_text_file(path), "");
  bool first_failure_traced = false;
  for (const std::string& text : capture.texts()) {
    if (text.rfind("Failed to open " + path, 0) == 0) first_failure_traced = true;
  }
  EXPECT_TRUE(first_failure_traced);
}

TEST_F(file_object_test, record_operations_in_both_modes) {
  for (unsigned flags : {0u, static_cast<unsigned>(ZQ_OPEN_HANDLE_ONLY)}) {
    SCOPED_TRACE(flags);
    std::string path = m_dir.file("rec" + std::to_string(flags));
    zq_file_s* file = zq_fopen(path.c_str(), "w+", nullptr, flags);
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(zq_fwrite("abcdef", 6, file), 6u);
    // What a stream still buffers lands before the new end.
    EXPECT_EQ(zq_ftruncate(file, 3), 0);
    EXPECT_EQ(zq_fseek(file, 1), 0);
    char buffer[8] = {};
    EXPECT_EQ(zq_fread(buffer, sizeof buffer, file), 2u);
    EXPECT_STREQ(buffer, "bc");
    EXPECT_EQ(file->error, 0);
    EXPECT_EQ(zq_fclose(file), 0);
    EXPECT_EQ(read_text_file(path), "abc");
  }
  zq_file_s empty;
  std::memset(&empty, 0, sizeof empty);
  char byte = 0;
  EXPECT_EQ(zq_fread(&byte, 1, &empty), 0u);
  EXPECT_EQ(empty.error, ZQ_NO_FILE_ERROR);
  EXPECT_EQ(zq_fseek(&empty, 0), -1);
  EXPECT_EQ(zq_ftruncate(&empty, 0), ZQ_NO_FILE_ERROR);
}

TEST_F(file_object_test, standard_output_is_a_record_that_is_never_moved_or_closed) {
  zq_file_s* out = zq_fopen("zq_stdout", "w", nullptr, 0);
  ASSERT_NE(out, nullptr);
  EXPECT_EQ(out->stream, stdout);
  EXPECT_EQ(zq_fseek(out, 100), 0);
  EXPECT_EQ(zq_fclose(out), 0);
  EXPECT_EQ(std::fflush(stdout), 0);
}

TEST_F(file_object_test, asynchronous_transfers_through_the_object) {
  std::string path = m_dir.file("aio.bin");
  basic_file_c file;
  ASSERT_TRUE(file.open(path.c_str(), "w+", nullptr, ZQ_OPEN_OVERLAPPED));
  char data[16] = "0123456789";
  zq_aio_s block;
  std::memset(&block, 0, sizeof block);
  char block_buffer[16] = {};
  block.buffer = block_buffer;
  block.event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  ASSERT_TRUE(file.aio_write(data, 4, 10, &block));
  ASSERT_TRUE(file.aio_wait(&block));
  EXPECT_EQ(block.length, 10u);
  char got[16] = {};
  ASSERT_TRUE(file.aio_read(got, 6, 8, &block));
  ASSERT_TRUE(file.aio_wait(&block));
  EXPECT_EQ(block.length, 8u);
  EXPECT_EQ(std::string(got, 8), "23456789");
  // Past the end: nothing read, no error.
  ASSERT_TRUE(file.aio_read(got, 100, 8, &block));
  ASSERT_TRUE(file.aio_wait(&block));
  EXPECT_EQ(block.length, 0u);
  CloseHandle(block.event);
  EXPECT_TRUE(file.close());
  std::string text = read_text_file(path);
  EXPECT_EQ(text, std::string(4, '\0') + "0123456789");
}

TEST_F(file_object_test, a_closed_object_refuses_transfers) {
  FILE_c file;
  char buffer[4];
  EXPECT_EQ(file.read(buffer, sizeof buffer), static_cast<size_t>(-1));
  EXPECT_EQ(file.last_error(), FILE_ERROR_CLOSED);
  FILE_c other;
  EXPECT_EQ(other.write("x", 1), static_cast<size_t>(-1));
  EXPECT_EQ(other.last_error(), FILE_ERROR_CLOSED);
  EXPECT_EQ(file.tell(), static_cast<uint64_t>(-1));
  EXPECT_FALSE(file.seek(0));
  EXPECT_FALSE(file.close());
  EXPECT_FALSE(file.mark_consistent(true));
  EXPECT_TRUE(file.is_consistent());
  EXPECT_TRUE(file.mknod());
  basic_file_c basic;
  zq_aio_s block;
  std::memset(&block, 0x5A, sizeof block);
  EXPECT_TRUE(basic.aio_read(buffer, 0, sizeof buffer, &block));
  EXPECT_EQ(block.length, 0x5A5A5A5Au);  // untouched
  EXPECT_EQ(basic._get_file_handle(), INVALID_HANDLE_VALUE);
  EXPECT_EQ(basic.get_fd(), -1);
  EXPECT_FALSE(basic.set_buffering(_IOFBF, 4096));
}

TEST_F(file_object_test, the_own_position_decides_where_transfers_go) {
  const unsigned flag_sets[] = {0u, ZQ_OPEN_HANDLE_ONLY, ZQ_OPEN_OVERLAPPED, ZQ_OPEN_READ_AHEAD};
  for (unsigned flags : flag_sets) {
    SCOPED_TRACE(flags);
    std::string path = m_dir.file("pos" + std::to_string(flags));
    FILE_c file;
    ASSERT_TRUE(file.open(path.c_str(), "w+", nullptr, flags));
    EXPECT_EQ(file.write("hello world", 11), 11u);
    EXPECT_EQ(file.tell(), 11u);
    ASSERT_TRUE(file.seek(6));
    char buffer[16] = {};
    EXPECT_EQ(file.read(buffer, 5), 5u);
    EXPECT_STREQ(buffer, "world");
    ASSERT_TRUE(file.seek(0));
    EXPECT_EQ(file.write("J", 1), 1u);
    EXPECT_EQ(file.read(buffer, 4), 4u);
    EXPECT_EQ(std::string(buffer, 4), "ello");
    // Reading at the end: a short count, no error.
    ASSERT_TRUE(file.seek(9));
    EXPECT_EQ(file.read(buffer, 8), 2u);
    EXPECT_EQ(file.size(), 11u);
    EXPECT_TRUE(file.truncate(5));
    EXPECT_EQ(file.size(), 5u);
    EXPECT_TRUE(file.flush());
    EXPECT_TRUE(file.close());
    EXPECT_EQ(read_text_file(path), "Jello");
  }
}

TEST_F(file_object_test, a_closed_named_file_is_truncated_by_name) {
  std::string path = m_dir.file("t.txt");
  write_text_file(path, "0123456789");
  FILE_c file;
  ASSERT_TRUE(file.open(path.c_str(), "r", nullptr, 0));
  ASSERT_TRUE(file.close());
  EXPECT_TRUE(file.truncate(4));
  EXPECT_EQ(read_text_file(path), "0123");
  FILE_c unnamed;
  EXPECT_FALSE(unnamed.truncate(0));
}

TEST_F(file_object_test, the_handle_counter_follows_records_and_duplicates) {
  thl_ref_counter_c& counter = library_statics_n::handle_counter();
  const int64_t before = counter.value();
  std::string path = m_dir.file("c.txt");
  {
    FILE_c file;
    ASSERT_TRUE(file.open(path.c_str(), "w", nullptr, 0));
    EXPECT_EQ(counter.value(), before + 1);
    HANDLE duplicate = basic_file_c::_duplicate_handle(file._get_file_handle());
    ASSERT_NE(duplicate, nullptr);
    EXPECT_EQ(counter.value(), before + 2);
    EXPECT_TRUE(basic_file_c::_close_handle(duplicate));
    EXPECT_FALSE(basic_file_c::_close_handle(INVALID_HANDLE_VALUE));
    EXPECT_EQ(counter.value(), before + 1);
    EXPECT_FALSE(file.open(m_dir.file("no/such").c_str(), "r", nullptr, 0));
    EXPECT_EQ(counter.value(), before);  // the first record was closed by the second open
  }
  {
    FILE_c file;
    ASSERT_TRUE(file.open(path.c_str(), "r", nullptr, 0));
  }
  EXPECT_EQ(counter.value(), before);  // destruction closes
}

TEST_F(file_object_test, a_stream_object_exposes_its_descriptor_and_handle) {
  std::string path = m_dir.file("s.txt");
  write_text_file(path, "abc");
  basic_file_c file;
  ASSERT_TRUE(file.open(path.c_str(), "r", nullptr, 0));
  EXPECT_GE(file.get_fd(), 0);
  HANDLE handle = file.get_file_handle();
  ASSERT_NE(handle, INVALID_HANDLE_VALUE);
  LARGE_INTEGER size;
  ASSERT_TRUE(GetFileSizeEx(handle, &size));
  EXPECT_EQ(size.QuadPart, 3);
  EXPECT_TRUE(file.set_buffering(_IOFBF, 8192));
  EXPECT_TRUE(file.close());
}

}  // namespace
