#include "child_process.h"

#include "platform/win32/win32_api.h"
#include "test_files.h"

namespace test_support_n {

namespace {

// Quotes one argument the way the C runtime splits a command line.
std::wstring quote(const std::wstring& arg) {
  if (!arg.empty() && arg.find_first_of(L" \t\"") == std::wstring::npos) return arg;
  std::wstring out = L"\"";
  size_t slashes = 0;
  for (wchar_t c : arg) {
    if (c == L'\\') {
      ++slashes;
      continue;
    }
    if (c == L'"') out.append(slashes * 2 + 1, L'\\');
    else out.append(slashes, L'\\');
    slashes = 0;
    out += c;
  }
  out.append(slashes * 2, L'\\');
  out += L'"';
  return out;
}

}  // namespace

std::string self_path() {
  wchar_t buffer[4096];
  DWORD n = GetModuleFileNameW(nullptr, buffer, 4096);
  int bytes = WideCharToMultiByte(CP_UTF8, 0, buffer, static_cast<int>(n), nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<size_t>(bytes), '\0');
  WideCharToMultiByte(CP_UTF8, 0, buffer, static_cast<int>(n), &out[0], bytes, nullptr, nullptr);
  return out;
}

child_process_c::child_process_c(const std::string& role, const std::vector<std::string>& args) {
  std::wstring program = wide(self_path());
  std::wstring line = quote(program) + L" --child " + quote(wide(role));
  for (const std::string& a : args) line += L" " + quote(wide(a));
  STARTUPINFOW si;
  ZeroMemory(&si, sizeof si);
  si.cb = sizeof si;
  PROCESS_INFORMATION pi;
  if (CreateProcessW(program.c_str(), &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) {
    CloseHandle(pi.hThread);
    m_process = pi.hProcess;
    m_pid = static_cast<long>(pi.dwProcessId);
    m_started = true;
  }
}

child_process_c::~child_process_c() {
  if (m_started && !m_waited) {
    kill();
    wait();
  }
  if (m_process != nullptr) CloseHandle(m_process);
}

int child_process_c::wait() {
  if (!m_started) return -1;
  if (m_waited) return m_exit_code;
  WaitForSingleObject(m_process, INFINITE);
  DWORD code = 0;
  m_exit_code = GetExitCodeProcess(m_process, &code) ? static_cast<int>(code) : -1;
  m_waited = true;
  return m_exit_code;
}

void child_process_c::kill() {
  if (m_started && !m_waited) TerminateProcess(m_process, 137);
}

}  // namespace test_support_n
