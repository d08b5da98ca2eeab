#include "dynamic_library.h"

#include "platform/win32/win32_api.h"

namespace test_support_n {

dynamic_library_c::dynamic_library_c(const std::string& path) {
  // A path of the build machine seen from Wine: "/x/y" is "Z:\x\y".
  std::string windows_path = path;
  if (!windows_path.empty() && windows_path[0] == '/') windows_path = "Z:" + windows_path;
  for (char& c : windows_path) {
    if (c == '/') c = '\\';
  }
  m_handle = reinterpret_cast<void*>(LoadLibraryA(windows_path.c_str()));
  if (m_handle == nullptr) m_error = "LoadLibrary failed with error " + std::to_string(GetLastError());
}

dynamic_library_c::~dynamic_library_c() {
  if (m_handle != nullptr) FreeLibrary(reinterpret_cast<HMODULE>(m_handle));
}

void* dynamic_library_c::symbol(const char* name) const {
  return m_handle ? reinterpret_cast<void*>(GetProcAddress(reinterpret_cast<HMODULE>(m_handle), name)) : nullptr;
}

}  // namespace test_support_n
