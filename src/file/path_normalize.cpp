// The standard form of a path.
#include "file/path_n.h"

#include "platform/thl/ptr_list.h"
#include "platform/trc/zqtr.h"

#include <cstring>

namespace path_n {

const size_t volume_guid_name_length = 48;

namespace {

// Characters read from a source path: at most this many, the terminator's place excluded.
constexpr size_t k_max_chars = PATH_BUFFER_SIZE - 1;

bool is_separator(char c) { return c == '\\' || c == '/'; }

bool starts_with_nocase(const char* text, const char* prefix) {
  for (; *prefix != '\0'; ++text, ++prefix) {
    char a = *text, b = *prefix;
    if (a >= 'a' && a <= 'z') a = static_cast<char>(a - 'a' + 'A');
    if (b >= 'a' && b <= 'z') b = static_cast<char>(b - 'a' + 'A');
    if (a != b) return false;
  }
  return true;
}

// Position just after the first separator at or after `from`, or `fallback` when there is none.
size_t after_separator(const char* dir, size_t from, size_t fallback) {
  for (size_t i = from; i < k_max_chars && dir[i] != '\0'; ++i) {
    if (is_separator(dir[i])) return i + 1;
  }
  return fallback;
}

// A component that ".." cannot climb above when it comes first: a drive "X:" or a UNC or
// long-path prefix such as "\\server\share".
bool is_root_component(const char* component) {
  return (component[0] != '\0' && component[1] == ':' && component[2] == '\0') ||
         (component[0] == '\\' && component[1] == '\\');
}

}  // namespace

bool standard_dir_path(const char* dir, char* ret, bool skip_prefix) {
  ZQTR_SCOPE(tr, "path_n::standard_dir_path", "file");
  if (dir == nullptr || ret == nullptr) {
    tr.print(128, __LINE__, "standard_dir_path->dir is null or ret is null \n");
    return false;
  }
  if (is_volume_guid_path(dir, true)) skip_prefix = false;

  const size_t length = strnlen(dir, k_max_chars);
  size_t keep = 0;   // leading characters copied unchanged
  size_t start = 0;  // where reading begins
  if (length > 8 && starts_with_nocase(dir, "\\\\?\\UNC\\")) {
    keep = after_separator(dir, 8, 8);
  } else if (length > 4 && std::strncmp(dir, "\\\\?\\", 4) == 0) {
    if (skip_prefix) start = 4; else keep = 4;
  } else if (length > 2 && dir[0] == '\\' && dir[1] == '\\') {
    keep = after_separator(dir, 2, 2);
  }
  start = keep > start ? keep : start;

  if (length == 2 && dir[1] == ':') {
    ret[0] = dir[0];
    ret[1] = dir[1];
    ret[2] = '\0';
    return true;
  }

  std::memcpy(ret, dir, keep);
  size_t written = keep;
  bool dot = false;
  for (size_t i = start; i < k_max_chars && dir[i] != '\0'; ++i) {
    const char c = dir[i];
    if (is_separator(c)) {
      if (written > 0 && ret[written - 1] == '/') continue;
      ret[written++] = '/';
      continue;
    }
    if (c == '.') {
      const char following = i + 1 < k_max_chars ? dir[i + 1] : '\0';
      if (written == 0 ||
          (ret[written - 1] == '/' && (following == '.' || following == '\0' || is_separator(following)))) {
        dot = true;
      }
    }
    ret[written++] = c;
  }
  ret[written] = '\0';
  if (written < 2) return false;
  if (written == 3 && ret[1] == ':') return true;

  if (written > 18 && ret[1] != ':') {
    const char* device = skip_prefix ? ret : ret + 4;
    static const char k_device[] = "GLOBALROOT/Device/";
    if (std::strncmp(device, k_device, sizeof k_device - 1) == 0) {
      if (std::strchr(device + sizeof k_device - 1, '/') != nullptr) return true;
      if (written >= k_max_chars) {
        // No room for the separator that marks the device root: refuse rather than write past
        // the buffer or hand back a form that is not the standard one.
        tr.print(4, __LINE__, "Unable to complete the device path %s: it is too long\n", ret);
        return false;
      }
      ret[written++] = '/';
      ret[written] = '\0';
      return true;
    }
  }

  if (ret[written - 1] == '/') ret[--written] = '\0';
  if (dot) _normalize_path(ret);
  return true;
}

void _normalize_path(char* path) {
  ZQTR_SCOPE(tr, "path_n::_normalize_path", "file");
  if (path == nullptr) return;
  const bool rooted = path[0] == '/';

  // Components point into the text, whose separators become terminators.
  ptr_list_c components(false);
  size_t length = strnlen(path, k_max_chars);
  path[length] = '\0';
  for (size_t i = 0; i < length;) {
    while (i < length && path[i] == '/') path[i++] = '\0';
    if (i >= length) break;
    components.append(path + i);
    while (i < length && path[i] != '/') ++i;
  }

  void* data = components.first();
  while (data != nullptr) {
    const char* component = static_cast<const char*>(data);
    if (std::strcmp(component, ".") == 0) {
      data = components.remove_current();
      continue;
    }
    if (std::strcmp(component, "..") != 0) {
      data = components.next();
      continue;
    }
    ptr_list_element_c* before = components.current_element()->prev;
    if (before == nullptr) {
      // Above the top: a rooted path stays at its root, a relative one keeps its "..".
      data = rooted ? components.remove_current() : components.next();
      continue;
    }
    const char* previous = static_cast<const char*>(before->data);
    if (std::strcmp(previous, "..") == 0) {
      data = components.next();
    } else if (before->prev == nullptr && !rooted && is_root_component(previous)) {
      data = components.remove_current();
    } else {
      components.remove_current(before->data);
      data = components.remove_current();
    }
  }

  char rebuilt[PATH_BUFFER_SIZE];
  size_t used = 0;
  if (rooted) rebuilt[used++] = '/';
  bool first = true;
  for (void* d = components.first(); d != nullptr; d = components.next()) {
    const char* component = static_cast<const char*>(d);
    if (!first && used < k_max_chars) rebuilt[used++] = '/';
    first = false;
    size_t n = strnlen(component, k_max_chars - used);
    std::memcpy(rebuilt + used, component, n);
    used += n;
  }
  if (used == 0) rebuilt[used++] = '.';
  rebuilt[used] = '\0';

  std::memcpy(path, rebuilt, used + 1);
  if (used == 2 && path[1] == ':') {
    path[2] = '/';
    path[3] = '\0';
  }
  path[k_max_chars] = '\0';
}

bool is_volume_guid_path(const char* path, bool prefix_only) {
  if (path == nullptr) return false;
  const size_t length = strnlen(path, volume_guid_name_length + 2);
  if (length < volume_guid_name_length) return false;
  if (!is_separator(path[0]) || !is_separator(path[1]) || !is_separator(path[3])) return false;
  if (path[2] != '?' && path[2] != '.') return false;
  if (!starts_with_nocase(path + 4, "Volume")) return false;
  if (prefix_only) return true;
  return length == volume_guid_name_length ||
         (length == volume_guid_name_length + 1 && is_separator(path[volume_guid_name_length]));
}

}  // namespace path_n
