#include "file/file_mode.h"

#include <gtest/gtest.h>

namespace {

TEST(file_mode, a_new_mode_is_a_writable_normal_file) {
  file_mode_c mode;
  EXPECT_EQ(mode.zqmode(), 0x3802u);
  EXPECT_EQ(mode.hostmode(), 0x80u);
  mode.set_hostmode(0x10);
  mode.reset();
  EXPECT_EQ(mode.zqmode(), 0x3802u);
  EXPECT_EQ(mode.hostmode(), 0x80u);
}

TEST(file_mode, from_attributes) {
  struct row_s {
    uint32_t attributes;
    uint32_t zqmode;
  } rows[] = {
      {0x10, 0xB7801},        // directory, writable
      {0x01, 0xB6802},        // read-only file
      {0x21, 0xB680A},        // read-only, archive
      {0x80, 0xB7802},        // normal: nothing else is mapped
      {0x82, 0xB7802},        // hidden and normal: hidden is not mirrored (the state lock file)
      {0x02, 0xB7842},        // hidden
      {0x404, 0x2B7902},      // reparse point, system
      {0x200 | 0x800, 0x20B7812},  // sparse, compressed
      {0x4040, 0x40B7822},    // device, encrypted
      {0x1000, 0xB7882},      // offline
  };
  for (const row_s& row : rows) {
    SCOPED_TRACE(row.attributes);
    file_mode_c mode;
    EXPECT_TRUE(mode.set_hostmode(row.attributes));
    EXPECT_EQ(mode.zqmode(), row.zqmode);
    EXPECT_EQ(mode.hostmode(), row.attributes);
  }
}

TEST(file_mode, to_attributes) {
  struct row_s {
    uint32_t zqmode;
    uint32_t attributes;
  } rows[] = {
      {0xB7802, 0x80},  // writable file: normal
      {0xB6802, 0x01},  // read-only
      {0x1, 0x11},      // directory, read-only
      {0x1001, 0x90},   // writable directory: directory and normal
      {0x1048, 0x22},   // hidden, archive
      {0x2201104, 0x204},  // sparse, system; link and reparse bits have no attribute
      {0x1000000 | 0x1000, 0x80},
  };
  for (const row_s& row : rows) {
    SCOPED_TRACE(row.zqmode);
    file_mode_c mode;
    mode.set_zqmode(row.zqmode);
    EXPECT_EQ(mode.hostmode(), row.attributes);
    EXPECT_EQ(mode.zqmode(), row.zqmode);
  }
}

TEST(file_mode, toggling_read_only_and_copying) {
  file_mode_c mode;
  mode.set_hostmode(0x20);
  EXPECT_TRUE(mode.is_writable());
  mode.toggle_readonly();
  EXPECT_FALSE(mode.is_writable());
  EXPECT_EQ(mode.hostmode(), 0x21u);
  mode.toggle_readonly();
  EXPECT_EQ(mode.hostmode(), 0x20u);
  file_mode_c other;
  other.copy(mode);
  EXPECT_EQ(other.zqmode(), mode.zqmode());
  EXPECT_EQ(other.hostmode(), mode.hostmode());
  EXPECT_FALSE(other.is_directory());
}

}  // namespace
