// The stats-mng commands about the scenario configuration model.
#include "commands.h"
#include "shown_text.h"

#include "file/file_manipulation.h"
#include "platform/thl/mix.h"
#include "platform/trc/zqtr.h"
#include "stats_mng/scenario_root_dirs.h"
#include "stats_mng/stats_saver_lock.h"
#include "xmc/generic_conf.h"
#include "xmc/generic_template.h"
#include "utl/message.h"
#include "utl/utl.h"
#include "xmc/number_ranges.h"
#include "xmc/scenario_conf.h"
#include "xmc/scenario_source_check.h"
#include "xmc/scenario_text_edit.h"
#include "xmc/xmc_enum.h"
#include "xmc/xmc_item.h"
#include "xmc/xmc_value.h"

#include <nlohmann/json.hpp>
#include <string>

extern const char* const validation_messages_text;

namespace stats_mng_tool_n {

int print_fits(const std::string& type, const std::string& text, const std::string* label, std::ostream& out,
               std::ostream& err) {
  ZQTR_SCOPE(tr, "stats_mng_tool_n::print_fits", "stats-mng");
  uint32_t enum_index = ENUM_NONE;
  const uint32_t type_code = xmc_enum_c::value_type(type.c_str(), &enum_index);
  if (type_code == TYPE_NONE) {
    err << "stats-mng: '" << type << "' is neither a value type nor an enumeration (names are case-sensitive: "
        << "Number, Bool, String, Text, FullPath, DefFullPath, IPAddr, IPAdrMask, Date, MultiEntry, or an "
        << "enumeration such as Product)\n";
    return 2;
  }
  xmc_item_c item("data");
  if (label != nullptr) item.set_attr("label", label->c_str());
  const bool fits =
      xmc_enum_c::data_fits_type(text.c_str(), type_code, enum_index, label != nullptr ? &item : nullptr);
  tr.print(ZQTR_PROGRESS, __LINE__, "\"%s\" %s %s\n", text.c_str(), fits ? "fits" : "does not fit", type.c_str());
  if (fits) {
    out << "fits\n";
    return 0;
  }
  // The value conversion says why, where it has a reason to give.
  xmc_value_c value(text.c_str());
  if (type_code == TYPE_ENUM && enum_index != ENUM_BANDWIDTH && enum_index != ENUM_NONE) {
    value.as_enum(enum_index);
  } else if (type_code == TYPE_NUMBER) {
    value.as_int64();
  }
  out << "does not fit";
  if (type_code == TYPE_ANY || (type_code == TYPE_ENUM && enum_index == ENUM_NONE)) {
    // Any and Enum alone name no rule a text could meet.
    out << ": no text fits " << type << (type_code == TYPE_ENUM ? " without an enumeration" : "");
  }
  if (value.error_text()[0] != '\0') out << ": " << printable(value.error_text());
  out << '\n';
  return 1;
}

int print_template(std::ostream& out) {
  utl_stream_c text;
  generic_template_n::join(text);
  out.write(text.c_str(), static_cast<std::streamsize>(text.length()));
  return 0;
}

int print_default_object(const std::string& tag_text, const std::string* product, const std::string* application,
                         bool assured_recovery, std::ostream& out, std::ostream& err) {
  ZQTR_SCOPE(tr, "stats_mng_tool_n::print_default_object", "stats-mng");
  uint32_t tag = conf_tables_n::tag_of_label(tag_text.c_str());
  int64_t number = 0;
  if (tag == TAG_NOT_FOUND && !tag_text.empty() && tag_text.find_first_not_of("0123456789") == std::string::npos &&
      mix_n::parse_formatted_integer_string(tag_text.c_str(), number) && number >= 0 &&
      number < static_cast<int64_t>(k_object_tag_count)) {
    tag = static_cast<uint32_t>(number);
  }
  if (tag == TAG_NOT_FOUND) {
    err << "stats-mng: '" << tag_text << "' is no object tag (a label such as Switchover or RootDir, or 0 to "
        << k_object_tag_count - 1 << ")\n";
    return 2;
  }
  struct choice_s {
    const std::string* text;
    uint32_t index;
    uint32_t value;
  } choices[] = {{product, ENUM_PRODUCT, PRODUCT_NONE}, {application, ENUM_APPLICATION, APPLICATION_NONE}};
  for (choice_s& c : choices) {
    if (c.text == nullptr) continue;
    const long position = xmc_enum_c::position_of(c.index, c.text->c_str());
    if (position < 0) {
      err << "stats-mng: '" << *c.text << "' is no item of " << xmc_enum_c::enum_name(c.index) << " (";
      for (uint32_t i = 0; i < xmc_enum_c::item_count(c.index); ++i) {
        err << (i > 0 ? ", " : "") << xmc_enum_c::item_text(c.index, i);
      }
      err << ")\n";
      return 2;
    }
    c.value = static_cast<uint32_t>(position);
  }
  if (generic_conf_instance == nullptr) {
    err << "stats-mng: the generic configurator could not be built from the library's embedded template when "
           "the library loaded (--log-dir DIR writes the reasons to DIR/stats_mng.log)\n";
    return 1;
  }
  xmc_item_c* object =
      generic_conf_instance->new_default_object(tag, choices[0].value, choices[1].value, assured_recovery);
  if (object == nullptr) {
    err << "stats-mng: the template holds no default object for " << object_tag_table[tag].label << "\n";
    return 1;
  }
  mixed_xmc_xml_tree_c tree;
  tree.set_version("1.0");
  tree.attach(object, nullptr, true);
  utl_stream_c text;
  tree.write_to_stream(text, true);
  out.write(text.c_str(), static_cast<std::streamsize>(text.length()));
  tr.print(ZQTR_PROGRESS, __LINE__, "Default object %s printed\n", object_tag_table[tag].label);
  return 0;
}

namespace {

// A field named "Object.Label" as the tables name it: its index in the scenario table (host
// empty) or the host table; -1 when there is none.
long field_index(const std::string& field, bool host) {
  return host ? conf_tables_n::index_of_path(host_data_table, k_host_data_count, field.c_str())
              : conf_tables_n::index_of_path(scenario_data_table, k_scenario_data_count, field.c_str());
}

// Loads FILE; false with error ("cannot load FILE: why") when it cannot be.
bool load_scenario(scenario_conf_c& conf, const std::string& file, std::string& error, std::string* bytes) {
  utl_stream_c reason;
  if (conf.load_file(file.c_str(), &reason, bytes)) return true;
  error = "cannot load " + printable(file) + ": " + reason.c_str();
  return false;
}

bool load_scenario(scenario_conf_c& conf, const std::string& file, std::ostream& err, std::string* bytes = nullptr) {
  std::string error;
  if (load_scenario(conf, file, error, bytes)) return true;
  err << "stats-mng: " << error << "\n";
  return false;
}

// The host option: empty for none, "manager", "all" (where allowed) or a number.
bool host_number(const std::string& host, uint64_t& number) {
  if (utl_n::ascii_compare_nocase(host.c_str(), "manager") == 0) {
    number = scenario_conf_c::k_manager;
    return true;
  }
  int64_t n = 0;
  if (host.empty() || host.find_first_not_of("0123456789") != std::string::npos ||
      !mix_n::parse_formatted_integer_string(host.c_str(), n) || n <= 0 || n >= 0xFFFFFFFELL) {
    return false;
  }
  number = static_cast<uint64_t>(n);
  return true;
}

}  // namespace

namespace {

// Loads the scenario file and finds the field's table index: 0, or the exit code (2 the file cannot
// be loaded).
int open_field(scenario_conf_c& conf, const std::string& file, const std::string& field, bool host_field, long& index,
               std::ostream& err, std::string* bytes = nullptr) {
  if (!load_scenario(conf, file, err, bytes)) return 2;
  // Any other path is read as a finding prints it (index -1); the library says when nothing is so named.
  index = field_index(field, host_field);
  return 0;
}

// Why a field of the file could not be read or written, on one line: the wrong kind of field for
// --host (with what to do instead), a host the file does not have, or the library's own reason with
// an example of the field names it takes.
void field_failure(scenario_conf_c& conf, const std::string& file, const std::string& field,
                   const std::string& host, uint64_t number, const std::string& reason, std::ostream& err) {
  const bool host_field = !host.empty();
  err << "stats-mng: " << printable(file) << ": ";
  const bool own_kind = field_index(field, host_field) >= 0;
  // A path of the other kind: a scenario field read through the master, or a host field without one.
  xmc_value_c other;
  if (!own_kind && field_index(field, !host_field) < 0) {
    conf.get_data_by_path(field.c_str(), host_field ? 0 : host_index_tree_c::k_master, other);
  }
  const bool other_kind = field_index(field, !host_field) >= 0 || (!own_kind && other.lookup_status() == 0);
  if (!own_kind && other_kind) {
    err << printable(field) << (host_field ? " is a scenario field: leave out --host"
                                : " is a host field: give --host N (1 the master) or --host manager")
        << "\n";
    return;
  }
  if (host_field && number != scenario_conf_c::k_manager && utl_n::ascii_compare_nocase(host.c_str(), "all") != 0 &&
      conf.find_host(number, nullptr) == nullptr) {
    err << "the file has no host " << static_cast<unsigned long long>(number) << "\n";
    return;
  }
  err << printable(field) << ": " << reason;
  if (!own_kind) {
    err << " (" << (host_field ? "a host field" : "a scenario field") << " is Object.Label as the tables name it, e.g. "
        << (host_field ? "CommonHostProps.Port" : "Switchover.HeartbeatTimeout")
        << ", or the path a finding of validate prints)";
  }
  err << "\n";
}

}  // namespace

int print_field(const std::string& file, const std::string& field, const std::string& host, bool json,
                std::ostream& out, std::ostream& err) {
  uint64_t number = 0;
  if (!host.empty() && !host_number(host, number)) {
    err << "stats-mng: --host takes a host number (1 the master) or manager, not '" << host << "'\n";
    return 2;
  }
  scenario_conf_c conf;
  long index = -1;
  if (const int code = open_field(conf, file, field, !host.empty(), index, err)) return code;
  xmc_value_c value;
  if (index < 0) {
    conf.get_data_by_path(field.c_str(), host.empty() ? 0 : number, value);
  } else if (host.empty()) {
    conf.get_scenario_data(static_cast<uint32_t>(index), value);
  } else {
    conf.get_host_data(static_cast<uint32_t>(index), number, value);
  }
  if (value.lookup_status() != 0) {
    field_failure(conf, file, field, host, number, value.error_text(), err);
    return 1;
  }
  if (json) {
    nlohmann::ordered_json answer;
    answer["file"] = file;
    answer["field"] = field;
    if (!host.empty()) answer["host"] = host;
    if (value.entries() != nullptr) {
      nlohmann::ordered_json entries = nlohmann::ordered_json::array();
      for (size_t i = 0; i < value.entries()->count(); ++i) entries.push_back(value.entries()->at(i));
      answer["value"] = entries;
    } else {
      answer["value"] = value.as_string();
    }
    if (value.type_name() != nullptr) answer["type"] = value.type_name();
    print_json(out, answer);
  } else if (value.entries() != nullptr) {
    // A terminal gets no control character from the file (a line end in an entry would make two
    // entries of it); --json gives the exact value.
    for (size_t i = 0; i < value.entries()->count(); ++i) out << printable(value.entries()->at(i)) << "\n";
  } else {
    out << printable(value.as_string()) << "\n";
  }
  return 0;
}

int write_field(const std::string& file, const std::string& field, const std::vector<std::string>& values,
                const std::string& host, bool force, std::ostream& err) {
  uint64_t number = 0;
  const bool all = utl_n::ascii_compare_nocase(host.c_str(), "all") == 0;
  if (!host.empty() && !all && !host_number(host, number)) {
    err << "stats-mng: --host takes a host number (1 the master), manager or all, not '" << host << "'\n";
    return 2;
  }
  scenario_conf_c conf;
  // The file's writer lock from the load to the save: another writer's change is not lost (it
  // lands before this load or after this save).
  utl_stream_c reason;
  if (!conf.hold_file(file.c_str(), &reason)) {
    // Another writer's lock is a refusal to try again; a lock that cannot be made (no directory, no
    // permission, links in a loop) is a file that cannot be changed at all.
    err << "stats-mng: cannot change " << printable(file) << ": " << reason.c_str() << "\n";
    return conf.file_kept_by_another() ? 1 : 2;
  }
  long index = -1;
  // The file's bytes as loaded: the change is written into them.
  std::string bytes;
  if (const int code = open_field(conf, file, field, !host.empty(), index, err, &bytes)) return code;
  // A list field takes every VALUE as an entry; any other field exactly one.
  xmc_value_c current;
  if (index < 0 && all) {
    err << "stats-mng: " << printable(file) << ": --host all takes a field as the tables name it, not " << printable(field)
        << "\n";
    return 1;
  }
  if (index < 0) {
    conf.get_data_by_path(field.c_str(), host.empty() ? 0 : number, current);
    if (current.lookup_status() != 0) {
      field_failure(conf, file, field, host, number, current.error_text(), err);
      return 1;
    }
  } else if (host.empty()) {
    conf.get_scenario_data(static_cast<uint32_t>(index), current);
  } else {
    conf.get_host_data(static_cast<uint32_t>(index), all ? host_index_tree_c::k_master : number, current);
  }
  const bool list = current.lookup_status() == 0 && current.entries() != nullptr;
  if (!list && values.size() != 1) {
    err << "stats-mng: " << printable(field) << " takes one value (only a list field takes several)\n";
    return 2;
  }
  xmc_value_c value;
  if (list) {
    value.make_entries();
    for (const std::string& v : values) value.add_entry(v.c_str());
  } else {
    value.set_text(values.front().c_str());
  }
  bool written = false;
  {
    zqtr_capture_c capture(ZQTR_FAIL);
    if (index < 0) {
      written = conf.set_data_by_path(field.c_str(), host.empty() ? 0 : number, value, force);
    } else if (host.empty()) {
      written = conf.set_scenario_data(static_cast<uint32_t>(index), value, force);
    } else if (all) {
      written = conf.set_host_data_all(static_cast<uint32_t>(index), value);
    } else {
      written = conf.set_host_data(static_cast<uint32_t>(index), number, value);
    }
    if (!written) {
      // The library's own reason, on one line with the file and the field.
      std::string reason = failure_reasons(capture, "the library refused it");
      if (!force && reason.find("fixed") != std::string::npos) reason += " (--force writes a fixed field)";
      field_failure(conf, file, field, host, number, reason, err);
      return 1;
    }
  }
  // Only the bytes of what changed are replaced in the file's own text, and the result is checked
  // by loading it before it replaces the file; a change that cannot be written so is refused (the
  // file is never written in another form instead).
  std::string edited, why;
  if (!scenario_text_edit_n::edited_text(conf, bytes, edited, why)) {
    err << "stats-mng: cannot write the change into " << printable(file) << " in place: " << why << "; nothing was written\n";
    return 2;
  }
  if (edited == bytes) return 0;  // the field held the value already
  if (!conf.save_text(file.c_str(), edited.data(), edited.size(), &reason)) {
    err << "stats-mng: cannot save " << printable(file) << ": " << reason.c_str() << "\n";
    return 2;
  }
  return 0;
}

int print_roots(const std::string& file, uint64_t host, std::ostream& out, std::ostream& err) {
  scenario_conf_c conf;
  if (!load_scenario(conf, file, err)) return 2;
  utl_stream_c why;
  host_index_node_s* node = conf.find_host(host, &why);
  if (node == nullptr) {
    // A host the file states but the host tree could not place is named with the reason.
    err << "stats-mng: " << printable(file) << " has no host " << static_cast<unsigned long long>(host);
    const std::string reason = why.c_str();
    const size_t colon = reason.find(": ");
    if (colon != std::string::npos) err << " (" << reason.substr(colon + 2) << ")";
    err << "\n";
    return 1;
  }
  for (size_t i = 0; i < node->root_dirs.count(); ++i) {
    utl_stream_c text;
    out << node->root_dirs.at(i)->print(text);
  }
  return 0;
}

namespace {

// Records into every root directory of a host of a scenario file; what records is given the saver.
template <typename F>
int record_in_roots(const std::string& file, const record_options_s& options, std::ostream& err, F record) {
  scenario_conf_c conf;
  if (!load_scenario(conf, file, err)) return 2;
  record_options_s used = options;
  if (!used.scenario_id_given) {
    xmc_value_c id;
    conf.get_scenario_data(static_cast<uint32_t>(conf_tables_n::index_of_path(scenario_data_table, k_scenario_data_count,
                                                                              "Scenario.ScenarioID")),
                           id);
    // An id the state file cannot hold is refused, never recorded as another.
    const number_range_s* range = number_ranges_n::of("Scenario", "ScenarioID");
    const std::string text = id.lookup_status() == 0 ? id.as_string() : "";
    if (id.lookup_status() != 0 || !number_ranges_n::fits(*range, text.c_str())) {
      char rule[128];
      err << "stats-mng: " << printable(file) << ": Scenario.ScenarioID ";
      if (id.lookup_status() != 0) {
        err << "cannot be read (" << id.error_text() << ")";
      } else {
        err << "\"" << text << "\" cannot be recorded, " << number_ranges_n::rule(*range, rule, sizeof rule);
      }
      err << "; nothing was written\n";
      return 2;
    }
    used.scenario_id = static_cast<uint32_t>(std::stoull(text));
  }
  if (!used.name_given) {
    xmc_value_c name;
    conf.get_scenario_data(static_cast<uint32_t>(conf_tables_n::index_of_path(scenario_data_table, k_scenario_data_count,
                                                                              "Scenario.ScenarioName")),
                           name);
    used.name = name.lookup_status() == 0 ? name.as_string() : "";
  }
  if (!stats_saver_ex_c::is_storable_name(used.name.c_str())) {
    err << "stats-mng: the scenario name holds a byte 0xFF, a line end or another control character, which a state "
           "file cannot hold; nothing was "
           "written\n";
    return 2;
  }
  if (conf.find_host(used.host, nullptr) == nullptr) {
    err << "stats-mng: " << printable(file) << " has no host " << static_cast<unsigned long long>(used.host)
        << "; nothing was written\n";
    return 1;
  }
  scenario_root_directories_c roots(conf);
  if (roots.root_directory_count(used.host) == 0) {
    err << "stats-mng: host " << static_cast<unsigned long long>(used.host) << " of " << file
        << " has no root directory\n";
    return 1;
  }
  // A root directory is the engine's to make: a typo in its path, or a relative one (which would be
  // taken from wherever the tool runs), must not make a new tree to hold a state file.
  for (size_t i = 0; i < roots.root_directory_count(used.host) && i < roots.root_directory_count(1); ++i) {
    utl_stream_c root;
    if (!roots.root_directory(used.host, i, root)) continue;  // the saver reports a root without a path
    const std::string dir = root.c_str();
    const bool absolute = (!dir.empty() && (dir[0] == '/' || dir[0] == '\\')) ||
                          (dir.size() >= 3 && dir[1] == ':' && (dir[2] == '/' || dir[2] == '\\'));
    if (!absolute) {
      err << "stats-mng: root directory " << i << " of host " << static_cast<unsigned long long>(used.host) << " of "
          << printable(file) << " is " << printable(dir) << ", which is no absolute path; nothing was written\n";
      return 2;
    }
    if (!file_manipulation_n::if_exists(root.c_str(), nullptr)) {
      err << "stats-mng: root directory " << i << " of host " << static_cast<unsigned long long>(used.host) << " of "
          << printable(file) << ", " << printable(dir) << ", does not exist; nothing was written\n";
      return EXIT_NO_SCENARIO;
    }
  }
  stats_saver_ex_c saver(&roots, used.scenario_id, "", STATE_DIRECTORY_NAME, used.name.c_str(), true);
  // The savers write as many directories as the master has: a host with more keeps its extras
  // unwritten, which is no success of writing "every root directory of the host".
  const size_t own = roots.root_directory_count(used.host);
  const size_t master = roots.root_directory_count(1);
  zqtr_capture_c capture(ZQTR_FAIL);
  const bool all_written = record(saver, used.host);
  if (all_written && own > master) {
    err << "stats-mng: host " << static_cast<unsigned long long>(used.host) << " has " << own
        << " root directories, the master " << master << ": only the first " << master << " were written\n";
    return 1;
  }
  if (all_written) return 0;
  // The saver's reasons name the root directory or the state file that failed.
  err << "stats-mng: " << printable(file) << ": the state of host " << static_cast<unsigned long long>(used.host)
      << " was not written into every root directory: " << failure_reasons(capture, "the saver gave no reason")
      << "\n";
  return 1;
}

}  // namespace

int record_config_state(const std::string& file, bool running, const record_options_s& options, std::ostream& err) {
  return record_in_roots(file, options, err,
                         [&](stats_saver_ex_c& saver, uint64_t host) { return saver.set_state(host, running); });
}

int record_config_sync(const std::string& file, bool synced, int64_t time, const record_options_s& options,
                       std::ostream& err) {
  return record_in_roots(file, options, err, [&](stats_saver_ex_c& saver, uint64_t host) {
    return saver.set_sync_state(host, synced, time);
  });
}

int validate_scenario(const std::string& file, const std::string& message_file, bool json, std::ostream& out,
                      std::ostream& err) {
  std::vector<std::string> problems;
  const long loaded = message_file.empty() ? message_store_c::load_text(validation_messages_text, problems)
                                           : message_store_c::load_file(message_file, problems);
  // (With --json, the caller turns a failure's line into a JSON object.)
  if (loaded < 0) {
    err << "stats-mng: cannot read the message file " << printable(message_file) << ": "
        << unreadable_message_file(message_file) << "\n";
    return 2;
  }
  for (const std::string& p : problems) {
    err << "stats-mng: " << (message_file.empty() ? "built-in messages" : printable(message_file)) << ": " << p << "\n";
  }
  scenario_conf_c conf;
  std::string bytes;
  if (!load_scenario(conf, file, err, &bytes)) return 2;
  xmc_validity_c consistency, validity;
  // The file's text first: what its load passed over (a repeated attribute, a reference kept as
  // written), each with its line and column.
  const bool text_clean = scenario_source_check_n::check(bytes, consistency);
  zqtr_capture_c capture(ZQTR_FAIL);
  const bool consistent = conf.check_consistency(&consistency) && text_clean;
  const bool valid = conf.check_xmc_validity(&validity);
  const bool clean = consistent && valid && consistency.count() == 0 && validity.count() == 0;
  if (!json) {
    // A finding a line: a line end or a control character in a value is shown escaped.
    for (xmc_validity_c* pass : {&consistency, &validity}) {
      for (uint64_t i = 0; i < pass->count(); ++i) {
        utl_stream_c shown;
        std::string text = pass->at(i)->to_text(shown);
        if (!text.empty() && text.back() == '\n') text.pop_back();
        out << printable(text) << '\n';
      }
    }
    if (!clean && consistency.count() == 0 && validity.count() == 0) {
      err << "stats-mng: " << printable(file) << " did not pass its checks: "
          << failure_reasons(capture, "the checks stopped without a finding") << "\n";
    }
    return clean ? 0 : 1;
  }
  nlohmann::ordered_json findings = nlohmann::ordered_json::array();
  const struct {
    xmc_validity_c* findings;
    const char* pass;
  } passes[] = {{&consistency, "consistency"}, {&validity, "validity"}};
  for (const auto& pass : passes) {
    for (uint64_t i = 0; i < pass.findings->count(); ++i) {
      const ch_data_s* finding = pass.findings->at(i);
      utl_stream_c shown;
      std::string text = finding->to_text(shown);
      if (!text.empty() && text.back() == '\n') text.pop_back();
      nlohmann::ordered_json entry;
      entry["pass"] = pass.pass;
      entry["host"] = finding->host;
      entry["entry"] = finding->entry == ch_data_s::k_no_entry ? nlohmann::ordered_json() : nlohmann::ordered_json(finding->entry);
      entry["code"] = finding->code;
      entry["path"] = finding->path.c_str();
      entry["value"] = finding->value.c_str();
      entry["text"] = text;
      findings.push_back(entry);
    }
  }
  print_json(out, {{"file", file}, {"consistent", consistent}, {"valid", valid}, {"findings", findings}});
  return clean ? 0 : 1;
}

}  // namespace stats_mng_tool_n
