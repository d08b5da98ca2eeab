// What loading the library costs now that it builds and checks the generic configurator from its
// embedded template, side by side with libxml2 merely parsing the same template text: in this
// process again and again, and each in a fresh process of its own (as a caller that starts, asks
// one question and exits pays it: there, touching new memory is most of the cost), with the floor
// of such a load (a library linked as ours that builds nothing). And the parts:
// joining the text, parsing it, reading it into the configuration tree, the whole build. And
// checking a default scenario (both passes), beside loading it, the floor any check of a file pays.
#include "xmc/generic_conf.h"
#include "xmc/generic_template.h"

#include "bench_median.h"

#include <benchmark/benchmark.h>

#include <dlfcn.h>
#include <libxml/parser.h>
#include <libxml/tree.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

const std::string& template_text() {
  static const std::string text = [] {
    utl_stream_c joined;
    return std::string(generic_template_n::join(joined));
  }();
  return text;
}

// dlopen to return (static objects built: the configurator among them); the dlclose that lets the
// next iteration load it again is not counted.
void BM_library_load(benchmark::State& state) {
  for (auto _ : state) {
    void* handle = dlopen(STATS_MNG_SHARED_LIBRARY, RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) {
      state.SkipWithError(dlerror());
      return;
    }
    state.PauseTiming();
    using check_f = bool (*)(const char*, const char*);
    benchmark::DoNotOptimize(reinterpret_cast<check_f>(dlsym(handle, "set_trc_file_log_path")));
    dlclose(handle);
    // A library that stays loaded would make every later iteration free.
    if (dlopen(STATS_MNG_SHARED_LIBRARY, RTLD_NOW | RTLD_NOLOAD) != nullptr) {
      state.SkipWithError("the library was not unloaded");
      return;
    }
    state.ResumeTiming();
  }
}

// The template text in a file of a temporary directory of this run (removed at exit).
const std::string& template_file() {
  static const std::string path = [] {
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp != nullptr && tmp[0] != '\0' ? tmp : "/tmp") + "/configurator_bench.XXXXXX";
    if (mkdtemp(&pattern[0]) == nullptr) return std::string();
    static std::string directory = pattern;
    std::string file = pattern + "/template.xml";
    FILE* out = std::fopen(file.c_str(), "wb");
    if (out == nullptr) return std::string();
    std::fwrite(template_text().data(), 1, template_text().size(), out);
    std::fclose(out);
    std::atexit([] {
      std::remove((directory + "/template.xml").c_str());
      rmdir(directory.c_str());
    });
    return file;
  }();
  return path;
}

// One run of the probe: what it measured (wall microseconds, page faults, CPU microseconds);
// false when it failed.
struct probe_result_s {
  double micros = 0;
  long faults = 0;
  double cpu_micros = 0;
};

bool run_probe(const std::string& command, probe_result_s& result) {
  FILE* probe = popen(command.c_str(), "r");
  const bool read =
      probe != nullptr && std::fscanf(probe, "%lf %ld %lf", &result.micros, &result.faults, &result.cpu_micros) == 3;
  const int status = probe == nullptr ? -1 : pclose(probe);
  return read && status == 0;
}

// Runs the probe once per iteration and takes the time it measured inside its fresh process
// (process start and exit are not counted); reports the page faults and CPU time of the step too.
void fresh_process(benchmark::State& state, const char* what, const std::string& path) {
  if (path.empty()) {
    state.SkipWithError("no template file");
    return;
  }
  const std::string command = std::string(STATS_MNG_FRESH_PROCESS_PROBE) + " " + what + " '" + path + "'";
  double faults = 0;
  std::vector<double> cpu;
  for (auto _ : state) {
    probe_result_s step;
    if (!run_probe(command, step)) {
      state.SkipWithError("the probe failed");
      return;
    }
    state.SetIterationTime(step.micros / 1e6);
    faults += static_cast<double>(step.faults);
    cpu.push_back(step.cpu_micros);
  }
  state.counters["page_faults"] = benchmark::Counter(faults, benchmark::Counter::kAvgIterations);
  state.counters["cpu_us"] = median_of(cpu);
}

