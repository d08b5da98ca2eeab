// Loading and storing XML documents (a state file, a document of about 1,500 lines and the
// configurator's template of 75 KB) with our library, with libxml2 and with pugixml, side by side,
// each in the steady state of a process that loads again and again.
// pugixml is a benchmark peer only: a build without it runs the rest and says the peer is skipped.
#include "xml/xml_doc.h"
#include "xml/xml_tree.h"
#include "xmc/generic_template.h"

#include "bench_median.h"

#include <benchmark/benchmark.h>

#include <libxml/parser.h>
#include <libxml/tree.h>
#ifdef STATS_MNG_HAVE_PUGIXML
#include <pugixml.hpp>
#endif

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>
#include <unistd.h>
#if defined(__GLIBC__)
#include <malloc.h>
#endif

namespace {

// Every reader's memory stays with the process between loads. The C library would otherwise give
// large blocks back to the system as they are freed and take them again, with fresh pages, at the
// next load: pugixml's pages of 32 KiB and more then pay page faults on every load (its template
// load measured 35 us or 80 us by what ran before it), while our arenas keep their blocks.
#if defined(__GLIBC__)
const bool k_memory_kept = [] {
  mallopt(M_MMAP_THRESHOLD, 256 << 20);
  mallopt(M_TRIM_THRESHOLD, 256 << 20);
  return true;
}();
#endif

std::string state_document() {
  return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
         "<stats_saver ScenarioID=\"5\">\n"
         "\t<state State=\"Running\" IsSyncReplicated=\"True\" IsSyncReplicatedTime=\"1700000000\"/>\n"
         "</stats_saver>\n";
}

std::string large_document() {
  std::string text = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<scenario Name=\"Large &amp; busy\" ID=\"12\">\n";
  for (int i = 0; i < 370; ++i) {
    std::string n = std::to_string(i);
    text += "\t<host HostIndex=\"" + n + "\" Name=\"host-" + n + "\" IP=\"10.0.0." + std::to_string(i % 250) + "\">\n";
    text += "\t\t<root_dir Path=\"C:/data/dir" + n + "\" Filter=\"*.db;*.log\"/>\n";
    text += "\t\t<note>replica &lt;" + n + "&gt; of the master</note>\n";
    text += "\t</host>\n";
  }
  return text + "</scenario>\n";
}

class files_c {
 public:
  files_c() {
    if (mkdtemp(m_dir) == nullptr) return;
    m_state = write(std::string(m_dir) + "/stats.xml", state_document());
    m_large = write(std::string(m_dir) + "/large.xml", large_document());
  }
  ~files_c() {
    std::remove(m_state.c_str());
    std::remove(m_large.c_str());
    ::rmdir(m_dir);
  }
  const std::string& path(int which) const { return which == 0 ? m_state : m_large; }

