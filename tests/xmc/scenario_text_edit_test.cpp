// A change written into a scenario file's own text: only the changed value's bytes (a list's
// entries) differ afterwards, whatever else the file holds (comments, CDATA, its declaration, line
// ends, entity spellings, indentation); the result loads to the changed configuration; an edit
// that cannot be made so is refused and nothing is written.
#include "default_scenario.h"
#include "xmc/scenario_text_edit.h"

#include "platform/trc/zqtr.h"
#include "support/temp_dir.h"
#include "xmc/conf_tables.h"
#include "xmc/generic_conf.h"
#include "xmc/scenario_conf.h"
#include "xmc/scenario_source_check.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <random>
#include <string>
#include <vector>

using namespace xmc_test_n;

namespace {

// The library's own form of the default scenario (Ha, FileServer: a master and one replica).
std::string library_form() {
  scenario_conf_c conf(1000);
  xmc_item_c* root = generic_conf_instance->new_default_object(TAG_SCENARIO, PRODUCT_HA, 0, false);
  conf.tree()->attach(root, nullptr, true);
  utl_stream_c text;
  conf.tree()->write_to_stream(text, true);
  return text.c_str();
}

void replace_once(std::string& text, const std::string& from, const std::string& to) {
  const size_t at = text.find(from);
  ASSERT_NE(at, std::string::npos) << from;
  text.replace(at, from.size(), to);
}

std::string replace_all(std::string text, const std::string& from, const std::string& to) {
  for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size())) {
    text.replace(at, from.size(), to);
  }
  return text;
}

// The blanks before offset on its line.
std::string indent_at(const std::string& text, size_t offset) {
  size_t start = offset;
  while (start > 0 && text[start - 1] != '\n') --start;
  return text.substr(start, offset - start);
}

// The tag holding the occurrence-th (from 0) label="LABEL": [its '<', after its '>').
std::pair<size_t, size_t> tag_of(const std::string& text, const char* label, int occurrence) {
  const std::string marker = std::string("label=\"") + label + "\"";
  size_t at = text.find(marker);
  for (int i = 0; i < occurrence && at != std::string::npos; ++i) at = text.find(marker, at + 1);
  EXPECT_NE(at, std::string::npos) << marker << " #" << occurrence;
  if (at == std::string::npos) return {0, 0};
  return {text.rfind('<', at), text.find('>', at) + 1};
}

// text with the val="..." of the tag holding the occurrence-th label="LABEL" spelled spelled.
std::string with_value(std::string text, const char* label, int occurrence, const std::string& spelled) {
  const auto tag = tag_of(text, label, occurrence);
  const size_t value = text.find("val=\"", tag.first) + 5;
  EXPECT_LT(value, tag.second);
  text.replace(value, text.find('"', value) - value, spelled);
  return text;
}

// The lines of a that b does not have: line for line when both have as many, else those between
// their common first and last lines.
std::vector<std::string> changed_lines(const std::string& a, const std::string& b) {
  auto lines = [](const std::string& t) {
    std::vector<std::string> out;
    size_t start = 0;
    for (size_t nl = t.find('\n'); nl != std::string::npos; nl = t.find('\n', start)) {
      out.push_back(t.substr(start, nl + 1 - start));
      start = nl + 1;
    }
    if (start < t.size()) out.push_back(t.substr(start));
    return out;
  };
  const std::vector<std::string> x = lines(a), y = lines(b);
  if (x.size() == y.size()) {
    std::vector<std::string> out;
    for (size_t i = 0; i < x.size(); ++i) {
      if (x[i] != y[i]) out.push_back(x[i]);
    }
    return out;
  }
  size_t head = 0;
  while (head < x.size() && head < y.size() && x[head] == y[head]) ++head;
  size_t tail = 0;
  while (tail < x.size() - head && tail < y.size() - head && x[x.size() - 1 - tail] == y[y.size() - 1 - tail]) ++tail;
  return std::vector<std::string>(x.begin() + static_cast<long>(head), x.end() - static_cast<long>(tail));
}

struct variant_s {
  const char* name;
  std::function<std::string(const std::string&)> make;
  const char* unit;      // one level of indentation
  const char* line_end;  // the file's line end
};

