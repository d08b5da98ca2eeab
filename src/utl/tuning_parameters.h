// Named tuning parameters of the file layer ("ChunkLength", "EnableAIOWrite" ...). They live in a
// process-wide registry that this library never fills, so every lookup gives null and callers use
// their defaults; a host process (or a test) may install one.
#ifndef STATS_MNG_UTL_TUNING_PARAMETERS_H
#define STATS_MNG_UTL_TUNING_PARAMETERS_H

#include "utl/utl_stream.h"

#include <mutex>
#include <string>
#include <vector>

struct tuning_parameter_s {
  std::string name;
  bool has_value = false;
  std::string value;
  utl_stream_c error;  // what the last conversion found wrong
};

struct tuning_parameter_group_s {
  std::string name;
  std::vector<tuning_parameter_s> parameters;
};

struct tuning_parameter_registry_s {
  std::mutex lock;
  std::vector<tuning_parameter_group_s> groups;
};

namespace tuning_parameters_n {

// Installs a registry (null removes it); the caller keeps it alive while installed.
void install_registry(tuning_parameter_registry_s* registry);

// The first parameter of that name (letter case ignored) in the groups in order; null when there is
// no registry or no such parameter.
tuning_parameter_s* find_parameter(const char* name);
// "True" or "False" in any case; anything else is reported in the parameter's error text.
bool get_bool(tuning_parameter_s* parameter);
// An integer in the range of int; anything else is reported in the error text and gives 0.
int get_int(tuning_parameter_s* parameter);

}  // namespace tuning_parameters_n

#endif
