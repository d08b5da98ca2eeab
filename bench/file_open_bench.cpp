// Opening and closing a file: raw open/close against CreateFileW/CloseHandle as an attributes-only
// open, a reader and a writer (the share-mode protocol), side by side.
#include "platform/win32/win32_api.h"
#include "platform/win32/posix/posix_paths.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <string>
#include <unistd.h>

namespace {

class bench_file_c {
 public:
  bench_file_c() {
    if (mkdtemp(m_dir) == nullptr) return;
    m_path = std::string(m_dir) + "/state.lock";
    FILE* f = std::fopen(m_path.c_str(), "w");
    if (f != nullptr) std::fclose(f);
    m_wide = posix_paths_n::widen(m_path);
  }
  ~bench_file_c() {
    std::remove(m_path.c_str());
    ::rmdir(m_dir);
  }
  const std::string& path() const { return m_path; }
  const wchar_t* wide() const { return m_wide.c_str(); }

 private:
  char m_dir[32] = "/tmp/open_bench_XXXXXX";
  std::string m_path;
  std::wstring m_wide;
};

void BM_raw_open_close(benchmark::State& state) {
  bench_file_c file;
  for (auto _ : state) {
    int fd = ::open(file.path().c_str(), O_RDONLY | O_CLOEXEC);
    benchmark::DoNotOptimize(fd);
    ::close(fd);
  }
}
BENCHMARK(BM_raw_open_close);

void open_close(benchmark::State& state, DWORD access, DWORD share) {
  bench_file_c file;
  for (auto _ : state) {
    HANDLE h = CreateFileW(file.wide(), access, share, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
      state.SkipWithError("CreateFileW failed");
      break;
    }
    CloseHandle(h);
  }
}

void BM_attributes_only_open_close(benchmark::State& state) { open_close(state, FILE_READ_ATTRIBUTES, 0); }
BENCHMARK(BM_attributes_only_open_close);

void BM_reader_open_close(benchmark::State& state) {
  open_close(state, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE);
}
BENCHMARK(BM_reader_open_close);

void BM_writer_open_close(benchmark::State& state) {
  open_close(state, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ);
}
BENCHMARK(BM_writer_open_close);

}  // namespace

BENCHMARK_MAIN();