std::string with_comments(const std::string& base) {
  std::string text = base;
  replace_once(text, "<?xml version=\"1.0\"?>", "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>");
  const size_t heartbeat = tag_of(text, "HeartbeatTimeout", 0).first;
  text.insert(heartbeat, "<!-- why this timeout: the link is slow -->\n" + indent_at(text, heartbeat));
  const size_t comment = tag_of(text, "ScenarioComment", 0).first;
  text.insert(comment, "<![CDATA[ kept & raw ]]>\n" + indent_at(text, comment));
  const size_t email = tag_of(text, "EmailAddressTo", 4).first;
  text.insert(email, "<!-- who gets the reports -->\n" + indent_at(text, email));
  return text;
}

std::string with_entities(const std::string& base) {
  std::string text = base;
  replace_once(text, "label=\"ScenarioName\" val=\"Scenario\"",
               "label=\"ScenarioName\" val=\"O&apos;Brien &amp; Sons &#38; &quot;q&quot; caf&#233;\"");
  replace_once(text, "label=\"P2VApplianceHost\" val=\"\"", "label=\"P2VApplianceHost\" val=\"a&lt;b&gt;c\"");
  return text;
}

std::string with_odd_indentation(const std::string& base) {
  // Two blanks a level, and one tag over two lines with its value first.
  std::string text;
  bool line_start = true;
  for (char c : base) {
    if (line_start && c == '\t') {
      text += "  ";
      continue;
    }
    line_start = c == '\n';
    text += c;
  }
  const auto tag = tag_of(text, "HeartbeatTimeout", 0);
  const std::string indent = indent_at(text, tag.first);
  text.replace(tag.first, tag.second - tag.first,
               "<data   val=\"30\"\n" + indent + "      label=\"HeartbeatTimeout\"  type=\"Number\" minimum=\"3\" maximum=\"86400\" />");
  return text;
}

const variant_s k_variants[] = {
    {"library form", [](const std::string& b) { return b; }, "\t", "\n"},
    {"comments, CDATA, declaration", with_comments, "\t", "\n"},
    {"CRLF line ends", [](const std::string& b) { return replace_all(with_comments(b), "\n", "\r\n"); }, "\t", "\r\n"},
    {"entities", with_entities, "\t", "\n"},
    {"odd indentation", with_odd_indentation, "  ", "\n"},
};

// The report list of host 2, the fifth EmailAddressTo of the file.
constexpr int k_host2_email = 4;

// A list element written with entries: the file's own indentation and line ends.
std::string with_entries(const std::string& text, const variant_s& v, const std::vector<std::string>& entries) {
  const auto tag = tag_of(text, "EmailAddressTo", k_host2_email);
  const std::string indent = indent_at(text, tag.first);
  std::string open = text.substr(tag.first, tag.second - tag.first);
  // The original element: empty, written <data .../>.
  EXPECT_EQ(open.compare(open.size() - 2, 2, "/>"), 0) << open;
  open = open.substr(0, open.size() - 2) + ">";
  std::string element = open;
  for (const std::string& e : entries) {
    element += v.line_end + indent + v.unit + "<data label=\"EmailAddressTo\" val=\"" + e + "\" type=\"String\"/>";
  }
  element += v.line_end + indent + "</data>";
  std::string out = text;
  out.replace(tag.first, tag.second - tag.first, element);
  return out;
}

