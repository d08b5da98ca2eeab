// File properties, attribute changes and the whole-file operations.
#include "file/file_manipulation.h"
#include "file/file_prop.h"
#include "file/fs_info.h"
#include "file/path_n.h"
#include "file/zq_io.h"
#include "platform/win32/drive_map.h"
#include "platform/win32/win32_api.h"

#include "support/temp_dir.h"
#include "support/test_files.h"
#include "support/trace_capture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <map>
#include <string>
#include <thread>
#include <vector>

#if !defined(_WIN32)
#  include <sys/stat.h>
#  include <unistd.h>
#endif

using namespace test_support_n;

namespace {

class file_manipulation_test : public temp_dir_test {
 protected:
  DWORD attributes(const std::string& path) { return GetFileAttributesW(wide(path).c_str()); }
  static bool make_symlink(const std::string& target, const std::string& link) {
#if defined(_WIN32)
    DWORD target_attributes = GetFileAttributesW(wide(target).c_str());
    DWORD flags = (target_attributes != INVALID_FILE_ATTRIBUTES && (target_attributes & FILE_ATTRIBUTE_DIRECTORY))
                      ? SYMBOLIC_LINK_FLAG_DIRECTORY
                      : 0;
    // Unprivileged creation where the system allows it (developer mode); refused otherwise.
    bool made = CreateSymbolicLinkW(wide(link).c_str(), wide(target).c_str(), flags | 0x2) ||
                CreateSymbolicLinkW(wide(link).c_str(), wide(target).c_str(), flags);
    // Wine reports success for a link it cannot open afterwards.
    return made && GetFileAttributesW(wide(link).c_str()) != INVALID_FILE_ATTRIBUTES;
#else
    return ::symlink(target.c_str(), link.c_str()) == 0;
#endif
  }
  trace_reset_c m_trace;
};

TEST_F(file_manipulation_test, properties_of_a_file_and_a_directory) {
  std::string path = m_dir.file("data.bin");
  write_text_file(path, std::string(1234, 'x'));
  file_prop_access_c access;
  file_prop_data_s copy;
  ASSERT_TRUE(access.load_file_properties_from_disk(path.c_str(), &copy, nullptr));
  const file_prop_data_s& data = access.data();
  EXPECT_TRUE(data.loaded);
  EXPECT_EQ(data.size, 1234u);
  EXPECT_EQ(data.link_count, 1u);
  EXPECT_FALSE(data.mode.is_directory());
  EXPECT_TRUE(data.mode.is_writable());
  EXPECT_EQ(data.reparse_kind, static_cast<uint32_t>(REPARSE_NONE));
  EXPECT_NE(data.modification_time, 0);
  EXPECT_STREQ(data.path.c_str(), path.c_str());
  EXPECT_EQ(copy.size, 1234u);
  EXPECT_TRUE(copy.loaded);
  EXPECT_EQ(copy.file_id, data.file_id);

  ASSERT_TRUE(access.load_file_properties_from_disk(m_dir.path().c_str(), nullptr, nullptr));
  EXPECT_TRUE(access.data().mode.is_directory());

  EXPECT_FALSE(access.load_file_properties_from_disk(m_dir.file("missing").c_str(), &copy, nullptr));
  EXPECT_FALSE(access.data().loaded);
  EXPECT_FALSE(copy.loaded);
}

bool ends_with(const std::string& text, const std::string& tail) {
  return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

TEST_F(file_manipulation_test, symbolic_links_are_read_as_reparse_points) {
  std::string target_dir = m_dir.file("target_dir");
  ASSERT_TRUE(file_manipulation_n::create_directory(target_dir.c_str(), false));
  write_text_file(m_dir.file("target.txt"), "t");
  if (!make_symlink(m_dir.file("target.txt"), m_dir.file("file_link")) ||
      !make_symlink(target_dir, m_dir.file("dir_link"))) {
    GTEST_SKIP() << "no usable symbolic links here (a privilege on Windows; Wine makes links it cannot open)";
  }
  file_prop_access_c access;
  ASSERT_TRUE(access.load_file_properties_from_disk(m_dir.file("file_link").c_str(), nullptr, nullptr))
      << GetLastError();
  EXPECT_EQ(access.data().reparse_kind, static_cast<uint32_t>(REPARSE_SYMBOLIC_LINK));
  EXPECT_TRUE(access.data().file_link);
  EXPECT_NE(access.data().mode.zqmode() & ZQ_MODE_LINK, 0u);
  EXPECT_TRUE(ends_with(access.data().link_target.c_str(), "target.txt")) << access.data().link_target.c_str();
  EXPECT_EQ(std::string(access.data().link_target.c_str()).find("\\??\\"), std::string::npos);

  ASSERT_TRUE(access.load_file_properties_from_disk(m_dir.file("dir_link").c_str(), nullptr, nullptr));
  EXPECT_EQ(access.data().reparse_kind, static_cast<uint32_t>(REPARSE_SYMBOLIC_LINK));
  EXPECT_FALSE(access.data().file_link);
  EXPECT_TRUE(access.data().mode.is_directory());
  EXPECT_TRUE(ends_with(access.data().link_target.c_str(), "target_dir")) << access.data().link_target.c_str();

  // A listing hands the links out with their kind and target.
  dir_content_c content(nullptr);
  ASSERT_TRUE(content.init(m_dir.path().c_str()));
  file_prop_data_s entry;
  int links = 0;
  while (content.next(entry)) {
    if (std::string(entry.path.c_str()).find("_link") == std::string::npos) continue;
    ++links;
    EXPECT_EQ(entry.reparse_kind, static_cast<uint32_t>(REPARSE_SYMBOLIC_LINK)) << entry.path.c_str();
    EXPECT_NE(entry.link_target.length(), 0u);
  }
  EXPECT_EQ(links, 2);
}

TEST_F(file_manipulation_test, reparse_tags_and_targets_give_the_kind) {
  struct tag_case_s {
    uint32_t tag;
    const wchar_t* target;
    reparse_kind_e kind;
  } cases[] = {
      {0xA000000C, L"x", REPARSE_SYMBOLIC_LINK},
      {0xA0000003, L"\\??\\C:\\target", REPARSE_JUNCTION},
      {0xA0000003, L"\\??\\Volume{0b1c2d3e-0000-0000-0000-000000000001}\\", REPARSE_MOUNT_POINT},
      {0xC0000004, nullptr, REPARSE_HIERARCHICAL_STORAGE},
      {0x8000000B, nullptr, REPARSE_FILTER_MANAGER},
      {0x80000007, nullptr, REPARSE_SINGLE_INSTANCE},
      {0x8000000A, nullptr, REPARSE_DISTRIBUTED_FS},
      {0x80000017, nullptr, REPARSE_OTHER_MICROSOFT},
      {0x00000042, nullptr, REPARSE_OTHER},
  };
  for (const tag_case_s& c : cases) {
    SCOPED_TRACE(c.tag);
    EXPECT_EQ(reparse_kind_of(c.tag, c.target), c.kind);
  }
}

TEST_F(file_manipulation_test, attributes_written_and_read_only_lifted_around_a_compression_change) {
  std::string path = m_dir.file("f.txt");
  write_text_file(path, "abc");
  file_prop_access_c access;
  file_mode_c hidden;
  hidden.set_hostmode(FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_ARCHIVE);
  ASSERT_TRUE(access.set_mode_to_disk(path.c_str(), hidden));
  EXPECT_NE(attributes(path) & FILE_ATTRIBUTE_HIDDEN, 0u);

  // Read-only, then a compression request: the file system here cannot compress, which is
  // passed over; the read-only attribute is back afterwards.
  file_mode_c read_only;
  read_only.set_hostmode(FILE_ATTRIBUTE_READONLY);
  ASSERT_TRUE(access.set_mode_to_disk(path.c_str(), read_only));
  ASSERT_NE(attributes(path) & FILE_ATTRIBUTE_READONLY, 0u);
  if (file_system_info_n::supports_compression(path.c_str())) GTEST_SKIP() << "this volume compresses files";
  zqtr_capture_c capture;
  file_mode_c compressed;
  compressed.set_hostmode(FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_COMPRESSED);
  EXPECT_TRUE(access.set_mode_to_disk(path.c_str(), compressed));
  EXPECT_NE(attributes(path) & FILE_ATTRIBUTE_READONLY, 0u);
  EXPECT_EQ(attributes(path) & FILE_ATTRIBUTE_COMPRESSED, 0u);
  EXPECT_TRUE(capture.has(ZQTR_PROGRESS, "Unable to set compression for " + path));

  // Read-only lifted by add_write_attrib; a second call has nothing to do.
  file_prop_access_c other;
  EXPECT_TRUE(other.add_write_attrib(path.c_str(), nullptr));
  EXPECT_EQ(attributes(path) & FILE_ATTRIBUTE_READONLY, 0u);
  EXPECT_FALSE(other.add_write_attrib(path.c_str(), nullptr));
  EXPECT_FALSE(other.add_write_attrib(m_dir.file("missing").c_str(), nullptr));
}

TEST_F(file_manipulation_test, sparseness_is_set_and_never_removed) {
  if (running_under_wine()) GTEST_SKIP() << "Wine does not keep the sparse attribute";
  std::string path = m_dir.file("sparse.bin");
  write_text_file(path, "abc");
  file_prop_access_c access;
  file_mode_c sparse;
  sparse.set_hostmode(FILE_ATTRIBUTE_SPARSE_FILE | FILE_ATTRIBUTE_ARCHIVE);
  ASSERT_TRUE(access.set_mode_to_disk(path.c_str(), sparse));
  EXPECT_NE(attributes(path) & FILE_ATTRIBUTE_SPARSE_FILE, 0u);
  zqtr_capture_c capture;
  file_mode_c plain;
  plain.set_hostmode(FILE_ATTRIBUTE_ARCHIVE);
  EXPECT_TRUE(access.set_mode_to_disk(path.c_str(), plain));
  EXPECT_NE(attributes(path) & FILE_ATTRIBUTE_SPARSE_FILE, 0u);
  EXPECT_TRUE(capture.has(ZQTR_PROBLEM, "Sparse attribute can NOT be removed for " + path));
  EXPECT_FALSE(sparse_file_c::set_sparse(INVALID_HANDLE_VALUE));
}

TEST_F(file_manipulation_test, a_wanted_compression_without_a_handle_is_a_failure_but_attributes_are_written) {
  std::string path = m_dir.file("busy.txt");
  write_text_file(path, "abc");
  file_prop_access_c access;
  ASSERT_TRUE(access.load_file_properties_from_disk(path.c_str(), nullptr, nullptr));
  // Another open that shares nothing keeps the change's handle out.
  HANDLE holder = CreateFileW(wide(path).c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(holder, INVALID_HANDLE_VALUE);
  zqtr_capture_c capture;
  file_mode_c wanted;
  wanted.set_hostmode(FILE_ATTRIBUTE_COMPRESSED | FILE_ATTRIBUTE_HIDDEN);
  EXPECT_FALSE(access.set_mode_to_disk(path.c_str(), wanted));
  EXPECT_TRUE(capture.has(ZQTR_FAIL, "Unable to open " + path + " to change its compression or sparseness"));
  CloseHandle(holder);
  EXPECT_NE(attributes(path) & FILE_ATTRIBUTE_HIDDEN, 0u);
}

// A whole file read at once, at sizes around the first read's buffer and the room a read leaves:
// every byte comes back; a file over the limit, a directory and a missing file are errors.
TEST_F(file_manipulation_test, read_file_takes_whole_files_of_any_size) {
  for (size_t size : {0u, 1u, 3583u, 3584u, 3585u, 4095u, 4096u, 4097u, 69632u, 200001u}) {
    SCOPED_TRACE(size);
    std::string content(size, '\0');
    for (size_t i = 0; i < size; ++i) content[i] = static_cast<char>('a' + (i * 7) % 26);
    const std::string path = m_dir.file("whole_" + std::to_string(size));
    write_text_file(path, content);
    std::string read;
    ASSERT_EQ(file_manipulation_n::read_file(path.c_str(), read, 1u << 20), static_cast<DWORD>(ERROR_SUCCESS));
    EXPECT_EQ(read.size(), size);
    EXPECT_TRUE(read == content);
    if (size > 70000) {
      EXPECT_EQ(file_manipulation_n::read_file(path.c_str(), read, 70000), static_cast<DWORD>(ERROR_FILE_TOO_LARGE));
      EXPECT_TRUE(read.empty());
    }
  }
  std::string read = "left over";
  EXPECT_TRUE(file_manipulation_n::is_missing_error(file_manipulation_n::read_file(m_dir.file("none").c_str(), read, 100)));
  EXPECT_NE(file_manipulation_n::read_file(m_dir.path().c_str(), read, 100), static_cast<DWORD>(ERROR_SUCCESS));
  EXPECT_TRUE(read.empty());
}

// A small file read into a buffer with one open: its bytes, where the end was taken from, a full
// buffer told apart, the errors of what cannot be read; and the share check: a holder that shares
// nothing refuses the read, and the read leaves nothing held (a writer that shares nothing gets in
// at once after it).
TEST_F(file_manipulation_test, read_small_file_reads_with_one_open_and_holds_nothing_after) {
  char buffer[64];
  struct case_s {
    size_t size;
    DWORD error;
    bool to_the_end;  // a read that brought nothing confirmed the end
  };
  const case_s cases[] = {
      {0, ERROR_SUCCESS, true},      // the first read brings nothing
      {1, ERROR_SUCCESS, false},     // less than asked: that is the end
      {63, ERROR_SUCCESS, false},
      {64, ERROR_MORE_DATA, false},  // the buffer is full: more may follow
      {65, ERROR_MORE_DATA, false},
  };
  for (const case_s& c : cases) {
    SCOPED_TRACE(c.size);
    std::string content(c.size, 'x');
    for (size_t i = 0; i < c.size; ++i) content[i] = static_cast<char>('a' + i % 26);
    const std::string path = m_dir.file("small_" + std::to_string(c.size));
    write_text_file(path, content);
    size_t length = 99;
    bool to_the_end = !c.to_the_end;
    EXPECT_EQ(file_manipulation_n::read_small_file(wide(path).c_str(), buffer, sizeof buffer, length, to_the_end),
              c.error);
    if (c.error == ERROR_SUCCESS) {
      EXPECT_EQ(std::string(buffer, length), content);
      EXPECT_EQ(to_the_end, c.to_the_end);
    } else {
      EXPECT_EQ(length, 0u);
    }
    HANDLE writer = CreateFileW(wide(path).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    EXPECT_NE(writer, INVALID_HANDLE_VALUE) << "the read left the file held";
    if (writer != INVALID_HANDLE_VALUE) {
      size_t held_length = 99;
      EXPECT_EQ(file_manipulation_n::read_small_file(wide(path).c_str(), buffer, sizeof buffer, held_length, to_the_end),
                static_cast<DWORD>(ERROR_SHARING_VIOLATION));
      EXPECT_EQ(held_length, 0u);
      CloseHandle(writer);
    }
  }
  size_t length = 99;
  bool to_the_end = true;
  EXPECT_EQ(file_manipulation_n::read_small_file(wide(m_dir.file("none")).c_str(), buffer, sizeof buffer, length,
                                                 to_the_end),
            static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
  EXPECT_EQ(file_manipulation_n::read_small_file(wide(m_dir.file("no/where")).c_str(), buffer, sizeof buffer, length,
                                                 to_the_end),
            static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
  EXPECT_EQ(file_manipulation_n::read_small_file(wide(m_dir.path()).c_str(), buffer, sizeof buffer, length, to_the_end),
            static_cast<DWORD>(ERROR_ACCESS_DENIED));
  EXPECT_EQ(length, 0u);
#if !defined(_WIN32)
  const std::string pipe = m_dir.file("pipe");
  ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
  EXPECT_EQ(file_manipulation_n::read_small_file(wide(pipe).c_str(), buffer, sizeof buffer, length, to_the_end),
            static_cast<DWORD>(ERROR_NOT_SUPPORTED));
#endif
}

// The probe answers as an open closed at once would, for each kind of holder, and leaves nothing
// held. On POSIX it only looks, so a writer opening again and again beside a probe looping is never
// refused by it.
TEST_F(file_manipulation_test, probe_open_answers_as_an_open_and_holds_nothing) {
  const std::string path = m_dir.file("lock");
  write_text_file(path, "");
  const std::wstring name = wide(path);
  struct case_s {
    const char* holder;
    DWORD access, share;  // the holder's (0, 0: nobody holds the file)
    DWORD answer;         // to a reader sharing reading only
  };
  const case_s cases[] = {
      {"nobody", 0, 0, ERROR_SUCCESS},
      {"a writer sharing reading", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, ERROR_SHARING_VIOLATION},
      {"a reader sharing everything", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
       ERROR_SUCCESS},
      {"a reader sharing reading", GENERIC_READ, FILE_SHARE_READ, ERROR_SUCCESS},
      {"a reader sharing nothing", GENERIC_READ, 0, ERROR_SHARING_VIOLATION},
      {"a deleter sharing reading", DELETE, FILE_SHARE_READ, ERROR_SHARING_VIOLATION},
  };
  for (const case_s& c : cases) {
    SCOPED_TRACE(c.holder);
    HANDLE holder = INVALID_HANDLE_VALUE;
    if (c.access != 0) {
      holder = CreateFileW(name.c_str(), c.access, c.share, nullptr, OPEN_EXISTING, 0, nullptr);
      ASSERT_NE(holder, INVALID_HANDLE_VALUE);
    }
    EXPECT_EQ(file_manipulation_n::probe_open(name.c_str(), GENERIC_READ, FILE_SHARE_READ), c.answer);
    if (holder != INVALID_HANDLE_VALUE) CloseHandle(holder);
    HANDLE exclusive = CreateFileW(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    EXPECT_NE(exclusive, INVALID_HANDLE_VALUE) << "the probe left the file held";
    if (exclusive != INVALID_HANDLE_VALUE) CloseHandle(exclusive);
  }
  EXPECT_EQ(file_manipulation_n::probe_open(wide(m_dir.file("none")).c_str(), GENERIC_READ, FILE_SHARE_READ),
            static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
  EXPECT_EQ(file_manipulation_n::probe_open(wide(m_dir.file("no/where")).c_str(), GENERIC_READ, FILE_SHARE_READ),
            static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
#if defined(_WIN32)
  GTEST_SKIP() << "on Windows the probe is an open, which refuses a writer while it stands";
#else
  const std::string pipe = m_dir.file("pipe");
  ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
  EXPECT_EQ(file_manipulation_n::probe_open(wide(pipe).c_str(), GENERIC_READ, FILE_SHARE_READ),
            static_cast<DWORD>(ERROR_NOT_SUPPORTED));
  std::atomic<bool> stop{false};
  std::atomic<long> probes{0};
  std::thread prober([&] {
    while (!stop) {
      if (file_manipulation_n::probe_open(name.c_str(), GENERIC_READ, FILE_SHARE_READ) == ERROR_SUCCESS) ++probes;
    }
  });
  int refused = 0;
  for (int i = 0; i < 2000; ++i) {
    HANDLE writer = CreateFileW(name.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0,
                                nullptr);
    if (writer == INVALID_HANDLE_VALUE) {
      ++refused;
    } else {
      CloseHandle(writer);
    }
  }
  stop = true;
  prober.join();
  EXPECT_EQ(refused, 0);
  EXPECT_GT(probes.load(), 0);
#endif
}

TEST_F(file_manipulation_test, existence_of_files_directories_and_missing_paths) {
  write_text_file(m_dir.file("a.txt"), "a");
  EXPECT_TRUE(file_manipulation_n::if_exists(m_dir.file("a.txt").c_str(), nullptr));
  EXPECT_TRUE(file_manipulation_n::if_exists(m_dir.path().c_str(), nullptr));
  EXPECT_FALSE(file_manipulation_n::if_exists(m_dir.file("b.txt").c_str(), nullptr));
  EXPECT_FALSE(file_manipulation_n::if_exists(m_dir.file("no/b.txt").c_str(), nullptr));
  EXPECT_FALSE(file_manipulation_n::if_exists(nullptr, nullptr));
  EXPECT_FALSE(file_manipulation_n::if_exists("\\\\?\\Volume{00000000-0000-0000-0000-000000000000}\\", nullptr));
}

TEST_F(file_manipulation_test, create_directory_builds_the_chain_and_refuses_a_file) {
  std::string deep = m_dir.file("a/b/c");
  zqtr_capture_c capture;
  EXPECT_TRUE(file_manipulation_n::create_directory(deep.c_str(), false));
  EXPECT_TRUE(capture.has(ZQTR_FS, "Create directory " + deep + ", is_file_name false, full_access false"));
  for (const char* part : {"a", "a/b", "a/b/c"}) {
    SCOPED_TRACE(part);
    EXPECT_NE(attributes(m_dir.file(part)) & FILE_ATTRIBUTE_DIRECTORY, 0u);
    EXPECT_NE(attributes(m_dir.file(part)), INVALID_FILE_ATTRIBUTES);
  }
  EXPECT_TRUE(file_manipulation_n::create_directory(deep.c_str(), false));  // again

  write_text_file(m_dir.file("file"), "x");
  EXPECT_FALSE(file_manipulation_n::create_directory(m_dir.file("file").c_str(), false));
  EXPECT_FALSE(file_manipulation_n::create_directory(m_dir.file("file/sub").c_str(), false));

  // With a file name: its directory only; a bare name creates nothing.
  EXPECT_TRUE(file_manipulation_n::create_directory(m_dir.file("d/e/name.txt").c_str(), true));
  EXPECT_NE(attributes(m_dir.file("d/e")) & FILE_ATTRIBUTE_DIRECTORY, 0u);
  EXPECT_EQ(attributes(m_dir.file("d/e/name.txt")), INVALID_FILE_ATTRIBUTES);
  EXPECT_TRUE(file_manipulation_n::create_directory("name.txt", true));
  EXPECT_FALSE(file_exists("name.txt"));
  EXPECT_FALSE(file_manipulation_n::create_directory(nullptr, false));
}

TEST_F(file_manipulation_test, remove_path_removes_a_tree_with_read_only_entries) {
  ASSERT_TRUE(file_manipulation_n::create_directory(m_dir.file("tree/sub/deeper").c_str(), false));
  write_text_file(m_dir.file("tree/a.txt"), "a");
  write_text_file(m_dir.file("tree/sub/b.txt"), "b");
  write_text_file(m_dir.file("tree/sub/deeper/c.txt"), "c");
  ASSERT_TRUE(SetFileAttributesW(wide(m_dir.file("tree/sub/b.txt")).c_str(), FILE_ATTRIBUTE_READONLY));
  EXPECT_TRUE(file_manipulation_n::_remove_path(m_dir.file("tree").c_str(), nullptr, nullptr));
  EXPECT_EQ(attributes(m_dir.file("tree")), INVALID_FILE_ATTRIBUTES);
}

TEST_F(file_manipulation_test, remove_path_of_a_missing_path_only_says_so) {
  zqtr_capture_c capture;
  std::string missing = m_dir.file("missing");
  EXPECT_TRUE(file_manipulation_n::_remove_path(missing.c_str(), nullptr, nullptr));
  EXPECT_EQ(capture.texts(), std::vector<std::string>{"Remove path " + missing});
}

bool keep_keepers(const char* path) { return std::string(path).find("keep") != std::string::npos; }

TEST_F(file_manipulation_test, remove_path_leaves_what_the_hook_takes_over) {
  ASSERT_TRUE(file_manipulation_n::create_directory(m_dir.file("tree").c_str(), false));
  write_text_file(m_dir.file("tree/keep.txt"), "k");
  write_text_file(m_dir.file("tree/drop.txt"), "d");
  // The hook claims keep.txt; the directory then cannot be removed because it is not empty.
  EXPECT_FALSE(file_manipulation_n::_remove_path(m_dir.file("tree").c_str(), nullptr, &keep_keepers));
  EXPECT_TRUE(file_exists(m_dir.file("tree/keep.txt")));
  EXPECT_FALSE(file_exists(m_dir.file("tree/drop.txt")));
}

TEST_F(file_manipulation_test, remove_path_takes_links_but_not_their_targets) {
  ASSERT_TRUE(file_manipulation_n::create_directory(m_dir.file("outside/inner").c_str(), false));
  write_text_file(m_dir.file("outside/inner/precious.txt"), "p");
  write_text_file(m_dir.file("outside/file.txt"), "f");
  ASSERT_TRUE(file_manipulation_n::create_directory(m_dir.file("tree").c_str(), false));
  if (!make_symlink(m_dir.file("outside"), m_dir.file("tree/dir_link")) ||
      !make_symlink(m_dir.file("outside/file.txt"), m_dir.file("tree/file_link"))) {
    GTEST_SKIP() << "no usable symbolic links here (a privilege on Windows; Wine makes links it cannot open)";
  }
  EXPECT_TRUE(file_manipulation_n::_remove_path(m_dir.file("tree").c_str(), nullptr, nullptr));
  EXPECT_EQ(attributes(m_dir.file("tree")), INVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(read_text_file(m_dir.file("outside/inner/precious.txt")), "p");
  EXPECT_EQ(read_text_file(m_dir.file("outside/file.txt")), "f");
}

TEST_F(file_manipulation_test, a_directory_listing_hands_out_every_entry_once) {
  ASSERT_TRUE(file_manipulation_n::create_directory(m_dir.file("list/sub").c_str(), false));
  write_text_file(m_dir.file("list/one.txt"), "1");
  write_text_file(m_dir.file("list/two.txt"), "22");
  dir_content_c content(nullptr);
  ASSERT_TRUE(content.init(m_dir.file("list").c_str()));
  EXPECT_STREQ(content.directory().c_str(), (m_dir.file("list") + "/").c_str());
  std::map<std::string, file_prop_data_s> seen;
  file_prop_data_s entry;
  while (content.next(entry)) {
    EXPECT_EQ(seen.count(entry.path.c_str()), 0u);
    seen[entry.path.c_str()] = entry;
  }
  EXPECT_FALSE(content.error());
  ASSERT_EQ(seen.size(), 3u);
  EXPECT_TRUE(seen["sub"].mode.is_directory());
  EXPECT_EQ(seen["one.txt"].size, 1u);
  EXPECT_EQ(seen["two.txt"].size, 2u);
  EXPECT_EQ(seen["two.txt"].link_count, 1u);
  EXPECT_NE(seen["two.txt"].file_id, seen["one.txt"].file_id);

  dir_content_c empty(nullptr);
  ASSERT_TRUE(empty.init(m_dir.file("list/sub").c_str()));
  EXPECT_FALSE(empty.next(entry));
  EXPECT_FALSE(empty.error());
  dir_content_c missing(nullptr);
  EXPECT_FALSE(missing.init(m_dir.file("nothing").c_str()));
  EXPECT_FALSE(missing.init(nullptr));
  EXPECT_TRUE(empty._if_dots_dirs(L".."));
  EXPECT_FALSE(empty._if_dots_dirs(L"..."));
}

TEST_F(file_manipulation_test, sector_size_of_the_volume_under_a_path) {
  unsigned cluster = 77;
#if defined(_WIN32)
  std::string path = m_dir.path();
#else
  // A path of this system has no drive; through a mapped drive it has one.
  zqtr_capture_c capture;
  EXPECT_EQ(file_manipulation_n::bytes_per_sector(m_dir.path().c_str(), &cluster), 0u);
  EXPECT_EQ(cluster, 0u);
  EXPECT_TRUE(capture.has(ZQTR_DETAIL, "error getting drive name from path " + m_dir.path()));
  ASSERT_TRUE(drive_map_n::map("Q", m_dir.path()));
  std::string path = "Q:\\some\\file";
#endif
  unsigned sector = file_manipulation_n::bytes_per_sector(path.c_str(), &cluster);
  EXPECT_GE(sector, 512u);
  EXPECT_EQ(cluster % sector, 0u);
  EXPECT_GE(cluster, sector);
#if !defined(_WIN32)
  drive_map_n::unmap("Q");
#endif
}

}  // namespace

#if defined(_WIN32)
namespace {

// The 8.3 alias Windows gives a long name, or empty when the volume makes none.
std::string short_alias(const std::string& path) {
  wchar_t buffer[1024];
  DWORD n = GetShortPathNameW(wide(path).c_str(), buffer, 1024);
  if (n == 0 || n >= 1024) return std::string();
  std::wstring text(buffer, n);
  std::string out;
  for (wchar_t c : text) out += c == L'\\' ? '/' : static_cast<char>(c);
  size_t cut = out.find_last_of('/');
  return cut == std::string::npos ? out : out.substr(cut + 1);
}

TEST_F(file_manipulation_test, a_short_alias_is_not_a_file_of_its_own_and_is_reserved_for_a_new_one) {
  std::string long_name = m_dir.file("a long file name.txt");
  write_text_file(long_name, "the long one");
  std::string alias = short_alias(long_name);
  if (alias.empty() || alias == "a long file name.txt") GTEST_SKIP() << "this volume makes no short names";
  std::string alias_path = m_dir.file(alias);
  ASSERT_EQ(read_text_file(alias_path), "the long one") << "the alias opens the long file";
  wchar_t prefixed[PATH_BUFFER_SIZE];
  path_n::path_to_wide_char_path(alias_path.c_str(), prefixed, true);
  wchar_t expanded[PATH_BUFFER_SIZE];
  DWORD n = GetLongPathNameW(prefixed, expanded, PATH_BUFFER_SIZE);
  if (n == 0 || n >= PATH_BUFFER_SIZE || _wcsicmp(expanded, prefixed) == 0) {
    GTEST_SKIP() << "GetLongPathNameW does not expand an alias behind the long-path prefix here (Wine)";
  }

  zqtr_capture_c capture;
  EXPECT_FALSE(file_manipulation_n::if_exists(alias_path.c_str(), nullptr));
  EXPECT_TRUE(capture.has(ZQTR_PROBLEM, "if_exists - another file/dir owned this short name " + alias_path));

  // Creating the alias as a name of its own moves the long file aside for the call, then back.
  HANDLE created = zq_create_file(alias_path.c_str(), GENERIC_WRITE, CREATE_ALWAYS, nullptr, true, 0);
  ASSERT_NE(created, INVALID_HANDLE_VALUE);
  DWORD written = 0;
  WriteFile(created, "new", 3, &written, nullptr);
  CloseHandle(created);
  EXPECT_EQ(read_text_file(long_name), "the long one");
  EXPECT_FALSE(file_exists(m_dir.file("0.zqx")));
  dir_content_c content(nullptr);
  ASSERT_TRUE(content.init(m_dir.path().c_str()));
  file_prop_data_s entry;
  std::vector<std::string> names;
  while (content.next(entry)) names.push_back(entry.path.c_str());
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names.size(), 2u);
}

}  // namespace
#endif

namespace {

// A replacement through a link replaces what the link leads to; the link stays a link.
TEST_F(file_manipulation_test, a_replacement_through_a_link_replaces_its_target_and_keeps_the_link) {
  CreateDirectoryW(wide(m_dir.file("real")).c_str(), nullptr);
  const std::string target = m_dir.file("real/data.xml");
  write_text_file(target, "old");
  const struct {
    const char* name;
    std::string leads_to;  // as the link says it
  } links[] = {{"absolute.xml", target}, {"relative.xml", "real/data.xml"}, {"second.xml", m_dir.file("absolute.xml")}};
  bool any = false;
  for (const auto& link : links) {
    SCOPED_TRACE(link.name);
    if (!make_symlink(link.leads_to, m_dir.file(link.name))) continue;
    any = true;
    const std::string text = std::string("new through ") + link.name;
    ASSERT_TRUE(file_manipulation_n::replace_file_contents(m_dir.file(link.name).c_str(), text.data(), text.size()));
    EXPECT_EQ(read_text_file(target), text);
    EXPECT_NE(attributes(m_dir.file(link.name)) & FILE_ATTRIBUTE_REPARSE_POINT, 0u) << "still a link";
    EXPECT_EQ(read_text_file(m_dir.file(link.name)), text);
  }
  if (!any) GTEST_SKIP() << "this system makes no symbolic links for this process";
}

TEST_F(file_manipulation_test, a_replacement_through_a_dangling_link_makes_the_file_it_names) {
  if (!make_symlink(m_dir.file("later.xml"), m_dir.file("link.xml"))) GTEST_SKIP() << "no symbolic links here";
  const std::string text = "first";
  if (attributes(m_dir.file("link.xml")) == INVALID_FILE_ATTRIBUTES && running_under_wine()) {
    GTEST_SKIP() << "Wine does not show a link that leads nowhere";
  }
  ASSERT_TRUE(file_manipulation_n::replace_file_contents(m_dir.file("link.xml").c_str(), text.data(), text.size()));
  EXPECT_EQ(read_text_file(m_dir.file("later.xml")), text);
  EXPECT_NE(attributes(m_dir.file("link.xml")) & FILE_ATTRIBUTE_REPARSE_POINT, 0u);
}

}  // namespace
