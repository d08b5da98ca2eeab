#include "file/short_names.h"

#include "file/path_n.h"
#include "platform/trc/zqtr.h"
#include "platform/txf/txf_wrapper.h"
#include "utl/multi_lang.h"
#include "utl/utl.h"
#include "utl/utl_stream.h"

#include <cstdio>
#include <cstring>
#include <cwchar>
#include <memory>
#include <string>

namespace {

const char* k_file = "file";

std::string utf8_of(const wchar_t* text) {
  std::unique_ptr<char[]> buffer(new char[PATH_BUFFER_SIZE * 4]);
  if (text == nullptr || multi_lang_str_n::wide_to_utf8(text, buffer.get(), PATH_BUFFER_SIZE * 4) == nullptr) {
    return std::string();
  }
  return buffer.get();
}

wchar_t lower(wchar_t c) {
  return static_cast<wchar_t>(reinterpret_cast<uintptr_t>(CharLowerW(reinterpret_cast<LPWSTR>(static_cast<uintptr_t>(c)))));
}

bool is_separator(wchar_t c) { return c == L'\\' || c == L'/'; }

BOOL move_entry(const wchar_t* from, const wchar_t* to, HANDLE transaction) {
  return transaction != nullptr
             ? txf_wrapper_c::MoveFileTransacted(from, to, nullptr, nullptr, MOVEFILE_WRITE_THROUGH, transaction)
             : MoveFileExW(from, to, MOVEFILE_WRITE_THROUGH);
}

}  // namespace

reserve_short_path_name_s::reserve_short_path_name_s(const char* path, DWORD disposition, HANDLE transaction)
    : transaction(transaction) {
  if (path == nullptr || disposition == OPEN_EXISTING || !k_platform_has_short_names) return;
  ZQTR_SCOPE(tr, "reserve_short_path_name_s::reserve_short_path_name_s", k_file);
  std::unique_ptr<wchar_t[]> wide = path_n::wide_path(path, true);
  std::unique_ptr<wchar_t[]> full(new wchar_t[PATH_BUFFER_SIZE]);
  full[0] = 0;
  DWORD n = transaction != nullptr
                ? txf_wrapper_c::GetLongPathNameTransacted(wide.get(), full.get(), PATH_BUFFER_SIZE, transaction)
                : GetLongPathNameW(wide.get(), full.get(), PATH_BUFFER_SIZE);
  if (n == 0 || n >= PATH_BUFFER_SIZE || utl_n::uni_stricmp(wide.get(), full.get()) == 0) return;

  // The first component that differs is the short name of the entry that owns it.
  size_t i = 0, j = 0;
  while (wide[i] != 0 && full[j] != 0) {
    if (is_separator(wide[i]) && is_separator(full[j])) {
      ++i;
      ++j;
      continue;
    }
    if (lower(wide[i]) != lower(full[j])) break;
    ++i;
    ++j;
  }
  wchar_t* end = std::wcschr(full.get() + j, L'\\');
  if (end == nullptr) end = std::wcschr(full.get() + j, L'/');
  if (end != nullptr) *end = 0;
  long_path = full.release();

  const wchar_t* last = std::wcsrchr(long_path, L'\\');
  const wchar_t* last_slash = std::wcsrchr(long_path, L'/');
  if (last_slash != nullptr && (last == nullptr || last_slash > last)) last = last_slash;
  const size_t dir_length = last == nullptr ? 0 : static_cast<size_t>(last - long_path) + 1;
  temp_path = new wchar_t[PATH_BUFFER_SIZE];
  const std::string long_text = utf8_of(long_path);
  for (unsigned number = 0;; ++number) {
    char name[32];
    std::snprintf(name, sizeof name, "%u.zqx", number);
    std::wmemcpy(temp_path, long_path, dir_length);
    size_t k = dir_length;
    for (const char* c = name; *c != '\0' && k + 1 < PATH_BUFFER_SIZE; ++c) temp_path[k++] = static_cast<wchar_t>(*c);
    temp_path[k] = 0;
    if (std::strlen(name) > 12) {
      tr.print(ZQTR_FAIL, __LINE__, "no usable tmp name '%s'\n", utf8_of(temp_path).c_str());
      break;
    }
    if (move_entry(long_path, temp_path, transaction)) {
      moved = true;
      break;
    }
    DWORD error = GetLastError();
    if (error == ERROR_ALREADY_EXISTS) continue;
    utl_stream_c text;
    tr.print(ZQTR_FAIL, __LINE__, "unable rename '%s' to tmp name '%s', %s\n", long_text.c_str(),
             utf8_of(temp_path).c_str(), utl_n::get_error_text(text, static_cast<int>(error)));
    break;
  }
}

reserve_short_path_name_s::~reserve_short_path_name_s() {
  if (moved) {
    ZQTR_SCOPE(tr, "reserve_short_path_name_s::~reserve_short_path_name_s", k_file);
    if (!move_entry(temp_path, long_path, transaction)) {
      utl_stream_c text;
      tr.print(ZQTR_FAIL, __LINE__, "unable restore filename from '%s' to '%s', %s\n", utf8_of(temp_path).c_str(),
               utf8_of(long_path).c_str(), utl_n::get_error_text(text, 0));
    }
  }
  delete[] long_path;
  delete[] temp_path;
}