class scenario_text_edit_test : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_NE(generic_conf_instance, nullptr); }

  // What the tool's set does: hold the file, load it with its bytes, change, write the change into
  // the bytes, save them. "" when written, else the reason.
  std::string set_in_place(const std::string& path, const std::function<bool(scenario_conf_c&)>& change) {
    scenario_conf_c conf;
    utl_stream_c reason;
    if (!conf.hold_file(path.c_str(), &reason)) return std::string("hold: ") + reason.c_str();
    std::string bytes;
    if (!conf.load_file(path.c_str(), &reason, &bytes)) return std::string("load: ") + reason.c_str();
    if (!change(conf)) return "the change was refused";
    std::string out, why;
    if (!scenario_text_edit_n::edited_text(conf, bytes, out, why)) return "edit: " + why;
    if (!conf.save_text(path.c_str(), out.data(), out.size(), &reason)) return std::string("save: ") + reason.c_str();
    return "";
  }

  // The findings of both checks of the file, one text each.
  static std::vector<std::string> findings(const std::string& path) {
    scenario_conf_c conf;
    utl_stream_c reason;
    EXPECT_TRUE(conf.load_file(path.c_str(), &reason)) << reason.c_str();
    xmc_validity_c consistency, validity;
    conf.check_consistency(&consistency);
    conf.check_xmc_validity(&validity);
    std::vector<std::string> out;
    for (xmc_validity_c* v : {&consistency, &validity}) {
      for (uint64_t i = 0; i < v->count(); ++i) out.push_back(std::string(v->at(i)->path.c_str()) + ": " + v->at(i)->value.c_str());
    }
    return out;
  }

  test_support_n::temp_dir_c m_dir;
};

xmc_value_c text_value(const char* text) { return xmc_value_c(text); }

xmc_value_c list_value(const std::vector<std::string>& entries) {
  xmc_value_c value;
  value.make_entries();
  for (const std::string& e : entries) value.add_entry(e.c_str());
  return value;
}

}  // namespace

TEST_F(scenario_text_edit_test, a_set_changes_only_the_value_in_every_kind_of_file) {
  const std::string base = library_form();
  const uint32_t heartbeat = scenario_field("Switchover.HeartbeatTimeout");
  const uint32_t comment = scenario_field("Scenario.ScenarioComment");
  const uint32_t port = host_field("CommonHostProps.Port");
  const uint32_t compress = host_field("CommonHostProps.Compress");
  const uint32_t email_to = host_field("ReportNotifyEmail.EmailAddressTo");
  struct edit_s {
    const char* name;
    std::function<bool(scenario_conf_c&)> change;
    // The file expected from the file before.
    std::function<std::string(const std::string&, const variant_s&)> expect;
    size_t lines;  // the lines the change touches
  };
  const std::vector<edit_s> edits = {
      {"scalar", [&](scenario_conf_c& c) { auto v = text_value("45"); return c.set_scenario_data(heartbeat, v, false); },
       [](const std::string& t, const variant_s&) { return with_value(t, "HeartbeatTimeout", 0, "45"); }, 1},
      {"scalar text with markup characters",
       [&](scenario_conf_c& c) { auto v = text_value("x<y & \"z\" O'Brien"); return c.set_scenario_data(comment, v, false); },
       [](const std::string& t, const variant_s&) {
         return with_value(t, "ScenarioComment", 0, "x&lt;y &amp; &quot;z&quot; O'Brien");
       },
       1},
      {"host 2", [&](scenario_conf_c& c) { auto v = text_value("26000"); return c.set_host_data(port, 2, v); },
       [](const std::string& t, const variant_s&) { return with_value(t, "Port", 1, "26000"); }, 1},
      {"all hosts", [&](scenario_conf_c& c) { auto v = text_value("False"); return c.set_host_data_all(compress, v); },
       [](const std::string& t, const variant_s&) {
         return with_value(with_value(t, "Compress", 0, "False"), "Compress", 1, "False");
       },
       2},
      {"list of two", [&](scenario_conf_c& c) { auto v = list_value({"a@example.invalid", "b&c@example.invalid"}); return c.set_host_data(email_to, 2, v); },
       [](const std::string& t, const variant_s& v) {
         return with_entries(t, v, {"a@example.invalid", "b&amp;c@example.invalid"});
       },
       1},
  };
  for (const variant_s& v : k_variants) {
    for (const edit_s& e : edits) {
      SCOPED_TRACE(std::string(v.name) + ": " + e.name);
      const std::string path = m_dir.file("s.xml");
      const std::string before = v.make(base);
      test_support_n::write_text_file(path, before);
      const std::vector<std::string> found_before = findings(path);
      ASSERT_EQ(set_in_place(path, e.change), "");
      const std::string after = test_support_n::read_text_file(path);
      EXPECT_EQ(after, e.expect(before, v));
      EXPECT_EQ(changed_lines(before, after).size(), e.lines);
      EXPECT_EQ(findings(path), found_before);
    }
  }
}

