// The read-ahead and write-behind buffers, alone and under a file object.
#include "file/buffered_io.h"
#include "file/file.h"
#include "utl/tuning_parameters.h"

#include "support/temp_dir.h"
#include "support/test_files.h"
#include "support/trace_capture.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

using namespace test_support_n;

namespace {

// Installs named tuning parameters for the life of the object.
class tuning_c {
 public:
  explicit tuning_c(std::initializer_list<std::pair<const char*, const char*>> values) {
    m_registry.groups.emplace_back();
    for (const auto& v : values) {
      tuning_parameter_s p;
      p.name = v.first;
      p.has_value = true;
      p.value = v.second;
      m_registry.groups.back().parameters.push_back(p);
    }
    tuning_parameters_n::install_registry(&m_registry);
  }
  ~tuning_c() { tuning_parameters_n::install_registry(nullptr); }

 private:
  tuning_parameter_registry_s m_registry;
};

class buffered_io_test : public temp_dir_test {
 protected:
  std::string make(const std::string& name, const std::string& content) {
    std::string path = m_dir.file(name);
    write_text_file(path, content);
    return path;
  }
  trace_reset_c m_trace;
};

TEST_F(buffered_io_test, ring_size_follows_the_setting_within_its_bounds) {
  EXPECT_EQ(buffered_io_ring_size(), 3u);
  struct ring_case_s {
    const char* value;
    uint32_t size;
  } cases[] = {{"0", 1}, {"1", 1}, {"4", 4}, {"5", 5}, {"9", 5}, {"-2", 1}};
  for (const ring_case_s& c : cases) {
    SCOPED_TRACE(c.value);
    tuning_c tuning({{"AIONumber", c.value}});
    EXPECT_EQ(buffered_io_ring_size(), c.size);
  }
}

TEST_F(buffered_io_test, chunk_length_is_the_larger_setting_in_whole_sectors) {
  EXPECT_EQ(buffered_io_chunk_length(512), 65536u);
  {
    tuning_c tuning({{"ChunkLength", "1000"}});
    EXPECT_EQ(buffered_io_chunk_length(512), 65536u);  // IOReadLength's default is larger
  }
  struct chunk_case_s {
    const char* chunk;
    const char* io_read;
    unsigned sector;
    uint32_t length;
  } cases[] = {{"1000", "100", 512, 1024}, {"100", "1000", 4096, 4096}, {"0", "0", 512, 512},
               {"8192", "4096", 512, 8192}, {"131072", "1", 512, 131072}};
  for (const chunk_case_s& c : cases) {
    SCOPED_TRACE(std::string(c.chunk) + "/" + c.io_read);
    tuning_c tuning({{"ChunkLength", c.chunk}, {"IOReadLength", c.io_read}});
    EXPECT_EQ(buffered_io_chunk_length(c.sector), c.length);
  }
}

TEST_F(buffered_io_test, a_small_unaligned_write_rewrites_its_sector_and_keeps_nothing) {
  std::string content(2048, 'a');
  std::string path = make("f.bin", content);
  FILE_c file;
  ASSERT_TRUE(file.open(path.c_str(), "r+", nullptr, ZQ_OPEN_OVERLAPPED));
  ASSERT_TRUE(file.seek(700));
  EXPECT_EQ(file.write("0123456789", 10), 10u);
  EXPECT_EQ(file.write_behind().count(), 0);
  // Already on disk: another reader sees it before any flush.
  content.replace(700, 10, "0123456789");
  EXPECT_EQ(read_text_file(path), content);
  EXPECT_TRUE(file.close());
  EXPECT_EQ(read_text_file(path), content);
}

TEST_F(buffered_io_test, a_sector_rewrite_never_grows_the_file_past_what_was_written) {
  std::string path = make("short.bin", std::string(600, 'x'));
  FILE_c file;
  ASSERT_TRUE(file.open(path.c_str(), "r+", nullptr, ZQ_OPEN_OVERLAPPED));
  ASSERT_TRUE(file.seek(700));
  EXPECT_EQ(file.write("0123456789", 10), 10u);
  EXPECT_TRUE(file.close());
  std::string expected = std::string(600, 'x') + std::string(100, '\0') + "0123456789";
  EXPECT_EQ(read_text_file(path), expected);
}

TEST_F(buffered_io_test, small_writes_merge_in_the_buffer_until_the_flush) {
  std::string path = make("m.bin", "");
  FILE_c file;
  ASSERT_TRUE(file.open(path.c_str(), "w+", nullptr, ZQ_OPEN_OVERLAPPED));
  EXPECT_EQ(file.write("first-", 6), 6u);
  EXPECT_EQ(file.write("second", 6), 6u);
  EXPECT_EQ(file.write_behind().count(), 12);
  EXPECT_EQ(read_text_file(path), "");  // nothing has reached the disk yet
  ASSERT_TRUE(file.seek(3));
  EXPECT_EQ(file.write("ST", 2), 2u);  // inside what is held
  EXPECT_EQ(file.write_behind().count(), 12);
  EXPECT_TRUE(file.flush());
  EXPECT_EQ(file.write_behind().count(), 0);
  EXPECT_EQ(read_text_file(path), "firST-second");
  // A read first finishes what is behind.
  ASSERT_TRUE(file.seek(12));
  EXPECT_EQ(file.write("!", 1), 1u);
  ASSERT_TRUE(file.seek(0));
  char buffer[16] = {};
  EXPECT_EQ(file.read(buffer, sizeof buffer), 13u);
  EXPECT_STREQ(buffer, "firST-second!");
  EXPECT_TRUE(file.close());
}

// A request of any size goes out chunk by chunk: no transfer larger than a chunk (a single one of
// 4 GiB or more would be cut to its low 32 bits) and no copy of the whole request.
TEST_F(buffered_io_test, a_large_write_goes_out_chunk_by_chunk) {
  std::string path = make("large.bin", "");
  std::string content(9 * 65536 + 1000, '\0');
  for (size_t i = 0; i < content.size(); ++i) content[i] = static_cast<char>('a' + i % 23);
  FILE_c file;
  ASSERT_TRUE(file.open(path.c_str(), "w+", nullptr, ZQ_OPEN_OVERLAPPED));
  const size_t chunk = buffered_io_chunk_length(file.sector_size());
  ASSERT_GT(chunk, 0u);
  ASSERT_TRUE(file.seek(100));  // unaligned: the head sector first
  EXPECT_EQ(file.write(content.data(), content.size()), content.size());
  EXPECT_TRUE(file.close());
  EXPECT_GT(file.write_behind().largest_transfer(), 0u);
  EXPECT_LE(file.write_behind().largest_transfer(), chunk);
  EXPECT_EQ(read_text_file(path), std::string(100, '\0') + content);
}

TEST_F(buffered_io_test, a_read_at_position_minus_one_fails_without_touching_the_file) {
  std::string path = make("p.bin", "abc");
  for (unsigned flags : {static_cast<unsigned>(ZQ_OPEN_READ_AHEAD), static_cast<unsigned>(ZQ_OPEN_OVERLAPPED)}) {
    SCOPED_TRACE(flags);
    FILE_c file;
    ASSERT_TRUE(file.open(path.c_str(), "r", nullptr, flags));
    ASSERT_TRUE(file.seek(static_cast<uint64_t>(-1)));
    char buffer[4];
    EXPECT_EQ(file.read(buffer, 3), static_cast<size_t>(-1));
    EXPECT_EQ(file.read_ahead().count(), 0);
    ASSERT_TRUE(file.seek(0));
    EXPECT_EQ(file.read(buffer, 3), 3u);
  }
}

TEST_F(buffered_io_test, reads_are_served_from_the_cached_chunk) {
  std::string content;
  for (int i = 0; i < 5000; ++i) content += static_cast<char>('a' + i % 26);
  std::string path = make("r.bin", content);
  tuning_c tuning({{"ChunkLength", "1024"}, {"IOReadLength", "1024"}});
  FILE_c file;
  ASSERT_TRUE(file.open(path.c_str(), "r", nullptr, ZQ_OPEN_READ_AHEAD));
  char buffer[32];
  ASSERT_EQ(file.read(buffer, 10), 10u);
  EXPECT_EQ(file.read_ahead().position(), 10);
  EXPECT_EQ(file.read_ahead().count(), 1014);  // the rest of the chunk
  ASSERT_TRUE(file.seek(3));  // backwards inside the chunk: still a hit
  ASSERT_EQ(file.read(buffer, 5), 5u);
  EXPECT_EQ(std::string(buffer, 5), content.substr(3, 5));
  EXPECT_EQ(file.read_ahead().count(), 1016);
}

// Random reads and writes through each buffer against the same operations on a model.
TEST_F(buffered_io_test, random_transfers_match_a_plain_model_byte_for_byte) {
  tuning_c tuning({{"ChunkLength", "2048"}, {"IOReadLength", "1024"}, {"AIONumber", "2"}});
  const unsigned flag_sets[] = {ZQ_OPEN_READ_AHEAD, ZQ_OPEN_OVERLAPPED, ZQ_OPEN_READ_AHEAD | ZQ_OPEN_OVERLAPPED,
                                ZQ_OPEN_READ_AHEAD | ZQ_OPEN_HANDLE_ONLY};
  for (unsigned flags : flag_sets) {
    SCOPED_TRACE(flags);
    std::mt19937 random(20261206u + flags);
    std::string model(9000, '\0');
    for (char& c : model) c = static_cast<char>(random() & 0xFF);
    std::string path = make("random" + std::to_string(flags), model);
    FILE_c file;
    ASSERT_TRUE(file.open(path.c_str(), "r+", nullptr, flags));
    std::vector<char> buffer(7000);
    for (int step = 0; step < 600; ++step) {
      const uint64_t at = random() % 10000;
      const size_t length = (random() % 4 == 0) ? random() % 6000 : random() % 700;
      ASSERT_TRUE(file.seek(at));
      if (random() % 3 == 0) {
        for (size_t i = 0; i < length; ++i) buffer[i] = static_cast<char>(random() & 0xFF);
        ASSERT_EQ(file.write(buffer.data(), length), length) << "step " << step;
        if (model.size() < at + length) model.resize(at + length, '\0');
        model.replace(at, length, buffer.data(), length);
      } else {
        size_t got = file.read(buffer.data(), length);
        size_t expected = at >= model.size() ? 0 : std::min(length, model.size() - static_cast<size_t>(at));
        ASSERT_EQ(got, expected) << "step " << step << " at " << at << " length " << length;
        ASSERT_EQ(std::string(buffer.data(), got), expected == 0 ? std::string() : model.substr(at, expected))
            << "step " << step;
        ASSERT_EQ(file.tell(), at + got);
        continue;
      }
      ASSERT_EQ(file.tell(), at + length);
    }
    EXPECT_EQ(file.size(), model.size());
    EXPECT_TRUE(file.close());
    EXPECT_EQ(read_text_file(path), model);
  }
}

}  // namespace
