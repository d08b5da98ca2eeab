// Reading and writing a 64 MiB file through FILE_c's buffers against raw read(2)/write(2) in
// 64 KiB blocks, side by side: reads through the read-ahead buffer (flag 0x010) in 1, 100 and
// 4096-byte requests, writes through the write-behind ring (flag 0x020) and through the stream.
#include "file/file.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

constexpr size_t k_file_size = 64u << 20;
constexpr size_t k_raw_block = 64u << 10;

class bench_files_c {
 public:
  bench_files_c() {
    if (mkdtemp(m_dir) == nullptr) return;
    m_source = std::string(m_dir) + "/source.bin";
    m_target = std::string(m_dir) + "/target.bin";
    std::vector<char> block(k_raw_block);
    for (size_t i = 0; i < block.size(); ++i) block[i] = static_cast<char>(i * 31);
    int fd = ::open(m_source.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    for (size_t done = 0; fd >= 0 && done < k_file_size; done += block.size()) {
      if (::write(fd, block.data(), block.size()) != static_cast<ssize_t>(block.size())) break;
    }
    if (fd >= 0) ::close(fd);
  }
  ~bench_files_c() {
    std::remove(m_source.c_str());
    std::remove(m_target.c_str());
    ::rmdir(m_dir);
  }
  const std::string& source() const { return m_source; }
  const std::string& target() const { return m_target; }

 private:
  char m_dir[32] = "/tmp/buffered_bench_XXXXXX";
  std::string m_source;
  std::string m_target;
};

bench_files_c& files() {
  static bench_files_c f;
  return f;
}

void BM_raw_read_64KiB(benchmark::State& state) {
  std::vector<char> block(k_raw_block);
  for (auto _ : state) {
    int fd = ::open(files().source().c_str(), O_RDONLY | O_CLOEXEC);
    size_t total = 0;
    ssize_t n;
    while ((n = ::read(fd, block.data(), block.size())) > 0) total += static_cast<size_t>(n);
    ::close(fd);
    if (total != k_file_size) state.SkipWithError("short read");
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * k_file_size));
}
BENCHMARK(BM_raw_read_64KiB)->Unit(benchmark::kMillisecond);

void BM_FILE_c_read_ahead(benchmark::State& state) {
  const size_t request = static_cast<size_t>(state.range(0));
  const unsigned flags = ZQ_OPEN_READ_AHEAD | static_cast<unsigned>(state.range(1));
  std::vector<char> buffer(request);
  for (auto _ : state) {
    FILE_c file;
    if (!file.open(files().source().c_str(), "r", nullptr, flags)) {
      state.SkipWithError("open failed");
      break;
    }
    size_t total = 0;
    size_t n;
    while ((n = file.read(buffer.data(), request)) != 0 && n != static_cast<size_t>(-1)) total += n;
    file.close();
    if (total != k_file_size) state.SkipWithError("short read");
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * k_file_size));
}
// Second argument: 0 reads through a stdio stream (the default), 0x200 through the bare handle.
BENCHMARK(BM_FILE_c_read_ahead)
    ->ArgNames({"request", "flags"})
    ->Args({1, 0})
    ->Args({100, 0})
    ->Args({4096, 0})
    ->Args({65536, 0})
    ->Args({4096, ZQ_OPEN_HANDLE_ONLY})
    ->Args({65536, ZQ_OPEN_HANDLE_ONLY})
    ->Unit(benchmark::kMillisecond);

void BM_raw_write_64KiB(benchmark::State& state) {
  std::vector<char> block(k_raw_block, 'w');
  for (auto _ : state) {
    int fd = ::open(files().target().c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    size_t total = 0;
    while (total < k_file_size && ::write(fd, block.data(), block.size()) == static_cast<ssize_t>(block.size())) {
      total += block.size();
    }
    ::close(fd);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * k_file_size));
}
BENCHMARK(BM_raw_write_64KiB)->Unit(benchmark::kMillisecond);

// Second argument: 0x020 writes through the write-behind ring (overlapped), 0 through the stream
// FILE_c makes by default (its writes pass the platform layer's calls).
void BM_FILE_c_write(benchmark::State& state) {
  const size_t request = static_cast<size_t>(state.range(0));
  const unsigned flags = static_cast<unsigned>(state.range(1));
  std::vector<char> block(request, 'w');
  for (auto _ : state) {
    FILE_c file;
    if (!file.open(files().target().c_str(), "w", nullptr, flags)) {
      state.SkipWithError("open failed");
      break;
    }
    size_t total = 0;
    while (total < k_file_size && file.write(block.data(), request) == request) total += request;
    if (!file.close() || total != k_file_size) state.SkipWithError("write failed");
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * k_file_size));
}
BENCHMARK(BM_FILE_c_write)
    ->ArgNames({"request", "flags"})
    ->Args({4096, ZQ_OPEN_OVERLAPPED})
    ->Args({65536, ZQ_OPEN_OVERLAPPED})
    ->Args({100, 0})
    ->Args({65536, 0})
    ->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