TEST_F(scenario_text_edit_test, a_list_grows_shrinks_and_empties_in_place) {
  const uint32_t email_to = host_field("ReportNotifyEmail.EmailAddressTo");
  for (const variant_s& v : k_variants) {
    SCOPED_TRACE(v.name);
    const std::string path = m_dir.file("list.xml");
    const std::string original = v.make(library_form());
    test_support_n::write_text_file(path, original);
    const std::vector<std::vector<std::string>> steps = {
        {"a@example.invalid", "b@example.invalid"}, {"c@example.invalid"}, {"c@example.invalid", "d@example.invalid", "e@example.invalid"}, {}};
    for (const auto& entries : steps) {
      SCOPED_TRACE(entries.size());
      const std::string before = test_support_n::read_text_file(path);
      ASSERT_EQ(set_in_place(path, [&](scenario_conf_c& c) { auto value = list_value(entries); return c.set_host_data(email_to, 2, value); }), "");
      const std::string after = test_support_n::read_text_file(path);
      // Every step is measured from the untouched file: nothing outside the element ever changed.
      EXPECT_EQ(after, with_entries(original, v, entries));
      // Only the entries' lines (and the element's own start tag, the first time) differ.
      const std::vector<std::string> changed = changed_lines(before, after);
      for (const std::string& line : changed) EXPECT_NE(line.find("EmailAddressTo"), std::string::npos) << line;
      scenario_conf_c conf;
      utl_stream_c reason;
      ASSERT_TRUE(conf.load_file(path.c_str(), &reason)) << reason.c_str();
      xmc_value_c read;
      conf.get_host_data(email_to, 2, read);
      ASSERT_NE(read.entries(), nullptr);
      ASSERT_EQ(read.entries()->count(), entries.size());
      for (size_t i = 0; i < entries.size(); ++i) EXPECT_EQ(std::string(read.entries()->at(i)), entries[i]);
    }
  }
}

// A change the file's text cannot take value for value is refused with where and why, and the file
// keeps every byte.
TEST_F(scenario_text_edit_test, what_cannot_be_written_in_place_is_refused) {
  const std::string base = with_comments(library_form());
  struct case_s {
    const char* name;
    std::function<void(xml_item_c*)> change;
    const char* why;
  } cases[] = {
      {"an attribute added", [](xml_item_c* root) { root->set_attr("extra", "1"); },
       "the element <object> at line 2, column 1 cannot be edited in place: an attribute was added or removed"},
      {"text given to an object", [](xml_item_c* root) { root->set_text("words"); },
       "the element <object> at line 2, column 1 cannot be edited in place: its text changed"},
  };
  for (const case_s& c : cases) {
    SCOPED_TRACE(c.name);
    scenario_conf_c conf;
    utl_stream_c reason;
    const std::string path = m_dir.file("refused.xml");
    test_support_n::write_text_file(path, base);
    std::string bytes;
    ASSERT_TRUE(conf.load_file(path.c_str(), &reason, &bytes));
    c.change(conf.tree()->root);
    std::string out, why;
    EXPECT_FALSE(scenario_text_edit_n::edited_text(conf, bytes, out, why));
    EXPECT_EQ(why, c.why);
    EXPECT_EQ(test_support_n::read_text_file(path), base);
  }
  // Text that does not hold what was loaded (another writer's change) is no source to edit.
  scenario_conf_c conf;
  utl_stream_c reason;
  ASSERT_TRUE(conf.load_text(base.c_str(), &reason));
  std::string out, why;
  EXPECT_FALSE(scenario_text_edit_n::edited_text(conf, "<?xml version=\"1.0\"?>\n<object label=\"Group\"/>\n", out, why));
  EXPECT_EQ(why, "the file's text holds no Scenario object where its load found one");
}

