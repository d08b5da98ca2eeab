// The host-facts record and the Windows critical section the library builds when it is loaded.
#include "file/sys_info.h"
#include "platform/thl/library_statics.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

namespace {

TEST(sys_info, the_library_holds_one_record_built_at_load) {
  sys_info_c* info = library_statics_n::sys_info();
  ASSERT_NE(info, nullptr);
  EXPECT_EQ(info->kind, 105u);
  EXPECT_EQ(info->version, 1u);
  EXPECT_EQ(info->name.length(), 0u);
  EXPECT_EQ(info->value, 0u);
  EXPECT_EQ(info->words[4], 0u);
}

TEST(win32_critical_section, recursive_for_its_owner_and_exclusive_for_others) {
  win32::critical_section& section = library_statics_n::win32_section(1);
  section.lock();
  section.lock();  // the owner enters again
  std::atomic<bool> entered{false};
  std::thread other([&] {
    section.lock();
    entered = true;
    section.unlock();
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_FALSE(entered.load());
  section.unlock();
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  EXPECT_FALSE(entered.load());  // still held once
  section.unlock();
  other.join();
  EXPECT_TRUE(entered.load());
}

}  // namespace
