// The tables compiled into the configuration model: every object tag with its parent and id, and
// the indexed fields of a scenario, of a host and of a group.
#ifndef STATS_MNG_XMC_CONF_TABLES_H
#define STATS_MNG_XMC_CONF_TABLES_H

#include <cstddef>
#include <cstdint>

struct object_tag_s {
  uint32_t index;   // equal to the entry's position
  uint32_t parent;  // an earlier entry; Scenario (0) and Group (55) are their own parents
  const char* label;
  uint32_t id;  // 0: any id
};

struct data_table_entry_s {
  uint32_t index;       // equal to the entry's position
  uint32_t object_tag;  // the object that owns the field (object_tag_table)
  const char* label;    // the data item's label, or "status" for the object's own status
  // Scenario and group fields: a fixed field, written only when forced. Host fields: the field
  // exists in the scenario's manager data as well.
  uint32_t flag;
};

constexpr size_t k_object_tag_count = 69;  // also the "not found" tag index
constexpr size_t k_scenario_data_count = 143;
constexpr size_t k_host_data_count = 195;
constexpr size_t k_group_data_count = 32;
constexpr size_t k_scenario_info_data_count = 3;

// Tags the code names.
enum object_tag_e : uint32_t {
  TAG_SCENARIO = 0,
  TAG_SWITCHOVER = 1,
  TAG_REPL_NODE = 17,
  TAG_COMMON_HOST_PROPS = 18,
  TAG_SPECIFIC_REPLICA_PROPS = 19,
  TAG_ROOT_DIR = 25,
  TAG_EXTERNAL = 30,
  TAG_GROUP = 55,
  TAG_SCENARIO_INFO = 56,
  TAG_HOST_PROPS = 57,
  TAG_NOT_FOUND = 69,
};

// Its labels differ, each index is the entry's position and each parent comes before the entry
// (Scenario and Group excepted): checked when the library is compiled (the rules below).
extern const object_tag_s object_tag_table[k_object_tag_count];
extern const data_table_entry_s scenario_data_table[k_scenario_data_count];
extern const data_table_entry_s host_data_table[k_host_data_count];
extern const data_table_entry_s group_data_table[k_group_data_count];
// The fields of a group's entry for one scenario (ScenarioInfo); the scenario's id is fixed.
extern const data_table_entry_s scenario_info_data_table[k_scenario_info_data_count];

namespace conf_tables_n {
// The tag of an object label (exact comparison); TAG_NOT_FOUND for none or null.
uint32_t tag_of_label(const char* label);
// The index of the entry whose "Object.Label" (owning object's label, '.', field label) equals
// path, letter case ignored; -1 for none or null.
long index_of_path(const data_table_entry_s* table, size_t count, const char* path);

// The rules of a tag table, for the compiled table's static_assert (and any other table): no two
// labels alike (exact comparison) ...
constexpr bool tag_labels_differ(const object_tag_s* table, size_t count) {
  for (size_t i = 0; i < count; ++i) {
    for (size_t j = i + 1; j < count; ++j) {
      const char* a = table[i].label;
      const char* b = table[j].label;
      if (a == nullptr || b == nullptr) continue;
      for (; *a == *b; ++a, ++b) {
        if (*a == '\0') return false;
      }
    }
  }
  return true;
}
// ... each index the entry's position ...
constexpr bool tag_indexes_are_positions(const object_tag_s* table, size_t count) {
  for (size_t i = 0; i < count; ++i) {
    if (table[i].index != i) return false;
  }
  return true;
}
// ... and each parent an earlier entry, but for Scenario and Group.
constexpr bool tag_parents_come_first(const object_tag_s* table, size_t count) {
  for (size_t i = 0; i < count; ++i) {
    if (i != TAG_SCENARIO && i != TAG_GROUP && table[i].parent >= i) return false;
  }
  return true;
}
}  // namespace conf_tables_n

#endif