// The edit path under random changes: whatever field takes whatever text, the file written loads,
// reads back the value set, and differs from the file before only inside the edited element.
TEST_F(scenario_text_edit_test, random_sets_never_touch_another_byte) {
  std::mt19937 random(31);
  const std::string path = m_dir.file("random.xml");
  test_support_n::write_text_file(path, replace_all(with_comments(library_form()), "\n", "\r\n"));
  const char* const pieces[] = {"a", "Z", "0", "7", " ", "\t", "&", "<", ">", "\"", "'", "&amp;", "&apos;", "]]>", "-->",
                                "\xc3\xa9", "\xe2\x82\xac", "\xf0\x9f\x98\x80", "\x01", "\n", "\xff", "\xe9", "True", "25"};
  std::vector<std::pair<bool, uint32_t>> fields;  // host field?, index
  for (uint32_t i = 0; i < k_scenario_data_count; ++i) fields.push_back({false, i});
  for (uint32_t i = 0; i < k_host_data_count; ++i) fields.push_back({true, i});
  size_t written = 0, refused = 0;
  for (int round = 0; round < 600; ++round) {
    const auto field = fields[random() % fields.size()];
    std::string text;
    for (size_t n = random() % 6; n > 0; --n) text += pieces[random() % (sizeof pieces / sizeof *pieces)];
    const bool list = random() % 4 == 0;
    const uint64_t host = field.first ? (random() % 3 == 0 ? 0xFFFFFFFEu : 1 + random() % 2) : 0;
    SCOPED_TRACE(std::to_string(round) + (field.first ? " host field " : " scenario field ") + std::to_string(field.second) +
                 " [" + text + "]");
    const std::string before = test_support_n::read_text_file(path);
    const std::string result = set_in_place(path, [&](scenario_conf_c& c) {
      xmc_value_c value = list ? list_value({text, "x"}) : text_value(text.c_str());
      zqtr_capture_c quiet(ZQTR_FAIL);
      return field.first ? c.set_host_data(field.second, host, value) : c.set_scenario_data(field.second, value, true);
    });
    const std::string after = test_support_n::read_text_file(path);
    if (!result.empty()) {
      // Only the library's own refusal of the value: the edit itself never fails.
      EXPECT_EQ(result, "the change was refused");
      EXPECT_EQ(after, before);
      ++refused;
      continue;
    }
    ++written;
    // The bytes before and after the first and last difference are the old file's; what lies
    // between stands inside one element of the old file.
    size_t head = 0;
    while (head < before.size() && head < after.size() && before[head] == after[head]) ++head;
    size_t tail = 0;
    while (tail < before.size() - head && tail < after.size() - head &&
           before[before.size() - 1 - tail] == after[after.size() - 1 - tail]) {
      ++tail;
    }
    if (head == before.size() && head == after.size()) continue;  // the field held the value
    const size_t open = before.rfind('<', head);
    ASSERT_NE(open, std::string::npos);
    const std::string old_part = before.substr(open, before.size() - tail - open);
    if (!list) {
      // A value set: what differs lies within one val="..." of the old file.
      const size_t value = before.rfind("val=\"", head);
      ASSERT_NE(value, std::string::npos);
      EXPECT_LE(value + 5, head);
      EXPECT_GE(before.find('"', value + 5), before.size() - tail) << old_part;
    }
    // No comment, CDATA section or declaration was touched.
    EXPECT_EQ(old_part.find("<!"), std::string::npos) << old_part;
    EXPECT_EQ(old_part.find("<?"), std::string::npos) << old_part;
    scenario_conf_c check;
    utl_stream_c reason;
    ASSERT_TRUE(check.load_file(path.c_str(), &reason)) << reason.c_str();
    if (!list) {
      xmc_value_c read;
      if (field.first) {
        check.get_host_data(field.second, host, read);
      } else {
        check.get_scenario_data(field.second, read);
      }
      EXPECT_EQ(std::string(read.as_string()), text);
    }
  }
  // Both ways were taken many times.
  EXPECT_GT(written, 40u);
  EXPECT_GT(refused, 40u);
  const std::string final_text = test_support_n::read_text_file(path);
  EXPECT_NE(final_text.find("<!-- why this timeout: the link is slow -->\r\n"), std::string::npos);
  EXPECT_NE(final_text.find("<![CDATA[ kept & raw ]]>\r\n"), std::string::npos);
  EXPECT_EQ(final_text.substr(0, final_text.find('\n') + 1), "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\r\n");
}
