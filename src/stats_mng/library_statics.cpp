#include "platform/thl/library_statics.h"

#include <memory>
#include <new>

#include "file/sys_info.h"
#include "platform/thl/bulk_arena.h"
#include "platform/trc/zqtr.h"
#include "utl/array.h"
#include "utl/message.h"
#include "utl/value.h"
#include "xmc/conf_object.h"
#include "xmc/generic_conf.h"
#include "xmc/object_confs.h"
#include "xmc/xmc_item.h"

namespace {
// Made first, so gone last: the blocks arenas keep for each other are freed when the library goes.
struct kept_arena_blocks_s {
  ~kept_arena_blocks_s() { bulk_arena_c::release_kept_blocks(); }
} g_kept_arena_blocks;

// What the library traces while it loads is held until a log directory is set.
struct hold_load_records_s {
  hold_load_records_s() { zqtr_hold_records(true); }
} g_hold_load_records;

thl_ref_counter_c g_handle_counter;
thl_crit_section_c g_crit_sections[library_statics_n::CS_COUNT] = {
    thl_crit_section_c(false), thl_crit_section_c(false), thl_crit_section_c(false), thl_crit_section_c(false),
    thl_crit_section_c(false), thl_crit_section_c(false), thl_crit_section_c(false)};

// Two locks of the common code and the host facts.
win32::critical_section g_win32_sections[2];
std::unique_ptr<sys_info_c> g_sys_info(new (std::nothrow) sys_info_c);

// The message store and the texts loaded into it.
// Lookups move the buckets' current positions and a loader may fill it while others read: every
// user holds its lock.
message_table_t g_message_store(101, true, true);
string_array_c g_loaded_messages;

struct code_table_s {
  const char* name;
  unsigned code;
};

// A list of names, each with a small code as its data.
class code_table_c : public ptr_string_list_c {
 public:
  template <size_t N>
  explicit code_table_c(const code_table_s (&rows)[N]) : ptr_string_list_c(false) {
    for (const code_table_s& row : rows) append(row.name, reinterpret_cast<void*>(static_cast<uintptr_t>(row.code)));
  }
};

const code_table_s k_severities[] = {
    {"Critical", 'C'}, {"Error", 'E'}, {"Info", 'I'}, {"SignificantInfo", 'S'}, {"Warning", 'W'},
};
const code_table_s k_message_sources[] = {
    {"Cdp", 'C'},          {"Drivers", 'D'},           {"Manager", 'M'},           {"Replicator", 'R'},
    {"System", 'S'},       {"ZqNet", 'Z'},             {"ScenarioValidation", 'V'}, {"ServiceFailreason", 'F'},
    {"VssRequestor", 'Q'}, {"ScenarioGroup", 'P'},     {"General", 'G'},           {"NATUtilityUI", 'I'},
};
const code_table_s k_operation_modes[] = {
    {"Assessment Mode", 1}, {"Replication", 2}, {"Synchronization", 3},
    {"Verification", 4},    {"Assured Recovery", 5}, {"CDP", 6},
};

code_table_c g_severities(k_severities);
code_table_c g_message_sources(k_message_sources);
code_table_c g_operation_modes(k_operation_modes);

// The creators of object configurations; each registers itself as it is built (the registry is
// made on first use, so a creator anywhere in the library finds it).
cdp_conf_creator_c g_cdp_conf_creator;
db_conf_creator_c g_db_conf_creator;

// The element and attribute names of configuration items, shared by items and values from now on.
struct shared_names_s {
  shared_names_s() {
    xml_item_c::share_names(xmc_item_c::k_element_names, xmc_item_c::k_element_name_count);
    labeled_value_c::share_labels(xmc_item_c::k_attribute_names, xmc_item_c::k_attribute_name_count);
  }
} g_shared_names;

// The generic configurator, built from the embedded template once everything above exists.
generic_conf_builder_c g_generic_conf_builder;

struct end_of_load_s {
  end_of_load_s() { zqtr_hold_records(false); }
} g_end_of_load;

}  // namespace

conf_object_registry_c& conf_object_registry_c::instance() {
  // Built by its first user, so it outlives every creator that registered in it.
  static conf_object_registry_c registry;
  return registry;
}

message_table_t& message_store_c::store() { return g_message_store; }

string_array_c& message_store_c::_loaded_texts() { return g_loaded_messages; }

namespace code_tables_n {
ptr_string_list_c& severities() { return g_severities; }
ptr_string_list_c& message_sources() { return g_message_sources; }
ptr_string_list_c& operation_modes() { return g_operation_modes; }
}  // namespace code_tables_n

namespace library_statics_n {

thl_ref_counter_c& handle_counter() { return g_handle_counter; }

thl_crit_section_c& crit_section(crit_section_e which) { return g_crit_sections[which]; }

win32::critical_section& win32_section(int which) { return g_win32_sections[which]; }

sys_info_c* sys_info() { return g_sys_info.get(); }

}  // namespace library_statics_n
