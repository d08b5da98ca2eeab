// The state scan against the full reader: on every input where the scan answers, its answer (read
// or not, state, synchronisation and time) is the full reader's; the forms the writers write are
// answered by the scan itself; and inputs made from a written file a byte at a time changed or
// dropped never make the two disagree.
#include "stats_mng/stats_saver.h"

#include "platform/win32/win32_api.h"
#include "support/temp_dir.h"
#include "support/trace_capture.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace test_support_n;

namespace {

struct outcome_s {
  bool read = false;
  stats_saver_ex_c::state_reading_s reading;
};

outcome_s full_reader(const std::string& bytes) {
  outcome_s out;
  out.read = stats_saver_ex_c::state_from_document(bytes.data(), bytes.size(), out.reading, "test");
  return out;
}

// The scan of a copy (it writes into its bytes); decided says whether it answered.
outcome_s scanned(const std::string& bytes, bool& decided) {
  std::vector<char> copy(bytes.begin(), bytes.end());
  outcome_s out;
  out.read = stats_saver_ex_c::state_from_scan(copy.data(), copy.size(), out.reading, decided, "test");
  return out;
}

// Where the scan answers, it answers as the full reader; returns whether it answered.
bool agree(const std::string& bytes) {
  bool decided = false;
  const outcome_s scan = scanned(bytes, decided);
  if (!decided) return false;
  const outcome_s full = full_reader(bytes);
  EXPECT_EQ(scan.read, full.read);
  EXPECT_EQ(scan.reading.read, full.reading.read);
  EXPECT_EQ(scan.reading.state_index, full.reading.state_index);
  EXPECT_EQ(scan.reading.synced, full.reading.synced);
  EXPECT_EQ(scan.reading.time, full.reading.time);
  return true;
}

const char k_written[] =
    "<?xml version=\"1.0\"?>\n<stats_saver>\n\t<Scenario HostIndex=\"1\" ScenarioID=\"7\" ScenarioName=\"S\" "
    "IsSyncReplicated=\"True\" State=\"Running\" IsSyncReplicatedTime=\"200\"/>\n</stats_saver>\n";

class state_scan_test : public temp_dir_test {
 protected:
  trace_reset_c m_trace;
};

TEST_F(state_scan_test, answers_as_the_full_reader_on_each_form) {
  struct case_s {
    const char* what;
    std::string bytes;
    bool scan_answers;        // the scan must answer (the plain forms); else it may leave it
    bool read;                // the full reader's answer, stated so that both cannot be wrong alike
    unsigned state_index;
    bool synced;
    long long time;
  };
  const std::string decl = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
  static const char k_zero[] = "<r><s State=\"St\0op\"/></r>";
  const case_s cases[] = {
      {"as written", k_written, true, true, STATE_RUNNING, true, 200},
      {"CRLF between tags", "<?xml version=\"1.0\"?>\r\n<r>\r\n\t<s State=\"Sync\" IsSyncReplicated=\"false\"/>\r\n</r>", true, true, STATE_SYNC, false, 0},
      {"the last of a name counts", decl + "<r><s State=\"Stop\" State=\"Sync\" IsSyncReplicatedTime=\"5\" IsSyncReplicatedTime=\"-9\"/></r>", true, true, STATE_SYNC, false, -9},
      {"letter case of the state", decl + "<r><s State=\"rUNNING\"/></r>", true, true, STATE_RUNNING, false, 0},
      {"an unknown state", decl + "<r><s State=\"Paused\"/></r>", true, true, STATE_UNKNOWN, false, 0},
      {"no State", decl + "<r><s IsSyncReplicated=\"True\"/></r>", true, false, STATE_UNKNOWN, true, 0},
      {"only the first child counts", decl + "<r><s State=\"Stop\"></s><t State=\"Running\"/></r>", true, true, STATE_STOP, false, 0},
      {"attributes on the root are not the state's", decl + "<r State=\"Running\"><s State=\"Stop\"/></r>", true, true, STATE_STOP, false, 0},
      {"a time that is no number", decl + "<r><s State=\"Stop\" IsSyncReplicatedTime=\"soon\"/></r>", true, true, STATE_STOP, false, 0},
      {"a name beyond ASCII", decl + "<r><s ScenarioName=\"Gr\xC3\xBC\xC3\x9F\x65\" State=\"Stop\"/></r>", true, true, STATE_STOP, false, 0},
      {"bytes after the document are not read", decl + "<r><s State=\"Stop\"/></r>\xFF<<junk", true, true, STATE_STOP, false, 0},
      {"bytes before the declaration are skipped", "\xEF\xBB\xBF" + decl + "<r><s State=\"Stop\"/></r>", true, true, STATE_STOP, false, 0},
      {"an entity in a value not taken", decl + "<r><s Name=\"a &amp; b\" State=\"Stop\"/></r>", true, true, STATE_STOP, false, 0},
      // Left to the full reader, whatever it says.
      {"an entity in a value taken", decl + "<r><s State=\"&#83;top\" IsSyncReplicated=\"&quot;\"/></r>", false, true, STATE_UNKNOWN, false, 0},
      {"a comment first", decl + "<r><!-- x --><s State=\"Stop\"/></r>", false, true, STATE_STOP, false, 0},
      {"a line end inside a tag", decl + "<r><s\nState=\"Stop\"/></r>", false, true, STATE_STOP, false, 0},
      {"text in the root", decl + "<r>text<s State=\"Stop\"/></r>", false, true, STATE_STOP, false, 0},
      {"no child", decl + "<r></r>", false, false, STATE_UNKNOWN, false, 0},
      {"an empty root", decl + "<r/>", false, false, STATE_UNKNOWN, false, 0},
      {"single quotes", decl + "<r><s State='Stop'/></r>", false, false, STATE_UNKNOWN, false, 0},
      {"no declaration", "<r><s State=\"Stop\"/></r>", false, false, STATE_UNKNOWN, false, 0},
      {"a child not closed", decl + "<r><s State=\"Stop\"></r>", false, false, STATE_UNKNOWN, false, 0},
      {"the end of the input inside a tag", decl + "<r><s State=\"Stop\"", false, false, STATE_UNKNOWN, false, 0},
      {"a byte 0xFF in a value", decl + "<r><s State=\"St\xFFop\"/></r>", false, false, STATE_UNKNOWN, false, 0},
      {"a zero byte in a value", decl + std::string(k_zero, sizeof k_zero - 1), false, false, STATE_UNKNOWN, false, 0},
      {"empty", "", false, false, STATE_UNKNOWN, false, 0},
  };
  for (const case_s& c : cases) {
    SCOPED_TRACE(c.what);
    const outcome_s full = full_reader(c.bytes);
    ASSERT_EQ(full.read, c.read);
    if (full.read) {
      EXPECT_EQ(full.reading.state_index, c.state_index);
      EXPECT_EQ(full.reading.synced, c.synced);
      EXPECT_EQ(full.reading.time, c.time);
    }
    const bool answered = agree(c.bytes);
    if (c.scan_answers) {
      EXPECT_TRUE(answered) << "the scan left a plain form to the full reader";
    }
  }
}

TEST_F(state_scan_test, what_the_writers_write_is_scanned) {
  struct step_s {
    const char* what;
    bool (*write)(stats_saver_ex_c&);
    unsigned state_index;
    bool synced;
  };
  const step_s steps[] = {
      {"set_sync_state true", [](stats_saver_ex_c& s) { return s.set_sync_state(1, true, 1700000000); }, STATE_RUNNING, true},
      {"set_state stop", [](stats_saver_ex_c& s) { return s.set_state(1, false); }, STATE_STOP, true},
      {"set_sync_state false", [](stats_saver_ex_c& s) { return s.set_sync_state(1, false, 5); }, STATE_SYNC, false},
  };
  // A plain name, and one the writer writes with entities (on the state element, beside the values).
  const char* const names[] = {"Plain name", "name with \"quotes\" & <marks>"};
  for (const char* name : names) {
    SCOPED_TRACE(name);
    const std::string scenario = m_dir.file(name[0] == 'P' ? "Plain" : "Marked");
    ASSERT_TRUE(CreateDirectoryW(std::wstring(scenario.begin(), scenario.end()).c_str(), nullptr));
    stats_saver_ex_c saver(nullptr, 7, scenario.c_str(), ".mw_zq_prefix", name, false);
    for (const step_s& step : steps) {
      SCOPED_TRACE(step.what);
      ASSERT_TRUE(step.write(saver));
      const std::string bytes = read_text_file(scenario + "/.mw_zq_prefix/stats.xml");
      const outcome_s full = full_reader(bytes);
      ASSERT_TRUE(full.read);
      EXPECT_EQ(full.reading.state_index, step.state_index);
      EXPECT_EQ(full.reading.synced, step.synced);
      EXPECT_TRUE(agree(bytes)) << "written, yet left to the full reader:\n" << bytes;
    }
  }
}

TEST_F(state_scan_test, a_written_file_changed_a_byte_at_a_time_never_disagrees) {
  const std::string written = k_written;
  const unsigned char bytes[] = {'<', '>', '"', '/', '=', ' ', '\t', '\n', '\r', '&', '?', '!', '\'', 0, 0xFF, 'a', '1', 0xC3};
  unsigned answered = 0, total = 0;
  for (size_t at = 0; at < written.size(); ++at) {
    SCOPED_TRACE("byte " + std::to_string(at));
    std::string dropped = written;
    dropped.erase(at, 1);
    answered += agree(dropped) ? 1 : 0;
    ++total;
    for (unsigned char b : bytes) {
      std::string changed = written;
      changed[at] = static_cast<char>(b);
      answered += agree(changed) ? 1 : 0;
      std::string inserted = written;
      inserted.insert(at, 1, static_cast<char>(b));
      answered += agree(inserted) ? 1 : 0;
      total += 2;
    }
  }
  // Many changes inside values and names still leave a plain form the scan answers.
  EXPECT_GT(answered, total / 10);
  EXPECT_LT(answered, total);
}

}  // namespace
