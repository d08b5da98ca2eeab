#include "xmc/number_ranges.h"

#include "xmc/xmc_item.h"

#include <cstdio>
#include <cstring>

namespace {

// Ids and numbers the engine keeps in 32 bits; 0xFFFFFFFE is the manager's host number, and
// 0xFFFFFFFF none.
const number_range_s k_ranges[] = {
    {"Scenario", "ScenarioID", 0, 0xFFFFFFFFu, "a scenario id"},
    {"CommonHostProps", "Index", 1, 0xFFFFFFFDu, "a host number"},
};

bool same(const char* a, const char* b) { return a != nullptr && b != nullptr && std::strcmp(a, b) == 0; }

}  // namespace

namespace number_ranges_n {

const number_range_s* of(const char* object, const char* label) {
  for (const number_range_s& range : k_ranges) {
    if (same(range.object, object) && same(range.label, label)) return &range;
  }
  return nullptr;
}

const number_range_s* of_item(const xml_item_c* item) {
  const xmc_item_c* typed = xmc_item_c::cast(const_cast<xml_item_c*>(item));
  if (typed == nullptr || !typed->is_data()) return nullptr;
  const xmc_item_c* object = xmc_item_c::parent_object(typed);
  return of(xmc_item_c::attr_text(object, "label"), xmc_item_c::attr_text(typed, "label"));
}

bool fits(const number_range_s& range, const char* text) {
  if (text == nullptr) return false;
  while (*text == ' ' || *text == '\t') ++text;
  uint64_t n = 0;
  const char* p = text;
  for (; *p >= '0' && *p <= '9'; ++p) {
    if (n > (UINT64_MAX - 9) / 10) return false;  // far beyond every range
    n = n * 10 + static_cast<uint64_t>(*p - '0');
  }
  if (p == text) return false;
  while (*p == ' ' || *p == '\t') ++p;
  return *p == '\0' && n >= range.minimum && n <= range.maximum;
}

const char* rule(const number_range_s& range, char* buffer, unsigned size) {
  std::snprintf(buffer, size, "%s is a decimal number from %llu to %llu", range.what,
                static_cast<unsigned long long>(range.minimum), static_cast<unsigned long long>(range.maximum));
  return buffer;
}

}  // namespace number_ranges_n
