#include "stats_mng/library_statics.h"

namespace {

thl_ref_counter_c g_handle_counter;
thl_crit_section_c g_crit_sections[library_statics_n::CS_COUNT] = {
    thl_crit_section_c(false), thl_crit_section_c(false), thl_crit_section_c(false), thl_crit_section_c(false),
    thl_crit_section_c(false), thl_crit_section_c(false), thl_crit_section_c(false)};

}  // namespace

namespace library_statics_n {

thl_ref_counter_c& handle_counter() { return g_handle_counter; }

thl_crit_section_c& crit_section(crit_section_e which) { return g_crit_sections[which]; }

}  // namespace library_statics_n
