// The Windows form of paths, and questions about paths.
#include "file/path_n.h"

#include "platform/trc/zqtr.h"
#include "platform/win32/win32_api.h"
#include "utl/multi_lang.h"
#include "utl/utl.h"

#include <cctype>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace path_n {

namespace {

constexpr size_t k_max_chars = PATH_BUFFER_SIZE - 1;
const char k_shadow_copy_prefix[] = "\\\\?\\GLOBALROOT\\Device\\HarddiskVolumeShadowCopy";  // 46 characters
constexpr size_t k_shadow_copy_prefix_length = sizeof k_shadow_copy_prefix - 1;
static_assert(k_shadow_copy_prefix_length == 46, "the shadow copy prefix is 46 characters");

bool is_separator(char c) { return c == '\\' || c == '/'; }

bool starts_with_nocase(const char* text, const char* prefix) {
  for (; *prefix != '\0'; ++text, ++prefix) {
    if (std::tolower(static_cast<unsigned char>(*text)) != std::tolower(static_cast<unsigned char>(*prefix))) {
      return false;
    }
  }
  return true;
}

// A bounded copy with every '/' turned into '\'.
void backslashed_copy(const char* path, char* out) {
  size_t i = 0;
  for (; i < k_max_chars && path[i] != '\0'; ++i) out[i] = path[i] == '/' ? '\\' : path[i];
  out[i] = '\0';
}

void copy_bounded(const char* path, char* out) {
  size_t n = strnlen(path, k_max_chars);
  std::memcpy(out, path, n);
  out[n] = '\0';
}

// Copies path into out and cuts it after the second separator from `start` on, or at its end,
// so that it ends with a single '\'.
char* cut_after_share(const char* path, char* out, size_t start) {
  copy_bounded(path, out);
  size_t length = std::strlen(out);
  if (length <= start) {
    if (length < k_max_chars) {
      out[length] = '\\';
      out[length + 1] = '\0';
    }
    return out;
  }
  int separators = 0;
  for (size_t i = start; i < length; ++i) {
    if (is_separator(out[i])) {
      out[i] = '\\';
      if (++separators == 2) {
        out[i + 1] = '\0';
        return out;
      }
    }
  }
  if (out[length - 1] != '\\' && length < k_max_chars) {
    out[length] = '\\';
    out[length + 1] = '\0';
  }
  return out;
}

}  // namespace

namespace {

// The Windows form of work, a path in standard form (or a backslashed volume path): the prefix,
// '\' separators, UTF-16. work is changed.
void wide_of_standard(char* work, wchar_t* out, bool add_prefix) {
  char formatted[PATH_BUFFER_SIZE];  // on the stack, terminated where it ends
  char* text = work;
  const size_t length = std::strlen(text);
  // The prefix, then as much of the rest as the buffer holds.
  auto prefixed = [&formatted](const char* prefix, const char* rest) {
    const size_t p = std::strlen(prefix);
    const size_t n = strnlen(rest, PATH_BUFFER_SIZE - 1 - p);
    std::memcpy(formatted, prefix, p);
    std::memcpy(formatted + p, rest, n);
    formatted[p + n] = '\0';
  };
  if (add_prefix) {
    if (length > 1 && text[1] == ':') {
      prefixed("\\\\?\\", work);
      text = formatted;
    } else if (length > 2 && text[0] == '\\' && text[1] == '\\' && text[2] != '?' && text[2] != '.') {
      // A UNC path: \\srv\share becomes \\?\UNC\srv\share. Device paths (\\.\) stay as they are.
      prefixed("\\\\?\\UNC", work + 1);
      text = formatted;
    } else if (length > 10 && std::strncmp(text, "GLOBALROOT", 10) == 0) {
      prefixed("\\\\?\\", work);
      text = formatted;
    }
  }
  for (char* c = text; *c != '\0'; ++c) {
    if (*c == '/') *c = '\\';
  }
  if (multi_lang_str_n::utf8_to_wide(text, out, PATH_BUFFER_SIZE) == nullptr) out[0] = L'\0';
}

}  // namespace

void path_to_wide_char_path(const char* path, wchar_t* out, bool add_prefix) {
  ZQTR_SCOPE(tr, "path_n::path_to_wide_char_path", "file");
  if (out == nullptr) return;
  out[0] = L'\0';
  if (path == nullptr || *path == '\0') return;
  char work[PATH_BUFFER_SIZE];  // on the stack, terminated where it ends
  work[0] = '\0';
  if (is_volume_guid_path(path, true)) {
    backslashed_copy(path, work);
  } else {
    standard_dir_path(path, work, true);  // used whether or not it succeeded
  }
  wide_of_standard(work, out, add_prefix);
}

