#include "arguments.h"

#include "platform/win32/win32_api.h"

#include <shellapi.h>

namespace stats_mng_tool_n {

bool command_line_arguments(int, char**, std::vector<std::string>& arguments, std::string& error) {
  arguments.clear();
  int count = 0;
  LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &count);
  if (wide == nullptr) {
    error = "the command line cannot be read";
    return false;
  }
  bool ok = true;
  for (int i = 0; i < count && ok; ++i) {
    // Strict: a lone surrogate has no UTF-8 form, and is refused rather than replaced.
    const int length = WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, wide[i], -1, nullptr, 0, nullptr, nullptr);
    if (length <= 0) {
      error = "argument " + std::to_string(i) + " is no valid UTF-16 text";
      ok = false;
      break;
    }
    std::string text(static_cast<size_t>(length), '\0');
    WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, wide[i], -1, &text[0], length, nullptr, nullptr);
    text.resize(static_cast<size_t>(length - 1));
    arguments.push_back(std::move(text));
  }
  LocalFree(wide);
  return ok;
}

void prepare_output() { SetConsoleOutputCP(CP_UTF8); }

bool output_reader_gone() { return false; }

}  // namespace stats_mng_tool_n
