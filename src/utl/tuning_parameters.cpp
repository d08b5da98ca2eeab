#include "utl/tuning_parameters.h"

#include "platform/thl/mix.h"
#include "utl/utl.h"

#include <atomic>
#include <climits>

namespace {

std::atomic<tuning_parameter_registry_s*> g_registry{nullptr};

const char* value_text(const tuning_parameter_s* p) { return p->has_value ? p->value.c_str() : "Undefined Value"; }

}  // namespace

namespace tuning_parameters_n {

void install_registry(tuning_parameter_registry_s* registry) { g_registry.store(registry); }

tuning_parameter_s* find_parameter(const char* name) {
  tuning_parameter_registry_s* registry = g_registry.load();
  if (registry == nullptr || name == nullptr) return nullptr;
  std::lock_guard<std::mutex> guard(registry->lock);
  for (tuning_parameter_group_s& group : registry->groups) {
    for (tuning_parameter_s& p : group.parameters) {
      if (utl_n::ascii_compare_nocase(p.name.c_str(), name) == 0) return &p;
    }
  }
  return nullptr;
}

bool get_bool(tuning_parameter_s* parameter) {
  if (parameter == nullptr) return false;
  parameter->error << static_cast<char>(1);
  if (parameter->has_value && utl_n::ascii_compare_nocase(parameter->value.c_str(), "True") == 0) return true;
  if (parameter->has_value && utl_n::ascii_compare_nocase(parameter->value.c_str(), "False") == 0) return false;
  parameter->error << "Unable to convert to bool " << "\"" << value_text(parameter) << "\"";
  return false;
}

int get_int(tuning_parameter_s* parameter) {
  if (parameter == nullptr) return 0;
  parameter->error << static_cast<char>(1);
  int64_t n = 0;
  if (parameter->has_value && mix_n::parse_formatted_integer_string(parameter->value.c_str(), n)) {
    if (n >= INT_MIN && n <= INT_MAX) return static_cast<int>(n);
    parameter->error << "Unable to convert " << "\"" << value_text(parameter) << "\"" << " to " << "int"
                     << ", input value is too big";
    return 0;
  }
  parameter->error << "Unable to convert " << "\"" << value_text(parameter) << "\"" << " to " << "int";
  return 0;
}

}  // namespace tuning_parameters_n