void standard_path_to_wide_char_path(const char* path, wchar_t* out, bool add_prefix) {
  if (out == nullptr) return;
  out[0] = L'\0';
  if (path == nullptr || *path == '\0') return;
  char work[PATH_BUFFER_SIZE];
  if (is_volume_guid_path(path, true)) {
    backslashed_copy(path, work);
  } else {
    const size_t length = strnlen(path, PATH_BUFFER_SIZE - 1);
    std::memcpy(work, path, length);
    work[length] = '\0';
  }
  wide_of_standard(work, out, add_prefix);
}

std::unique_ptr<wchar_t[]> wide_path(const char* path, bool add_prefix) {
  std::unique_ptr<wchar_t[]> wide(new wchar_t[PATH_BUFFER_SIZE]);
  path_to_wide_char_path(path, wide.get(), add_prefix);
  return wide;
}

void wide_char_path_to_path(const wchar_t* path, char* out) {
  ZQTR_SCOPE(tr, "path_n::wide_char_path_to_path", "file");
  if (out == nullptr) return;
  out[0] = '\0';
  if (path == nullptr) return;
  if (multi_lang_str_n::wide_to_utf8(path, out, PATH_BUFFER_SIZE) == nullptr) out[0] = '\0';
}

bool is_short_name(const char* path) {
  ZQTR_SCOPE(tr, "path_n::is_short_name", "file");
  if (path == nullptr || !k_platform_has_short_names) return false;
  std::vector<wchar_t> wide(PATH_BUFFER_SIZE, L'\0');
  std::vector<wchar_t> long_form(PATH_BUFFER_SIZE, L'\0');
  path_to_wide_char_path(path, wide.data(), true);
  DWORD n = GetLongPathNameW(wide.data(), long_form.data(), PATH_BUFFER_SIZE);
  if (n == 0 || n > PATH_BUFFER_SIZE) return false;
  return utl_n::uni_stricmp(long_form.data(), wide.data()) != 0;
}

bool drive_name_from_path(const char* path, char* out) {
  ZQTR_SCOPE(tr, "path_n::drive_name_from_path", "file");
  if (path == nullptr || out == nullptr) return false;
  out[0] = '\0';
  if (is_volume_guid_path(path, true)) {
    for (size_t i = 0; i < volume_guid_name_length; ++i) out[i] = path[i] == '/' ? '\\' : path[i];
    out[volume_guid_name_length] = '\\';
    out[volume_guid_name_length + 1] = '\0';
    return true;
  }
  if (is_shadow_copy_path(path)) {
    get_root_volumeshadowcopy(path, out);
    return true;
  }
  if (is_unc_path(path)) {
    unc_root_from_path(path, out);
    return true;
  }
  if (strnlen(path, 2) < 2) return false;
  if (std::isalpha(static_cast<unsigned char>(path[0])) && path[1] == ':') {
    out[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(path[0])));
    out[1] = ':';
    out[2] = '\\';
    out[3] = '\0';
    return true;
  }
  if (path[0] == '\\' && path[1] == '\\') {
    cut_after_share(path, out, 2);
    return true;
  }
  return false;
}

const char* file_from_path(const char* path) {
  ZQTR_SCOPE(tr, "path_n::file_from_path", "file");
  if (path == nullptr) return nullptr;
  const char* slash = std::strrchr(path, '/');
  const char* backslash = std::strrchr(path, '\\');
  const char* last = slash > backslash ? slash : backslash;
  return last != nullptr ? last + 1 : path;
}

char* file_from_path(char* path) { return const_cast<char*>(file_from_path(static_cast<const char*>(path))); }

bool is_full_path_name(const char* path) {
  ZQTR_SCOPE(tr, "path_n::is_full_path_name", "file");
  if (path == nullptr || path[0] == '\0') return false;
  if (path[0] == '/' || path[0] == '~') return true;
  if (std::isalpha(static_cast<unsigned char>(path[0])) && path[1] == ':' && is_separator(path[2])) return true;
  return path[0] == '\\' && path[1] == '\\' && path[2] != '\0';
}

