// The three query exports against the Win32 calls the same work needs at the least, for the Windows
// build (under Wine on Linux, where there is no Google Benchmark for this target): medians of
// interleaved repetitions, each a batch of calls, and each export's ratio to its floor.
// - get_scenario_state_index and is_sync_replicated: the attributes of the directory, then open,
//   read and close of both state files (the scenario's own and its parent directory's);
// - is_engine_active_for_scenario: the bare floor, the attributes of the scenario and state
//   directories and an open of the lock file that shares reading only (refused while an engine
//   writes), closed at once.
// Usage: query_ratios [REPETITIONS [CALLS]]   (default 15 repetitions of 200 calls)
#include "stats_mng/stats_mng.h"
#include "stats_mng/stats_saver.h"
#include "stats_mng/stats_saver_lock.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

namespace {

std::string narrow(const std::wstring& wide) {
  const int n = WideCharToMultiByte(CP_UTF8, 0, wide.c_str(), -1, nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<size_t>(n > 0 ? n : 1), '\0');
  WideCharToMultiByte(CP_UTF8, 0, wide.c_str(), -1, &out[0], n, nullptr, nullptr);
  out.resize(std::strlen(out.c_str()));
  return out;
}

// A scenario with a scenario below it, each with a state file, and the parent's lock file.
class scenario_c {
 public:
  scenario_c() {
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    m_dir = std::wstring(temp) + L"query_ratios_" + std::to_wstring(GetCurrentProcessId());
    CreateDirectoryW(m_dir.c_str(), nullptr);
    m_child = m_dir + L"\\7";
    CreateDirectoryW(m_child.c_str(), nullptr);
    const std::string dir = narrow(m_dir), child = narrow(m_child);
    {
      stats_saver_lock_c prepare(dir.c_str());
      m_ready = prepare.lock(true);  // creates the lock file
    }
    stats_saver_ex_c own(nullptr, 7, child.c_str(), ".mw_zq_prefix", "bench", false);
    stats_saver_ex_c parent(nullptr, 1, dir.c_str(), ".mw_zq_prefix", "bench", false);
    m_ready = m_ready && own.set_sync_state(1, true, 200) && parent.set_sync_state(1, false, 100);
  }
  ~scenario_c() {
    DeleteFileW((m_child + L"\\.mw_zq_prefix\\stats.xml").c_str());
    RemoveDirectoryW((m_child + L"\\.mw_zq_prefix").c_str());
    RemoveDirectoryW(m_child.c_str());
    DeleteFileW((m_dir + L"\\.mw_zq_prefix\\stats.xml").c_str());
    DeleteFileW((m_dir + L"\\.mw_zq_prefix\\state.lock").c_str());
    RemoveDirectoryW((m_dir + L"\\.mw_zq_prefix").c_str());
    RemoveDirectoryW(m_dir.c_str());
  }
  bool ready() const { return m_ready; }
  const std::wstring& dir() const { return m_dir; }
  const std::wstring& child() const { return m_child; }

 private:
  std::wstring m_dir, m_child;
  bool m_ready = false;
};

bool read_whole(const wchar_t* path, char* buffer, DWORD size) {
  HANDLE file = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD got = 0;
  const bool ok = ReadFile(file, buffer, size, &got, nullptr) && got > 0;
  CloseHandle(file);
  return ok;
}

struct case_s {
  const char* name;
  int floor;  // index of the floor this case is compared with; -1: a floor itself
  std::function<bool()> call;
  std::vector<double> micros;  // per call, one entry a repetition
};

double median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values.empty() ? 0 : values[values.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
  const int repetitions = argc > 1 ? std::max(1, std::atoi(argv[1])) : 15;
  const int calls = argc > 2 ? std::max(1, std::atoi(argv[2])) : 200;
  scenario_c scenario;
  if (!scenario.ready()) {
    std::fprintf(stderr, "the scenario could not be prepared in the temporary directory\n");
    return 1;
  }
  const std::string child = narrow(scenario.child()), dir = narrow(scenario.dir());
  const std::wstring child_state = scenario.child() + L"\\.mw_zq_prefix\\stats.xml";
  const std::wstring parent_state = scenario.dir() + L"\\.mw_zq_prefix\\stats.xml";
  const std::wstring state_dir = scenario.dir() + L"\\.mw_zq_prefix";
  const std::wstring lock = state_dir + L"\\state.lock";
  char buffer[4096];

  std::vector<case_s> cases;
  cases.push_back({"state query floor", -1,
                   [&] {
                     return GetFileAttributesW(scenario.child().c_str()) != INVALID_FILE_ATTRIBUTES &&
                            read_whole(child_state.c_str(), buffer, sizeof buffer) &&
                            read_whole(parent_state.c_str(), buffer, sizeof buffer);
                   },
                   {}});
  cases.push_back({"get_scenario_state_index", 0,
                   [&] {
                     unsigned index = 99;
                     return get_scenario_state_index(child.c_str(), &index) && index == 0;
                   },
                   {}});
  cases.push_back({"is_sync_replicated", 0, [&] { return is_sync_replicated(child.c_str()); }, {}});
  cases.push_back({"engine question bare floor", -1,
                   [&] {
                     if (GetFileAttributesW(scenario.dir().c_str()) == INVALID_FILE_ATTRIBUTES ||
                         GetFileAttributesW(state_dir.c_str()) == INVALID_FILE_ATTRIBUTES) {
                       return false;
                     }
                     HANDLE file = CreateFileW(lock.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                               FILE_ATTRIBUTE_NORMAL, nullptr);
                     if (file == INVALID_HANDLE_VALUE) return false;
                     CloseHandle(file);
                     return true;
                   },
                   {}});
  // Nobody holds the scenario: the answer must be false every time.
  cases.push_back({"is_engine_active_for_scenario", 3, [&] { return !is_engine_active_for_scenario(dir.c_str()); }, {}});

  LARGE_INTEGER frequency;
  QueryPerformanceFrequency(&frequency);
  for (int r = 0; r < repetitions; ++r) {
    // Interleaved: each repetition runs every case once, starting one case further each time.
    for (size_t k = 0; k < cases.size(); ++k) {
      case_s& c = cases[(k + static_cast<size_t>(r)) % cases.size()];
      LARGE_INTEGER start, end;
      QueryPerformanceCounter(&start);
      for (int i = 0; i < calls; ++i) {
        if (!c.call()) {
          std::fprintf(stderr, "%s: a call did not give the expected answer\n", c.name);
          return 1;
        }
      }
      QueryPerformanceCounter(&end);
      c.micros.push_back(static_cast<double>(end.QuadPart - start.QuadPart) * 1e6 /
                         static_cast<double>(frequency.QuadPart) / calls);
    }
  }
  std::printf("%-32s %12s %8s   (median of %d repetitions of %d calls)\n", "", "us a call", "ratio", repetitions,
              calls);
  for (const case_s& c : cases) {
    const double m = median(c.micros);
    if (c.floor < 0) {
      std::printf("%-32s %12.1f\n", c.name, m);
    } else {
      std::printf("%-32s %12.1f %7.2fx\n", c.name, m, m / median(cases[static_cast<size_t>(c.floor)].micros));
    }
  }
  return 0;
}