 private:
  static std::string write(const std::string& path, const std::string& text) {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (f != nullptr) {
      std::fwrite(text.data(), 1, text.size(), f);
      std::fclose(f);
    }
    return path;
  }
  char m_dir[32] = "/tmp/xml_bench_XXXXXX";
  std::string m_state;
  std::string m_large;
};

files_c& files() {
  static files_c f;
  return f;
}

const char* label(int which) { return which == 0 ? "state file" : which == 1 ? "1500 lines" : "template 75 KB"; }

// The configurator's template as the library joins it at load.
const std::string& template_text() {
  static const std::string text = [] {
    utl_stream_c joined;
    return std::string(generic_template_n::join(joined));
  }();
  return text;
}

// The documents loaded from memory: 0 the state file, 1 the 1,500 lines, 2 the template.
const std::string& memory_document(int which) {
  static const std::string state = state_document();
  static const std::string large = large_document();
  return which == 0 ? state : which == 1 ? large : template_text();
}

// A file's bytes already in memory, loaded as the readers of files load them: the peers below get
// the same bytes.
void BM_ours_load_bytes(benchmark::State& state) {
  const std::string& text = memory_document(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    xml_document_c doc;
    if (!doc.load_bytes(text.data(), text.size())) state.SkipWithError("load failed");
    benchmark::DoNotOptimize(doc.root());
  }
  state.SetLabel(label(static_cast<int>(state.range(0))));
}
BENCHMARK(BM_ours_load_bytes)->DenseRange(0, 2);

#ifdef STATS_MNG_HAVE_PUGIXML
// pugixml's default parse of a buffer it copies (its buffer is then its own, as ours is).
void BM_pugixml_load_buffer(benchmark::State& state) {
  const std::string& text = memory_document(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    pugi::xml_document doc;
    if (!doc.load_buffer(text.data(), text.size())) state.SkipWithError("pugixml failed");
    benchmark::DoNotOptimize(doc.first_child());
  }
  state.SetLabel(label(static_cast<int>(state.range(0))));
}
BENCHMARK(BM_pugixml_load_buffer)->DenseRange(0, 2);

// Ours and pugixml in turns within each iteration (a batch of loads each, the one that goes first
// alternating), so that a machine whose speed drifts slows both alike: ratio_median is the median
// of the iterations' ratios, ours against pugixml, the steadiest figure of the two. The iteration
// time is our batch's, per load.
void BM_pairs_ours_against_pugixml(benchmark::State& state) {
  const std::string& text = memory_document(static_cast<int>(state.range(0)));
  const int batch = state.range(0) == 0 ? 2000 : 20;
  using clock = std::chrono::steady_clock;
  auto ours = [&] {
    const clock::time_point start = clock::now();
    for (int i = 0; i < batch; ++i) {
      xml_document_c doc;
      if (!doc.load_bytes(text.data(), text.size())) return -1.0;
      benchmark::DoNotOptimize(doc.root());
    }
    return std::chrono::duration<double, std::micro>(clock::now() - start).count() / batch;
  };
  auto pugixml = [&] {
    const clock::time_point start = clock::now();
    for (int i = 0; i < batch; ++i) {
      pugi::xml_document doc;
      if (!doc.load_buffer(text.data(), text.size())) return -1.0;
      benchmark::DoNotOptimize(doc.first_child());
    }
    return std::chrono::duration<double, std::micro>(clock::now() - start).count() / batch;
  };
  std::vector<double> ours_us, pugixml_us, ratios;
  bool ours_first = true;
  for (auto _ : state) {
    double a = 0;
    double b = 0;
    if (ours_first) {
      a = ours();
      b = pugixml();
    } else {
      b = pugixml();
      a = ours();
    }
    ours_first = !ours_first;
    if (a <= 0 || b <= 0) {
      state.SkipWithError("a load failed");
      return;
    }
    state.SetIterationTime(a / 1e6);
    ours_us.push_back(a);
    pugixml_us.push_back(b);
    ratios.push_back(a / b);
  }
  state.counters["ours_us"] = median_of(ours_us);
  state.counters["pugixml_us"] = median_of(pugixml_us);
  state.counters["ratio_median"] = median_of(ratios);
  state.SetLabel(label(static_cast<int>(state.range(0))));
}
BENCHMARK(BM_pairs_ours_against_pugixml)->Arg(0)->Arg(2)->UseManualTime()->Iterations(60);
#else
// Said once, on standard error, before the table.
const bool k_pugixml_said = [] {
  std::fprintf(stderr, "xml_bench: built without pugixml (libpugixml-dev): its peer benchmarks are skipped\n");
  return true;
}();
#endif

void BM_libxml2_read_bytes(benchmark::State& state) {
  const std::string& text = memory_document(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    xmlDocPtr doc = xmlReadMemory(text.data(), static_cast<int>(text.size()), nullptr, nullptr, XML_PARSE_NONET);
    if (doc == nullptr) state.SkipWithError("libxml2 failed");
    xmlFreeDoc(doc);
  }
  state.SetLabel(label(static_cast<int>(state.range(0))));
}
BENCHMARK(BM_libxml2_read_bytes)->DenseRange(0, 2);

void BM_ours_load_file(benchmark::State& state) {
  const std::string& path = files().path(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    xml_document_c doc;
    if (!doc.load(path.c_str())) state.SkipWithError("load failed");
    benchmark::DoNotOptimize(doc.root());
  }
  state.SetLabel(label(static_cast<int>(state.range(0))));
}
BENCHMARK(BM_ours_load_file)->Arg(0)->Arg(1);

void BM_libxml2_read_file(benchmark::State& state) {
  const std::string& path = files().path(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    xmlDocPtr doc = xmlReadFile(path.c_str(), nullptr, XML_PARSE_NONET);
    if (doc == nullptr) state.SkipWithError("libxml2 failed");
    xmlFreeDoc(doc);
  }
  state.SetLabel(label(static_cast<int>(state.range(0))));
}
BENCHMARK(BM_libxml2_read_file)->Arg(0)->Arg(1);

void BM_ours_load_string(benchmark::State& state) {
  const std::string text = state.range(0) == 0 ? state_document() : large_document();
  for (auto _ : state) {
    xml_document_c doc;
    if (!doc.load_from_str(text.c_str())) state.SkipWithError("load failed");
  }
  state.SetLabel(label(static_cast<int>(state.range(0))));
}
BENCHMARK(BM_ours_load_string)->Arg(0)->Arg(1);

void BM_libxml2_read_memory(benchmark::State& state) {
  const std::string text = state.range(0) == 0 ? state_document() : large_document();
  for (auto _ : state) {
    xmlDocPtr doc = xmlReadMemory(text.data(), static_cast<int>(text.size()), nullptr, nullptr, XML_PARSE_NONET);
    if (doc == nullptr) state.SkipWithError("libxml2 failed");
    xmlFreeDoc(doc);
  }
  state.SetLabel(label(static_cast<int>(state.range(0))));
}
BENCHMARK(BM_libxml2_read_memory)->Arg(0)->Arg(1);

void BM_ours_store(benchmark::State& state) {
  xml_document_c doc;
  doc.load(files().path(static_cast<int>(state.range(0))).c_str());
  for (auto _ : state) {
    utl_stream_c out;
    doc.write_to_stream(nullptr, out, true);
    benchmark::DoNotOptimize(out.c_str());
  }
  state.SetLabel(label(static_cast<int>(state.range(0))));
}
BENCHMARK(BM_ours_store)->Arg(0)->Arg(1);

void BM_libxml2_dump(benchmark::State& state) {
  xmlDocPtr doc = xmlReadFile(files().path(static_cast<int>(state.range(0))).c_str(), nullptr, XML_PARSE_NONET);
  for (auto _ : state) {
    xmlChar* out = nullptr;
    int size = 0;
    xmlDocDumpMemory(doc, &out, &size);
    benchmark::DoNotOptimize(out);
    xmlFree(out);
  }
  xmlFreeDoc(doc);
  state.SetLabel(label(static_cast<int>(state.range(0))));
}
BENCHMARK(BM_libxml2_dump)->Arg(0)->Arg(1);


// Documents of about 1 MB of every shape that once cost time growing with the square of the input:
// one element with 100,000 attributes, a huge comment followed by many tags, many siblings, nesting
// to the depth limit again and again, long text, entities. Loaded from a file into the item tree,
// as the state readers do; each must stay well under 50 ms.
std::string shaped_document(int shape) {
  std::string body;
  switch (shape) {
    case 0: {
      body = "<e";
      for (int i = 0; i < 100000; ++i) body += " a" + std::to_string(i) + "=\"" + std::to_string(i % 10) + "\"";
      body += "/>";
      break;
    }
    case 1:
      body = "<!--" + std::string(900000, 'c') + "-->";
      for (int i = 0; i < 20000; ++i) body += "<e/>";
      break;
    case 2:
      for (int i = 0; i < 80000; ++i) body += "<e i=\"" + std::to_string(i) + "\"/>";
      break;
    case 3:
      for (int round = 0; round < 50; ++round) {
        for (int d = 0; d < 998; ++d) body += "<d>";
        for (int d = 0; d < 998; ++d) body += "</d>";
      }
      break;
    case 4:
      body = "<t>" + std::string(1000000, 't') + "</t>";
      break;
    default:
      body = "<e v=\"";
      for (int i = 0; i < 100000; ++i) body += "&amp;&lt;";
      body += "\"/>";
      break;
  }
  return "<?xml version=\"1.0\"?>\n<r>" + body + "</r>\n";
}

const char* k_shapes[] = {"100000 attributes", "huge comment", "80000 siblings", "deep nesting", "long text", "entities"};

void BM_ours_load_1mb_shape(benchmark::State& state) {
  const int shape = static_cast<int>(state.range(0));
  const std::string path = files().path(0) + ".shape" + std::to_string(shape);
  {
    FILE* f = std::fopen(path.c_str(), "wb");
    const std::string text = shaped_document(shape);
    std::fwrite(text.data(), 1, text.size(), f);
    std::fclose(f);
    state.counters["bytes"] = static_cast<double>(text.size());
  }
  for (auto _ : state) {
    xml_tree_c tree;
    if (!tree.load(path.c_str())) state.SkipWithError("load failed");
    benchmark::DoNotOptimize(tree.root);
  }
  std::remove(path.c_str());
  state.SetLabel(k_shapes[shape]);
}
BENCHMARK(BM_ours_load_1mb_shape)->DenseRange(0, 5)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
