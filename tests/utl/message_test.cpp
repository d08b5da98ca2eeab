#include "utl/message.h"

#include "platform/trc/zqtr.h"
#include "platform/win32/win32_api.h"
#include "support/temp_dir.h"
#include "support/test_files.h"
#include "utl/utl.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

using namespace test_support_n;

namespace {

class message_test : public ::testing::Test {
 protected:
  void SetUp() override { message_store_c::unload(); }
  void TearDown() override { message_store_c::unload(); }
  void load(const std::string& text) {
    std::vector<std::string> problems;
    ASSERT_GT(message_store_c::load_text(text, problems), 0);
    ASSERT_TRUE(problems.empty());
  }
};

TEST_F(message_test, an_empty_store_gives_message_not_found) {
  zqtr_capture_c capture;
  message_c message("ig00221");
  EXPECT_STREQ(message.id(), "IG00221");
  EXPECT_STREQ(message.text(), "Message not found");
  EXPECT_FALSE(message.found());
  EXPECT_EQ(capture.texts(), (std::vector<std::string>{"Message hash count is zero, message file is not loaded",
                                                       "Message not found for id IG00221",
                                                       "Not found message with id IG00221"}));
  auto records = capture.records();
  EXPECT_EQ(records[0].scope, "message_store_c::_find_message");
  EXPECT_EQ(records[2].scope, "message_store_c::message");
  EXPECT_EQ(records[2].level, 4u);
}

TEST_F(message_test, lookups_fall_back_to_eg00347) {
  load("IG00221 Scenario started.\n");
  message_c known("ig00221");
  EXPECT_TRUE(known.found());
  EXPECT_STREQ(known.text(), "Scenario started.");
  message_c unknown("XX00001");
  EXPECT_FALSE(unknown.found());
  EXPECT_STREQ(unknown.text(), "Message not found");
  load("EG00347 Unknown message.\n");
  message_c fallback("XX00001");
  EXPECT_TRUE(fallback.found());  // found through EG00347
  EXPECT_STREQ(fallback.text(), "Unknown message.");
}

TEST_F(message_test, the_marker_carries_the_last_error) {
  load("EG01000 Unable to open the file%%%\n");
  SetLastError(ERROR_ACCESS_DENIED);
  message_c with_error("EG01000");
  utl_stream_c expected;
  expected << "Unable to open the file: ";
  utl_n::get_error_text(expected, 5);
  EXPECT_STREQ(with_error.text(), expected.c_str());
  EXPECT_EQ(std::string(with_error.text()).substr(std::string(with_error.text()).size() - 3), "(5)");
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));  // left as it was
  SetLastError(0);
  message_c without_error("EG01000");
  EXPECT_STREQ(without_error.text(), "Unable to open the file");
}

TEST_F(message_test, message_files) {
  temp_dir_c dir;
  std::string path = dir.file("messages.txt");
  write_text_file(path,
                  "# messages\r\n"
                  "IG00221\tScenario %s started.\r\n"
                  "\r\n"
                  "ig00222 lower-case identifiers are not identifiers\n"
                  "IG00223 two\\nlines with a \\\\ and a \\t tab\n"
                  "IG00221 a second text for the same identifier\n"
                  "IG0022 too short\n"
                  "IG00224\n");
  std::vector<std::string> problems;
  EXPECT_EQ(message_store_c::load_file(path, problems), 3);
  EXPECT_EQ(problems, (std::vector<std::string>{
                          "line 4: [ig00222] is not a message identifier (two capital letters and five digits)",
                          "line 6: IG00221 appears again; the first text stays",
                          "line 7: [IG0022] is not a message identifier (two capital letters and five digits)"}));
  EXPECT_STREQ(message_c("IG00221").text(), "Scenario %s started.");
  EXPECT_STREQ(message_c("IG00223").text(), "two\nlines with a \\ and a \t tab");
  EXPECT_STREQ(message_c("IG00224").text(), "");
  EXPECT_EQ(message_store_c::load_file(dir.file("missing.txt"), problems), -1);
}

TEST(code_tables, built_at_load) {
  EXPECT_EQ(code_tables_n::code_of(code_tables_n::severities(), "Warning"), 'W');
  EXPECT_EQ(code_tables_n::code_of(code_tables_n::severities(), "SignificantInfo"), 'S');
  EXPECT_EQ(code_tables_n::code_of(code_tables_n::message_sources(), "ServiceFailreason"), 'F');
  EXPECT_EQ(code_tables_n::code_of(code_tables_n::message_sources(), "NATUtilityUI"), 'I');
  EXPECT_EQ(code_tables_n::code_of(code_tables_n::operation_modes(), "Assured Recovery"), 5);
  EXPECT_EQ(code_tables_n::code_of(code_tables_n::operation_modes(), "Nothing"), -1);
  EXPECT_EQ(code_tables_n::severities().count(), 5u);
  EXPECT_EQ(code_tables_n::message_sources().count(), 12u);
  EXPECT_EQ(code_tables_n::operation_modes().count(), 6u);
  EXPECT_EQ(message_store_c::store().modulus(), 101u);
  EXPECT_TRUE(message_store_c::store().case_sensitive());
  EXPECT_NE(message_store_c::store().lock_object(), nullptr);  // shared by every thread
}


// Formatting moves the store's positions, and a loader may fill it meanwhile: lookups from many
// threads at once each get their own text, and the code tables answer every thread alike.
TEST_F(message_test, lookups_from_many_threads_get_their_own_texts) {
  std::string text;
  for (int i = 0; i < 40; ++i) text += "AB" + std::to_string(10000 + i) + " text " + std::to_string(i) + "\n";
  load(text);
  std::atomic<int> wrong{0};
  std::atomic<bool> loading{true};
  std::vector<std::thread> threads;
  for (int t = 0; t < 6; ++t) {
    threads.emplace_back([t, &wrong] {
      for (int round = 0; round < 400; ++round) {
        const int i = (round * 7 + t) % 40;
        message_c message(("AB" + std::to_string(10000 + i)).c_str());
        if (!message.found() || std::string(message.text()) != "text " + std::to_string(i)) ++wrong;
        const char* names[] = {"Warning", "SignificantInfo"};
        const long codes[] = {'W', 'S'};
        if (code_tables_n::code_of(code_tables_n::severities(), names[round % 2]) != codes[round % 2]) ++wrong;
      }
    });
  }
  // A loader adding other identifiers while the lookups run.
  threads.emplace_back([&loading] {
    for (int i = 0; i < 200; ++i) {
      std::vector<std::string> problems;
      message_store_c::load_text("CD" + std::to_string(20000 + i) + " more\n", problems);
    }
    loading = false;
  });
  for (std::thread& thread : threads) thread.join();
  EXPECT_FALSE(loading);
  EXPECT_EQ(wrong.load(), 0);
  message_c added("CD20199");
  EXPECT_STREQ(added.text(), "more");
}

TEST_F(message_test, a_pipe_as_message_file_is_refused_not_waited_on) {
  temp_dir_c dir;
  const std::string path = dir.file("messages.txt");
  if (!make_fifo(path)) GTEST_SKIP() << "named pipes exist in the file system on POSIX only";
  std::vector<std::string> problems;
  EXPECT_EQ(message_store_c::load_file(path, problems), -1);
}

}  // namespace
