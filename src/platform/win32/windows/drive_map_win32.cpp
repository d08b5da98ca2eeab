#include "platform/win32/drive_map.h"

namespace drive_map_n {

bool map(const std::string&, const std::string&) { return false; }

bool map_entry(const std::string&, std::string& error) {
  error = "drives are the system's own on Windows and cannot be mapped";
  return false;
}

bool unmap(const std::string&) { return false; }

void clear() {}

std::string native_path(const std::string& path) { return path; }

bool map_volume(const std::string&, const std::string&, const volume_image_s&) { return false; }

}  // namespace drive_map_n
