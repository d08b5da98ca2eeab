#include "dynamic_library.h"

#include <dlfcn.h>

namespace test_support_n {

dynamic_library_c::dynamic_library_c(const std::string& path) {
  m_handle = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (m_handle == nullptr) m_error = ::dlerror();
}

dynamic_library_c::~dynamic_library_c() {
  if (m_handle != nullptr) ::dlclose(m_handle);
}

void* dynamic_library_c::symbol(const char* name) const {
  return m_handle ? ::dlsym(m_handle, name) : nullptr;
}

}  // namespace test_support_n