// The three fresh processes in each iteration, one right after the other (which goes first turns
// round): ours, libxml2 parsing the template, and the floor (a library linked as ours that builds
// nothing). A machine whose speed drifts over seconds slows all alike, so the medians of each
// iteration's ratios are the steadiest figures: ratio_median (ours against libxml2, wall time),
// cpu_ratio_median (the same in CPU time: the machine is shared), floor_share (the floor's part of
// our load, CPU time). The iteration time is the library's load.
void BM_fresh_process_pairs(benchmark::State& state) {
  const std::string& path = template_file();
  if (path.empty()) {
    state.SkipWithError("no template file");
    return;
  }
  const std::string commands[3] = {
      std::string(STATS_MNG_FRESH_PROCESS_PROBE) + " library '" + STATS_MNG_SHARED_LIBRARY + "'",
      std::string(STATS_MNG_FRESH_PROCESS_PROBE) + " libxml2 '" + path + "'",
      std::string(STATS_MNG_FRESH_PROCESS_PROBE) + " library '" + STATS_MNG_LOAD_FLOOR_LIBRARY + "'"};
  std::vector<double> wall[3], cpu[3], ratios, cpu_ratios, floor_shares;
  size_t first = 0;
  for (auto _ : state) {
    probe_result_s results[3];
    bool ran = true;
    for (size_t k = 0; k < 3 && ran; ++k) ran = run_probe(commands[(first + k) % 3], results[(first + k) % 3]);
    if (!ran || results[1].micros <= 0 || results[1].cpu_micros <= 0 || results[0].cpu_micros <= 0) {
      state.SkipWithError("the probe failed");
      return;
    }
    first = (first + 1) % 3;
    state.SetIterationTime(results[0].micros / 1e6);
    for (size_t k = 0; k < 3; ++k) {
      wall[k].push_back(results[k].micros);
      cpu[k].push_back(results[k].cpu_micros);
    }
    ratios.push_back(results[0].micros / results[1].micros);
    cpu_ratios.push_back(results[0].cpu_micros / results[1].cpu_micros);
    floor_shares.push_back(results[2].cpu_micros / results[0].cpu_micros);
  }
  state.counters["ours_us"] = median_of(wall[0]);
  state.counters["libxml2_us"] = median_of(wall[1]);
  state.counters["floor_us"] = median_of(wall[2]);
  state.counters["ours_cpu_us"] = median_of(cpu[0]);
  state.counters["libxml2_cpu_us"] = median_of(cpu[1]);
  state.counters["floor_cpu_us"] = median_of(cpu[2]);
  state.counters["ratio_median"] = median_of(ratios);
  state.counters["cpu_ratio_median"] = median_of(cpu_ratios);
  state.counters["floor_share"] = median_of(floor_shares);
}

void BM_fresh_process_library_load(benchmark::State& state) {
  fresh_process(state, "library", STATS_MNG_SHARED_LIBRARY);
}

void BM_fresh_process_floor_load(benchmark::State& state) {
  fresh_process(state, "library", STATS_MNG_LOAD_FLOOR_LIBRARY);
}

void BM_fresh_process_libxml2_parse_template(benchmark::State& state) {
  fresh_process(state, "libxml2", template_file());
}

// parse(text) once an iteration over the template text, its bytes counted.
template <class parse_f>
void over_template_text(benchmark::State& state, parse_f parse) {
  const std::string& text = template_text();
  for (auto _ : state) parse(text);
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(text.size()));
}

void BM_libxml2_parse_template(benchmark::State& state) {
  over_template_text(state, [](const std::string& text) {
    xmlDocPtr doc = xmlReadMemory(text.data(), static_cast<int>(text.size()), "template.xml", nullptr, XML_PARSE_NONET);
    benchmark::DoNotOptimize(doc);
    xmlFreeDoc(doc);
  });
}

void BM_ours_build_configurator(benchmark::State& state) {
  for (auto _ : state) {
    generic_conf_c* conf = generic_conf_c::build();
    benchmark::DoNotOptimize(conf);
    delete conf;
  }
}

void BM_ours_read_template_tree(benchmark::State& state) {
  over_template_text(state, [](const std::string& text) {
    mixed_xmc_xml_tree_c tree;
    benchmark::DoNotOptimize(tree.load_from_str(text.c_str()));
  });
}

void BM_ours_parse_template_document(benchmark::State& state) {
  over_template_text(state, [](const std::string& text) {
    xml_document_c document;
    benchmark::DoNotOptimize(document.load_from_str(text.c_str()));
  });
}

void BM_ours_join_template(benchmark::State& state) {
  for (auto _ : state) {
    utl_stream_c text;
    benchmark::DoNotOptimize(generic_template_n::join(text));
  }
}

// The configurator's default scenario (Ha, FileServer) as text, with what a user fills in.
const std::string& scenario_text() {
  static const std::string text = [] {
    scenario_conf_c conf;
    conf.tree()->attach(generic_conf_instance->new_default_object(TAG_SCENARIO, PRODUCT_HA, 0, false), nullptr, true);
    conf._build_host_tree();
    const char* ips[] = {"192.0.2.1", "192.0.2.2"};
    for (uint64_t host : {1u, 2u}) {
      xmc_value_c ip(ips[host - 1]);
      conf.set_host_data(static_cast<uint32_t>(conf_tables_n::index_of_path(host_data_table, k_host_data_count,
                                                                            "CommonHostProps.IP")),
                         host, ip);
    }
    utl_stream_c out;
    conf.tree()->write_to_stream(out, true);
    return std::string(out.c_str());
  }();
  return text;
}

void BM_load_default_scenario(benchmark::State& state) {
  for (auto _ : state) {
    scenario_conf_c conf;
    benchmark::DoNotOptimize(conf.load_text(scenario_text().c_str(), nullptr));
  }
}

void BM_load_and_check_default_scenario(benchmark::State& state) {
  for (auto _ : state) {
    scenario_conf_c conf;
    conf.load_text(scenario_text().c_str(), nullptr);
    xmc_validity_c consistency, validity;
    benchmark::DoNotOptimize(conf.check_consistency(&consistency));
    benchmark::DoNotOptimize(conf.check_xmc_validity(&validity));
  }
}

}  // namespace

BENCHMARK(BM_load_default_scenario)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_load_and_check_default_scenario)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_library_load)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_fresh_process_library_load)->UseManualTime()->Iterations(40)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_fresh_process_floor_load)->UseManualTime()->Iterations(40)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_fresh_process_libxml2_parse_template)->UseManualTime()->Iterations(40)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_fresh_process_pairs)->UseManualTime()->Iterations(40)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_libxml2_parse_template)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ours_build_configurator)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ours_read_template_tree)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ours_parse_template_document)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ours_join_template)->Unit(benchmark::kMicrosecond);

BENCHMARK_MAIN();