bool is_file_in_dir(const char* dir, const char* file, bool case_sensitive, bool allow_same) {
  ZQTR_SCOPE(tr, "path_n::is_file_in_dir", "file");
  if (dir == nullptr || file == nullptr) return false;
  size_t n = std::strlen(dir);
  if (n > 0 && is_separator(dir[n - 1])) --n;
  const size_t file_length = std::strlen(file);
  if (!(n < file_length || (allow_same && n == file_length))) return false;
  if (case_sensitive) {
    if (std::strncmp(file, dir, n) != 0) return false;
  } else {
    // The directory without its trailing separator: C:\A\ holds c:\a itself when allow_same is set.
    std::string head(dir, n);
    if (utl_n::utf8_prefix_strnicmp(head.c_str(), file) != 0) return false;
  }
  return is_separator(file[n]) || (allow_same && file[n] == '\0');
}

bool is_stream_in_path(const char* file, const char* path) {
  ZQTR_SCOPE(tr, "path_n::is_stream_in_path", "file");
  if (file == nullptr || path == nullptr) return false;
  const size_t file_length = std::strlen(file);
  if (file_length < 2) return false;
  const char* rest = path;
  if (std::isalpha(static_cast<unsigned char>(path[0])) && path[1] == ':' && is_separator(path[2])) rest = path + 3;
  const char* colon = std::strrchr(rest, ':');
  if (colon == nullptr) return false;
  const size_t path_length = std::strlen(path);
  if (path_length == file_length && utl_n::utf8_prefix_strnicmp(file, path) == 0) return true;
  return static_cast<size_t>(colon - path) == file_length && utl_n::utf8_prefix_strnicmp(file, path) == 0;
}

bool stream_path_to_file(const char* path, char* out) {
  ZQTR_SCOPE(tr, "path_n::stream_path_to_file", "file");
  if (path == nullptr || out == nullptr) return false;
  const size_t length = strnlen(path, PATH_BUFFER_SIZE);
  if (length < 2 || length > k_max_chars || !is_stream_in_path(path, path)) return false;
  std::memcpy(out, path, length + 1);
  char* colon = std::strchr(file_from_path(out), ':');
  if (colon == nullptr) return false;
  *colon = '\0';
  return true;
}

char* get_root_volumeshadowcopy(const char* path, char* out) {
  ZQTR_SCOPE(tr, "path_n::get_root_volumeshadowcopy", "file");
  if (out == nullptr || !is_shadow_copy_path(path)) return nullptr;
  std::vector<char> copy(PATH_BUFFER_SIZE, '\0');
  copy_bounded(path, copy.data());
  for (size_t i = k_shadow_copy_prefix_length; copy[i] != '\0'; ++i) {
    if (is_separator(copy[i])) {
      copy[i] = '\0';
      break;
    }
  }
  std::memcpy(out, copy.data(), std::strlen(copy.data()) + 1);
  return out;
}

bool is_unc_path(const char* path) {
  ZQTR_SCOPE(tr, "path_n::is_unc_path", "file");
  if (path == nullptr) return false;
  std::vector<char> copy(PATH_BUFFER_SIZE, '\0');
  backslashed_copy(path, copy.data());
  const char* p = copy.data();
  if (!(p[0] == '\\' && p[1] == '\\')) return false;
  return starts_with_nocase(p, "\\\\?\\UNC\\") || std::strncmp(p, "\\\\?\\", 4) != 0;
}

char* unc_root_from_path(const char* path, char* out) {
  ZQTR_SCOPE(tr, "path_n::unc_root_from_path", "file");
  if (path == nullptr || out == nullptr) return out;
  return cut_after_share(path, out, starts_with_nocase(path, "\\\\?\\UNC\\") ? 8 : 2);
}

bool is_shadow_copy_path(const char* path) {
  ZQTR_SCOPE(tr, "path_n::is_shadow_copy_path", "file");
  if (path == nullptr) return false;
  std::vector<char> copy(PATH_BUFFER_SIZE, '\0');
  backslashed_copy(path, copy.data());
  return std::strncmp(copy.data(), k_shadow_copy_prefix, k_shadow_copy_prefix_length) == 0;
}

bool is_volume_root(const char* path) {
  ZQTR_SCOPE(tr, "path_n::is_volume_root", "file");
  if (path == nullptr) return false;
  std::vector<wchar_t> wide(PATH_BUFFER_SIZE, L'\0');
  std::vector<wchar_t> mount(PATH_BUFFER_SIZE, L'\0');
  path_to_wide_char_path(path, wide.data(), true);
  if (!GetVolumePathNameW(wide.data(), mount.data(), PATH_BUFFER_SIZE)) return false;
  return utl_n::uni_stricmp(wide.data(), mount.data()) == 0;
}

}  // namespace path_n
