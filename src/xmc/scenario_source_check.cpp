#include "xmc/scenario_source_check.h"

#include "utl/utl.h"
#include "xml/xml_source_map.h"

#include <cstring>

namespace {

using element_s = xml_source_map_c::element_s;

// The dotted labels from below the document's element down to the element (its name where it has
// no label), as a finding's path names a field.
std::string path_of(const xml_source_map_c& map, size_t index) {
  std::string path;
  for (size_t i = index; i != xml_source_map_c::k_none && map.elements()[i].parent != xml_source_map_c::k_none;
       i = map.elements()[i].parent) {
    const element_s& e = map.elements()[i];
    const xml_source_map_c::attribute_s* label = map.attribute(e, "label");
    path = (label != nullptr ? label->value : e.name) + (path.empty() ? "" : "." + path);
  }
  return path.empty() ? map.elements()[index].name : path;
}

std::string place(const xml_source_map_c& map, uint64_t offset) {
  unsigned long line = 0, column = 0;
  map.position(offset, line, column);
  return "line " + std::to_string(line) + ", column " + std::to_string(column) + ": ";
}

// The first reference at or after from in [from, end) that another XML reader reads otherwise
// than this one: one the reader keeps as written (&apos;, &#38;: a character elsewhere) or one it
// reads in another letter case (&AMP;: an unknown entity elsewhere, which refuses the file); end
// when none. kept tells which.
uint64_t foreign_reference(const std::string& source, uint64_t from, uint64_t end, size_t& length, bool& kept) {
  static const char* const read[] = {"quot", "amp", "lt", "gt"};
  for (uint64_t i = from; i < end; ++i) {
    if (source[i] != '&') continue;
    uint64_t semicolon = i + 1;
    while (semicolon < end && semicolon <= i + 8 && source[semicolon] != ';') ++semicolon;
    if (semicolon >= end || source[semicolon] != ';' || semicolon == i + 1) continue;
    const size_t name_length = static_cast<size_t>(semicolon - i - 1);
    bool known = false, exact = false;
    for (const char* name : read) {
      if (std::strlen(name) != name_length) continue;
      known = known || utl_n::ascii_compare_nocase(name, source.data() + i + 1, name_length) == 0;
      exact = exact || source.compare(static_cast<size_t>(i + 1), name_length, name) == 0;
    }
    const bool reference =
        source[i + 1] == '#' || (name_length == 4 && utl_n::ascii_compare_nocase("apos", source.data() + i + 1, 4) == 0);
    if ((!known && reference) || (known && !exact)) {
      length = name_length + 2;
      kept = !known;
      return i;
    }
  }
  return end;
}

}  // namespace

bool scenario_source_check_n::check(const std::string& source, xmc_validity_c& findings) {
  xml_source_map_c map;
  if (!map.read(source.data(), source.size())) {
    findings.add(0, ch_data_s::k_no_entry, k_code, "", "", map.problem().text().c_str());
    return false;
  }
  bool clean = true;
  for (size_t index = 0; index < map.elements().size(); ++index) {
    const element_s& e = map.elements()[index];
    for (size_t i = 0; i < e.attributes.size(); ++i) {
      const xml_source_map_c::attribute_s& a = e.attributes[i];
      for (size_t k = 0; k < i; ++k) {
        if (e.attributes[k].name != a.name) continue;
        const std::string text = place(map, a.name_begin) + "the attribute " + a.name + " is written again (\"" +
                                 e.attributes[k].value + "\", then \"" + a.value + "\"); the load keeps the last";
        findings.add(0, ch_data_s::k_no_entry, k_code, path_of(map, index).c_str(), a.name.c_str(), text.c_str());
        clean = false;
        break;
      }
      size_t length = 0;
      bool kept = false;
      for (uint64_t at = foreign_reference(source, a.value_begin, a.value_end, length, kept); at < a.value_end;
           at = foreign_reference(source, at + length, a.value_end, length, kept)) {
        const std::string reference = source.substr(static_cast<size_t>(at), length);
        const std::string text =
            place(map, at) + "the reference " + reference + " in " + a.name +
            (kept ? " is read as written here, but as a character by other XML readers"
                  : " is read as a character here, but other XML readers know no such entity and refuse the file");
        findings.add(0, ch_data_s::k_no_entry, k_code, path_of(map, index).c_str(), a.name.c_str(), text.c_str());
        clean = false;
      }
    }
  }
  return clean;
}
