// Loads arbitrary bytes as XML, from a string and from a file, and checks that what a load accepted
// is written back in a form that loads again to the same text, that a typed tree built while
// reading is the one converted from the whole parse tree, and that the reader's one-pass reads of
// names and attributes give what its token reads give.
#include "xml/xml_doc.h"
#include "xml/xml_reader.h"
#include "xml/xml_tree.h"
#include "xmc/xmc_item.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <unistd.h>

namespace {

// A file of our own in the working directory (the build tree when run from CI).
const std::string& scratch_file() {
  static const std::string path = "xml_load_fuzzer." + std::to_string(::getpid()) + ".xml";
  return path;
}

bool write_file(const std::string& path, const std::string& text) {
  FILE* f = std::fopen(path.c_str(), "wb");
  if (f == nullptr) return false;
  bool ok = std::fwrite(text.data(), 1, text.size(), f) == text.size();
  return std::fclose(f) == 0 && ok;
}

// An element with text and children is written as the text element followed by the children, which
// a load then reads as the text element alone (after its text exactly one more tag is read): such a
// document has no written form that loads back to itself.
bool text_with_children(const xml_node_c* node) {
  for (; node != nullptr; node = node->next_node()) {
    if (node->kind == xml_node_c::TEXT_ELEMENT && node->first_child != nullptr) return true;
    if (text_with_children(node->first_node())) return true;
  }
  return false;
}

// A tree loaded directly (items built as the elements are read) against the same text's parse
// tree converted afterwards: the same result and the same items.
// Both kinds of tree: plain items, and configuration items whose external objects keep their
// content as plain items.
// A text is read where it stands: it is given in a block of exactly its length and its zero byte,
// so that a read past its end is reported.
template <class tree_t>
void check_streamed(bool from_file, const std::string& source) {
  const std::unique_ptr<char[]> text(new char[source.size() + 1]);
  std::memcpy(text.get(), source.c_str(), source.size() + 1);
  xml_document_c doc;
  const bool parsed = from_file ? doc.load(text.get()) : doc.load_from_str(text.get());
  tree_t converted, streamed;
  if (parsed) converted.from_document(doc);
  const bool loaded = from_file ? streamed.load(text.get()) : streamed.load_from_str(text.get());
  if (parsed != loaded || !streamed.is_equal(converted)) {
    std::fprintf(stderr, "a streamed load differs from the converted parse tree (%s)\n", from_file ? "file" : "text");
    std::abort();
  }
}

std::string written(xml_document_c& doc) {
  utl_stream_c out;
  doc.write_to_stream(nullptr, out, true);
  return out.c_str();
}

// The reader's one-pass reads of names and attributes against its token reads: the same result,
// the same refusal in the same place, and the same written form. The bytes are the fuzzer's own
// block of exactly their length, so that a read past their end is reported.
void check_one_pass(const uint8_t* data, size_t length) {
  xml_document_c one_pass, by_tokens;
  const char* bytes = reinterpret_cast<const char*>(data);
  const bool read = one_pass.load_bytes(bytes, length);
  xml_base_reader_c::set_one_pass_reads(false);
  const bool read_by_tokens = by_tokens.load_bytes(bytes, length);
  xml_base_reader_c::set_one_pass_reads(true);
  if (read != read_by_tokens || one_pass.load_problem().text() != by_tokens.load_problem().text() ||
      written(one_pass) != written(by_tokens)) {
    std::fprintf(stderr, "the one-pass reads differ from the token reads\n");
    std::abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);

  check_one_pass(data, size);
  check_streamed<xml_tree_c>(false, text);
  check_streamed<mixed_xmc_xml_tree_c>(false, text);

  if (!write_file(scratch_file(), text)) return 0;
  check_streamed<xml_tree_c>(true, scratch_file());
  check_streamed<mixed_xmc_xml_tree_c>(true, scratch_file());
  xml_document_c doc;
  if (!doc.load(scratch_file().c_str())) return 0;
  const std::string first = written(doc);
  if (doc.root() == nullptr || text_with_children(doc.root())) return 0;
  // What was accepted and written loads again, and writes the same text.
  if (!write_file(scratch_file(), first)) return 0;
  xml_document_c again;
  if (!again.load(scratch_file().c_str())) {
    std::fprintf(stderr, "written form does not load again:\n%s\n", first.c_str());
    std::abort();
  }
  if (written(again) != first) {
    std::fprintf(stderr, "written form changed on reload:\n%s\n---\n%s\n", first.c_str(), written(again).c_str());
    std::abort();
  }
  xml_tree_c tree;
  if (tree.load(scratch_file().c_str())) {
    utl_stream_c out;
    tree.write_to_stream(out, true);
  }
  return 0;
}
