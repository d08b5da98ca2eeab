#include "platform/trc/zqtr_settings.h"

#include "platform/thl/mix.h"

#include <cctype>
#include <cstring>

namespace zqtr_settings_n {

namespace {

std::string trim(const std::string& text) {
  size_t b = 0, e = text.size();
  while (b < e && std::isspace(static_cast<unsigned char>(text[b]))) ++b;
  while (e > b && std::isspace(static_cast<unsigned char>(text[e - 1]))) --e;
  return text.substr(b, e - b);
}

std::string lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

struct level_name_s {
  const char* name;
  unsigned levels;
};

const level_name_s k_level_names[] = {
    {"none", 0},           {"all", 0xFFu},          {"notice", ZQTR_NOTICE}, {"fail", ZQTR_FAIL},
    {"problem", ZQTR_PROBLEM}, {"warn", ZQTR_PROBLEM}, {"scope", ZQTR_SCOPE}, {"detail", ZQTR_DETAIL},
    {"fs", ZQTR_FS},       {"progress", ZQTR_PROGRESS}, {"info", ZQTR_PROGRESS},
};

}  // namespace

bool parse_levels(const std::string& text, unsigned& levels) {
  std::string t = trim(text);
  if (t.empty()) return false;
  int64_t number = 0;
  if (mix_n::parse_formatted_integer_string(t.c_str(), number)) {
    if (number < 0 || number > 0xFF) return false;
    levels = static_cast<unsigned>(number);
    return true;
  }
  unsigned result = 0;
  size_t pos = 0;
  while (pos <= t.size()) {
    size_t end = t.find_first_of("|,+", pos);
    if (end == std::string::npos) end = t.size();
    std::string word = lower(trim(t.substr(pos, end - pos)));
    bool known = false;
    for (const level_name_s& n : k_level_names) {
      if (word == n.name) {
        result |= n.levels;
        known = true;
        break;
      }
    }
    if (!known) return false;
    pos = end + 1;
  }
  levels = result;
  return true;
}

bool parse_size(const std::string& text, uint64_t& size) {
  std::string t = lower(trim(text));
  size_t digits = 0;
  while (digits < t.size() && std::isdigit(static_cast<unsigned char>(t[digits]))) ++digits;
  if (digits == 0 || digits > 19) return false;
  uint64_t value = std::stoull(t.substr(0, digits));
  std::string unit = trim(t.substr(digits));
  unsigned shift = 0;
  if (unit.empty() || unit == "b") {
    shift = 0;
  } else if (unit == "k" || unit == "kb" || unit == "kib") {
    shift = 10;
  } else if (unit == "m" || unit == "mb" || unit == "mib") {
    shift = 20;
  } else if (unit == "g" || unit == "gb" || unit == "gib") {
    shift = 30;
  } else {
    return false;
  }
  if (shift > 0 && value > (UINT64_MAX >> shift)) return false;
  size = value << shift;
  return true;
}

void parse(const std::string& text, zqtr_settings_s& settings, std::vector<std::string>& problems) {
  settings = zqtr_settings_s();
  size_t pos = 0;
  int line_number = 0;
  while (pos < text.size()) {
    size_t end = text.find('\n', pos);
    if (end == std::string::npos) end = text.size();
    std::string line = trim(text.substr(pos, end - pos));
    pos = end + 1;
    ++line_number;
    if (line.empty() || line[0] == '#' || line[0] == ';') continue;
    size_t eq = line.find('=');
    if (eq == std::string::npos) {
      problems.push_back("line " + std::to_string(line_number) + ": [" + line + "] is not \"key = value\". Ignored");
      continue;
    }
    std::string key = trim(line.substr(0, eq));
    std::string value = trim(line.substr(eq + 1));
    std::string lkey = lower(key);
    auto bad = [&]() {
      problems.push_back("line " + std::to_string(line_number) + ": invalid value [" + value + "] for " + key +
                         ". Ignored");
    };
    if (lkey == "levels") {
      unsigned levels = 0;
      if (parse_levels(value, levels)) settings.levels = levels; else bad();
    } else if (lkey.compare(0, 7, "levels.") == 0 && lkey.size() > 7) {
      unsigned levels = 0;
      // The scope prefix keeps its letter case: scope names are compared as written.
      if (parse_levels(value, levels)) settings.scope_levels.emplace_back(key.substr(7), levels); else bad();
    } else if (lkey == "max_size") {
      uint64_t size = 0;
      if (parse_size(value, size)) settings.max_size = size; else bad();
    } else if (lkey == "keep") {
      int64_t keep = 0;
      if (mix_n::parse_formatted_integer_string(value.c_str(), keep) && keep >= 0 && keep <= 99) {
        settings.keep = static_cast<unsigned>(keep);
      } else {
        bad();
      }
    }
    // Unknown keys are left for other readers of the same file.
  }
}

unsigned levels_for(const zqtr_settings_s& settings, const char* scope) {
  unsigned levels = settings.levels;
  size_t best = 0;
  if (scope == nullptr) return levels;
  for (const auto& rule : settings.scope_levels) {
    const std::string& prefix = rule.first;
    if (prefix.size() > best && std::strncmp(scope, prefix.c_str(), prefix.size()) == 0) {
      best = prefix.size();
      levels = rule.second;
    }
  }
  return levels;
}

}  // namespace zqtr_settings_n
