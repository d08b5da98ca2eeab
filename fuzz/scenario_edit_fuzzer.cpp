// The in-place edit of a scenario file: a random field set to a random text in a scenario file's
// own text. Whenever the library takes the value, the edited text must load (to the changed
// configuration, which the edit checks itself), read the value back, and differ from the file
// before only inside the edited value (a list field: inside its element), never in a comment,
// CDATA section or the declaration.
//
// Input: byte 0 chooses scenario or host field, host and list, bytes 1-2 the field's index; then the
// value's text up to a NUL; after the NUL, when there is anything, the scenario file (else a file
// with comments, CDATA, CRLF line ends and entities, made from the configurator's default).
#include "platform/trc/zqtr.h"
#include "xmc/conf_tables.h"
#include "xmc/generic_conf.h"
#include "xmc/scenario_conf.h"
#include "xmc/scenario_text_edit.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

void require(bool condition) {
  if (!condition) std::abort();
}

std::string replace_all(std::string text, const std::string& from, const std::string& to) {
  for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size())) {
    text.replace(at, from.size(), to);
  }
  return text;
}

const std::string& default_file() {
  static const std::string file = [] {
    scenario_conf_c conf(1000);
    if (generic_conf_instance == nullptr) return std::string();
    conf.tree()->attach(generic_conf_instance->new_default_object(TAG_SCENARIO, PRODUCT_HA, 0, false), nullptr, true);
    utl_stream_c text;
    conf.tree()->write_to_stream(text, true);
    std::string s = text.c_str();
    s = replace_all(s, "<?xml version=\"1.0\"?>", "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>");
    s = replace_all(s, "\t<data label=\"ScenarioComment\"", "\t<!-- a comment -->\n\t<![CDATA[ raw ]]>\n\t<data label=\"ScenarioComment\"");
    s = replace_all(s, "label=\"P2VApplianceHost\" val=\"\"", "label=\"P2VApplianceHost\" val=\"O&apos;Brien &#38; &amp;\"");
    return replace_all(s, "\n", "\r\n");
  }();
  return file;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 3) return 0;
  const uint8_t choice = data[0];
  const uint32_t number = static_cast<uint32_t>(data[1]) | static_cast<uint32_t>(data[2]) << 8;
  const char* rest = reinterpret_cast<const char*>(data + 3);
  const size_t rest_size = size - 3;
  const void* nul = std::memchr(rest, '\0', rest_size);
  const std::string value(rest, nul == nullptr ? rest_size : static_cast<size_t>(static_cast<const char*>(nul) - rest));
  const std::string source =
      nul == nullptr || static_cast<const char*>(nul) + 1 == rest + rest_size
          ? default_file()
          : std::string(static_cast<const char*>(nul) + 1, rest + rest_size);
  zqtr_capture_c quiet(ZQTR_FAIL);
  scenario_conf_c conf;
  utl_stream_c reason;
  if (!conf.load_content(source, "fuzz.xml", &reason)) return 0;
  const bool host_field = (choice & 1) != 0;
  const bool list = (choice & 2) != 0;
  const uint64_t host = (choice & 4) != 0 ? 0xFFFFFFFEu : 1 + ((choice >> 3) & 3);
  const uint32_t index = number % static_cast<uint32_t>(host_field ? k_host_data_count : k_scenario_data_count);
  xmc_value_c set;
  if (list) {
    set.make_entries();
    set.add_entry(value.c_str());
    if ((choice & 0x40) != 0) set.add_entry("second");
  } else {
    set.set_text(value.c_str());
  }
  const bool taken = host_field ? conf.set_host_data(index, host, set) : conf.set_scenario_data(index, set, true);
  if (!taken) return 0;
  std::string out, why;
  if (!scenario_text_edit_n::edited_text(conf, source, out, why)) {
    require(!why.empty());  // a refusal says why
    return 0;
  }
  if (out == source) return 0;
  // The bytes outside the first and last difference are the old ones; the old bytes between lie in
  // one value (a list: in one element), never in markup the reader skips.
  size_t head = 0;
  while (head < source.size() && head < out.size() && source[head] == out[head]) ++head;
  size_t tail = 0;
  while (tail < source.size() - head && tail < out.size() - head &&
         source[source.size() - 1 - tail] == out[out.size() - 1 - tail]) {
    ++tail;
  }
  const size_t open = source.rfind('<', head);
  require(open != std::string::npos);
  const std::string old_part = source.substr(open, source.size() - tail - open);
  require(old_part.find("<!") == std::string::npos && old_part.find("<?") == std::string::npos);
  if (!list) {
    const std::string replaced = source.substr(head, source.size() - tail - head);
    require(replaced.find_first_of("<>\"") == std::string::npos);
  }
  // The written text loads and reads the value back (a host's Index renumbers the hosts: the host
  // is found under its new number then).
  scenario_conf_c check;
  require(check.load_content(out, "edited.xml", &reason));
  const bool renumbered = host_field && std::strcmp(host_data_table[index].label, "Index") == 0;
  if (!list && !renumbered) {
    xmc_value_c read;
    if (host_field) {
      check.get_host_data(index, host, read);
    } else {
      check.get_scenario_data(index, read);
    }
    xmc_value_c written;
    if (host_field) {
      conf.get_host_data(index, host, written);
    } else {
      conf.get_scenario_data(index, written);
    }
    require(std::strcmp(read.as_string(), written.as_string()) == 0);
  }
  return 0;
}
