#include "xmc/object_defaults.h"

namespace {

// Set and withdrawn while the library loads and unloads, as the configurator is.
const object_defaults_c* g_source = nullptr;

}  // namespace

namespace object_defaults_n {

const object_defaults_c* source() { return g_source; }

void set_source(const object_defaults_c* defaults) { g_source = defaults; }

}  // namespace object_defaults_n
