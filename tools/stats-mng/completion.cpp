// The tool's shell completion: what may come next on a command line, read from the same command
// and option definitions that parse it, so that a new command or option completes without any
// change here.
#include "completion.h"

#include "xmc/conf_tables.h"
#include "xmc/xmc_enum.h"

#include <algorithm>
#include <cctype>
#include <functional>
#include <map>

namespace stats_mng_tool_n {

namespace {

// What the words before the one being completed have said.
struct line_state_s {
  CLI::App* command = nullptr;                         // the innermost command named
  std::vector<const CLI::Option*> given;               // its options that were given
  std::map<std::string, std::string> positional_text;  // its positionals filled, by name
  size_t positionals_filled = 0;
  const CLI::Option* waiting = nullptr;  // an option whose value comes next
  bool options_ended = false;            // after "--"
};

bool was_given(const line_state_s& state, const char* option_name) {
  for (const CLI::Option* option : state.given) {
    if (option->check_name(option_name)) return true;
  }
  return false;
}

// Fixed words that come from the library's tables rather than from the option's definition.
using words_fn = std::function<std::vector<std::string>(const line_state_s&)>;

std::vector<std::string> enumeration_items(uint32_t index) {
  std::vector<std::string> words;
  for (uint32_t i = 0; i < xmc_enum_c::item_count(index); ++i) words.emplace_back(xmc_enum_c::item_text(index, i));
  return words;
}

// Every name fits accepts as TYPE: the value types, then the enumerations.
std::vector<std::string> type_names(const line_state_s&) {
  std::vector<std::string> words;
  uint32_t enum_index = ENUM_NONE;
  for (uint32_t i = 0; i < xmc_enum_c::item_count(ENUM_TYPE); ++i) {
    const char* name = xmc_enum_c::item_text(ENUM_TYPE, i);
    if (xmc_enum_c::value_type(name, &enum_index) != TYPE_NONE) words.emplace_back(name);
  }
  for (uint32_t i = 0; i < xmc_enum_c::k_count; ++i) {
    const char* name = xmc_enum_c::enum_name(i);
    if (xmc_enum_c::value_type(name, &enum_index) == TYPE_ENUM && enum_index == i) words.emplace_back(name);
  }
  return words;
}

// The texts that fit the TYPE already given, where they are few: an enumeration's items, True and False.
std::vector<std::string> texts_of_type(const line_state_s& state) {
  const auto type = state.positional_text.find("TYPE");
  if (type == state.positional_text.end()) return {};
  uint32_t enum_index = ENUM_NONE;
  const uint32_t type_code = xmc_enum_c::value_type(type->second.c_str(), &enum_index);
  if (type_code == TYPE_BOOL) return {"True", "False"};
  if (type_code == TYPE_ENUM && enum_index != ENUM_NONE) return enumeration_items(enum_index);
  return {};
}

std::vector<std::string> object_tags(const line_state_s&) {
  std::vector<std::string> words;
  for (const object_tag_s& tag : object_tag_table) words.emplace_back(tag.label);
  return words;
}

// Object.Label of the scenario's fields, or of a host's when --host was given.
std::vector<std::string> field_paths(const line_state_s& state) {
  const bool host = was_given(state, "--host");
  const data_table_entry_s* table = host ? host_data_table : scenario_data_table;
  const size_t count = host ? k_host_data_count : k_scenario_data_count;
  std::vector<std::string> words;
  for (size_t i = 0; i < count; ++i) {
    words.push_back(std::string(object_tag_table[table[i].object_tag].label) + "." + table[i].label);
  }
  return words;
}

struct table_words_s {
  const char* command;
  const char* argument;  // a positional's name or an option's long name
  words_fn words;
};

const table_words_s k_table_words[] = {
    {"fits", "TYPE", type_names},
    {"fits", "TEXT", texts_of_type},
    {"default-object", "TAG", object_tags},
    {"default-object", "--product", [](const line_state_s&) { return enumeration_items(ENUM_PRODUCT); }},
    {"default-object", "--application", [](const line_state_s&) { return enumeration_items(ENUM_APPLICATION); }},
    {"get", "FIELD", field_paths},
    {"set", "FIELD", field_paths},
    {"wait", "--for",
     [](const line_state_s&) {
       return std::vector<std::string>{"engine=active", "engine=inactive", "state=Running", "state=Stop",
                                       "state=Sync",    "synced=true",     "synced=false"};
     }},
};

// A positional left out when an option stands in for it: the state commands take --config FILE
// instead of DIR.
struct skipped_positional_s {
  const char* command;
  const char* option;
  const char* positional;
};

const skipped_positional_s k_skipped_positionals[] = {
    {"set-state", "--config", "DIR"},
    {"set-sync", "--config", "DIR"},
};

std::vector<const CLI::Option*> positionals_of(const line_state_s& state) {
  std::vector<const CLI::Option*> positionals = static_cast<const CLI::App*>(state.command)->get_options(
      [](const CLI::Option* option) { return option->get_positional() && !option->nonpositional(); });
  for (const skipped_positional_s& skip : k_skipped_positionals) {
    if (state.command->get_name() != skip.command || !was_given(state, skip.option)) continue;
    positionals.erase(std::remove_if(positionals.begin(), positionals.end(),
                                     [&](const CLI::Option* o) { return o->get_name(true) == skip.positional; }),
                      positionals.end());
  }
  return positionals;
}

// The positional the next bare word fills, or null when all are filled.
const CLI::Option* next_positional(const line_state_s& state) {
  size_t filled = state.positionals_filled;
  for (const CLI::Option* positional : positionals_of(state)) {
    const int takes = positional->get_items_expected_max();
    if (takes >= CLI::detail::expected_max_vector_size) return positional;  // takes all the rest
    if (filled < static_cast<size_t>(takes)) return positional;
    filled -= static_cast<size_t>(takes);
  }
  return nullptr;
}

bool takes_value(const CLI::Option* option) { return option->get_items_expected_max() > 0; }

CLI::Option* option_named(CLI::App* command, const std::string& name) {
  for (CLI::Option* option : command->get_options()) {
    if (option->nonpositional() && option->check_name(name)) return option;
  }
  return nullptr;
}

CLI::App* command_named(CLI::App* parent, const std::string& name) {
  for (CLI::App* command : parent->get_subcommands(std::function<bool(CLI::App*)>())) {
    if (command->check_name(name)) return command;
  }
  return nullptr;
}

bool is_placeholder(const std::string& word) {
  return !word.empty() && std::none_of(word.begin(), word.end(), [](char c) { return std::islower(static_cast<unsigned char>(c)); });
}

// The words an argument takes and whether it names a file or a directory.
void argument_words(const line_state_s& state, const CLI::Option* option, std::vector<std::string>& words,
                    const char*& kind) {
  const std::string name = option->get_positional() && !option->nonpositional() ? option->get_name(true)
                                                                                : option->get_name();
  for (const table_words_s& entry : k_table_words) {
    if (state.command->get_name() == entry.command && name == entry.argument) {
      for (std::string& word : entry.words(state)) words.push_back(std::move(word));
    }
  }
  // The type name shows the fixed words among its alternatives ("N|manager|all", "running|stop");
  // a validator's description follows a ':'.
  std::string type_name = option->get_type_name();
  type_name = type_name.substr(0, type_name.find(':'));
  size_t begin = 0;
  while (begin <= type_name.size()) {
    size_t end = type_name.find('|', begin);
    if (end == std::string::npos) end = type_name.size();
    const std::string alternative = type_name.substr(begin, end - begin);
    if (!is_placeholder(alternative)) words.push_back(alternative);
    begin = end + 1;
  }
  // Files and directories by the placeholder's name: an option's type name or a positional's name.
  const std::string placeholder = option->nonpositional() ? type_name : name;
  if (placeholder == "DIR" || placeholder == "ROOT") {
    kind = "@dir";
  } else if (placeholder == "FILE" || placeholder == "PATH") {
    kind = "@file";
  }
}

void print_matching(const std::vector<std::string>& words, const std::string& prefix, const std::string& current,
                    std::ostream& out) {
  std::vector<std::string> printed;
  for (const std::string& word : words) {
    const std::string candidate = prefix + word;
    if (candidate.compare(0, current.size(), current) != 0) continue;
    if (std::find(printed.begin(), printed.end(), candidate) != printed.end()) continue;
    printed.push_back(candidate);
    out << candidate << '\n';
  }
}

void complete_value(const line_state_s& state, const CLI::Option* option, const std::string& prefix,
                    const std::string& current, std::ostream& out) {
  std::vector<std::string> words;
  const char* kind = nullptr;
  argument_words(state, option, words, kind);
  print_matching(words, prefix, current, out);
  if (kind != nullptr && prefix.empty()) out << kind << '\n';
}

}  // namespace

int complete_command_line(CLI::App& app, const std::vector<std::string>& words, std::ostream& out) {
  if (words.empty()) return 0;
  line_state_s state;
  state.command = &app;
  for (size_t i = 0; i + 1 < words.size(); ++i) {
    const std::string& word = words[i];
    if (state.waiting != nullptr) {
      state.waiting = nullptr;
      continue;
    }
    if (!state.options_ended && word == "--") {
      state.options_ended = true;
      continue;
    }
    if (!state.options_ended && word.size() > 1 && word[0] == '-') {
      const size_t equals = word.find('=');
      const CLI::Option* option = option_named(state.command, word.substr(0, equals));
      if (option == nullptr) continue;
      state.given.push_back(option);
      if (takes_value(option) && equals == std::string::npos) state.waiting = option;
      continue;
    }
    CLI::App* command = state.positionals_filled == 0 ? command_named(state.command, word) : nullptr;
    if (command != nullptr) {
      state = line_state_s();
      state.command = command;
      continue;
    }
    if (const CLI::Option* positional = next_positional(state)) state.positional_text[positional->get_name(true)] = word;
    ++state.positionals_filled;
  }

  const std::string& current = words.back();
  if (state.waiting != nullptr) {
    complete_value(state, state.waiting, "", current, out);
    return 0;
  }
  if (!state.options_ended && current.size() > 2 && current.compare(0, 2, "--") == 0 &&
      current.find('=') != std::string::npos) {
    const std::string name = current.substr(0, current.find('='));
    const CLI::Option* option = option_named(state.command, name);
    if (option != nullptr && takes_value(option)) complete_value(state, option, name + "=", current, out);
    return 0;
  }
  if (!state.options_ended && !current.empty() && current[0] == '-') {
    std::vector<std::string> names;
    for (const CLI::Option* option : static_cast<const CLI::App*>(state.command)->get_options()) {
      if (!option->nonpositional() || option->get_group().empty()) continue;  // positional or hidden
      const bool repeatable = option->get_expected_max() > 1;
      if (!repeatable && std::find(state.given.begin(), state.given.end(), option) != state.given.end()) continue;
      for (const std::string& name : option->get_lnames()) names.push_back("--" + name);
      for (const std::string& name : option->get_snames()) names.push_back("-" + name);
    }
    print_matching(names, "", current, out);
    return 0;
  }
  if (state.positionals_filled == 0) {
    std::vector<std::string> names;
    for (const CLI::App* command : static_cast<const CLI::App*>(state.command)->get_subcommands({})) {
      if (!command->get_group().empty() && !command->get_name().empty()) names.push_back(command->get_name());
    }
    if (!names.empty()) {
      print_matching(names, "", current, out);
      return 0;
    }
  }
  if (const CLI::Option* positional = next_positional(state)) complete_value(state, positional, "", current, out);
  return 0;
}

}  // namespace stats_mng_tool_n
