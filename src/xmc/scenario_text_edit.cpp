#include "xmc/scenario_text_edit.h"

#include "platform/thl/thl_locks.h"
#include "xml/xml_doc.h"
#include "xml/xml_source_map.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace {

using element_s = xml_source_map_c::element_s;

struct splice_s {
  uint64_t begin;
  uint64_t end;
  std::string text;
};

const char* text_or_empty(const char* s) { return s == nullptr ? "" : s; }

bool is_space_or_tab(char c) { return c == ' ' || c == '\t'; }
bool is_blank_run(const std::string& s) {
  return std::all_of(s.begin(), s.end(), [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; });
}

class editor_c {
 public:
  editor_c(const std::string& source, const xml_source_map_c& map) : m_source(source), m_map(map) {
    // The file's line end: the first one it has (a file of one line gets a line feed).
    const size_t lf = source.find('\n');
    m_line_end = lf != std::string::npos && lf > 0 && source[lf - 1] == '\r' ? "\r\n" : "\n";
  }

  // The splices that turn element index's text into item's; false, with m_why, when that cannot be done.
  bool diff(const xml_item_c* item, size_t index, std::vector<splice_s>& out) {
    const element_s& e = m_map.elements()[index];
    if (e.name != text_or_empty(item->name())) return _cannot(e, "its element's name changed");
    const std::vector<std::string> names = xml_source_map_c::kept_names(e);
    if (names.size() != item->attr_count()) return _cannot(e, "an attribute was added or removed");
    for (size_t i = 0; i < names.size(); ++i) {
      const labeled_value_c* attribute = item->get_attr(i);
      if (attribute == nullptr || names[i] != text_or_empty(attribute->label())) {
        return _cannot(e, "its attributes changed their names or order");
      }
      const xml_source_map_c::attribute_s* written = m_map.attribute(e, names[i].c_str());
      const char* value = text_or_empty(const_cast<labeled_value_c*>(attribute)->as_string());
      if (written->value != value) out.push_back({written->value_begin, written->value_end, _escape(value)});
    }
    const char* text = item->text();
    const bool has_text = text != nullptr && text[0] != '\0';
    if (has_text != e.has_text || (has_text && e.text != text)) return _cannot(e, "its text changed");
    std::vector<const xml_item_c*> children;
    for (const xml_item_c* c = item->first_item(); c != nullptr; c = c->next_item()) children.push_back(c);
    if (children.size() == e.children.size()) {
      std::vector<splice_s> inner;
      bool same_shape = true;
      for (size_t i = 0; i < children.size() && same_shape; ++i) same_shape = diff(children[i], e.children[i], inner);
      if (same_shape) {
        out.insert(out.end(), inner.begin(), inner.end());
        return true;
      }
    }
    m_why.clear();
    return _rewrite_children(e, children, out);
  }

  const std::string& why() const { return m_why; }

 private:
  const std::string& m_source;
  const xml_source_map_c& m_map;
  std::string m_line_end;
  std::string m_why;
  xml_special_characters_c m_escape;

  bool _cannot(const element_s& e, const char* what) {
    unsigned long line = 0, column = 0;
    m_map.position(e.begin, line, column);
    m_why = "the element <" + e.name + "> at line " + std::to_string(line) + ", column " + std::to_string(column) +
            " cannot be edited in place: " + what;
    return false;
  }

  std::string _escape(const char* value) { return text_or_empty(m_escape.translate_to_xml(value)); }

  // The blanks that stand before offset on its line; empty when anything else does.
  std::string _indent_of(uint64_t offset) const {
    size_t start = static_cast<size_t>(offset);
    while (start > 0 && is_space_or_tab(m_source[start - 1])) --start;
    if (start > 0 && m_source[start - 1] != '\n') return std::string();
    return m_source.substr(start, static_cast<size_t>(offset) - start);
  }

  // The element written anew in the library's form: attributes in order, one child a line.
  std::string _render(const xml_item_c* item, const std::string& indent, const std::string& unit) {
    std::string out = "<" + std::string(text_or_empty(item->name()));
    for (size_t i = 0; i < item->attr_count(); ++i) {
      labeled_value_c* attribute = item->get_attr(i);
      out += " " + std::string(text_or_empty(attribute->label())) + "=\"" + _escape(text_or_empty(attribute->as_string())) + "\"";
    }
    if (item->text() != nullptr && item->text()[0] != '\0') {
      return out + ">" + _escape(item->text()) + "</" + text_or_empty(item->name()) + ">";
    }
    if (item->first_item() == nullptr) return out + "/>";
    out += ">";
    for (const xml_item_c* c = item->first_item(); c != nullptr; c = c->next_item()) {
      out += m_line_end + indent + unit + _render(c, indent + unit, unit);
    }
    return out + m_line_end + indent + "</" + text_or_empty(item->name()) + ">";
  }

  // The child's old bytes with its own changes, when it changed only values; otherwise written anew.
  std::string _child_text(const xml_item_c* child, size_t index, const std::string& indent, const std::string& unit) {
    const element_s& old = m_map.elements()[index];
    std::vector<splice_s> inner;
    if (old.end != xml_source_map_c::k_unknown && diff(child, index, inner)) {
      std::sort(inner.begin(), inner.end(), [](const splice_s& a, const splice_s& b) { return a.begin < b.begin; });
      std::string text;
      uint64_t at = old.begin;
      for (const splice_s& s : inner) {
        text.append(m_source, static_cast<size_t>(at), static_cast<size_t>(s.begin - at));
        text += s.text;
        at = s.end;
      }
      text.append(m_source, static_cast<size_t>(at), static_cast<size_t>(old.end - at));
      return text;
    }
    m_why.clear();
    return _render(child, indent, unit);
  }

  // The element's children (a list field's entries) written anew between its tags.
  bool _rewrite_children(const element_s& e, const std::vector<const xml_item_c*>& children,
                         std::vector<splice_s>& out) {
    if (e.has_text) return _cannot(e, "it holds text");
    if (!e.empty && e.end == xml_source_map_c::k_unknown) return _cannot(e, "the text does not show where it ends");
    for (size_t index : e.children) {
      if (m_map.elements()[index].end == xml_source_map_c::k_unknown) {
        return _cannot(m_map.elements()[index], "the text does not show where it ends");
      }
    }
    const std::string own = _indent_of(e.begin);
    std::string unit = "\t";
    if (e.parent != xml_source_map_c::k_none) {
      const std::string above = _indent_of(m_map.elements()[e.parent].begin);
      if (own.size() > above.size() && own.compare(0, above.size(), above) == 0) unit = own.substr(above.size());
    }
    const std::string inner = e.children.empty() ? own + unit : _indent_of(m_map.elements()[e.children.front()].begin);
    std::string separator = m_line_end + inner;
    if (e.children.size() >= 2) {
      const element_s& first = m_map.elements()[e.children[0]];
      const element_s& second = m_map.elements()[e.children[1]];
      const std::string between = m_source.substr(static_cast<size_t>(first.end), static_cast<size_t>(second.begin - first.end));
      if (is_blank_run(between) && between.find('\n') != std::string::npos) separator = between;
    }
    std::string entries;
    for (size_t i = 0; i < children.size(); ++i) {
      if (i > 0) entries += separator;
      entries += i < e.children.size() ? _child_text(children[i], e.children[i], inner, unit) : _render(children[i], inner, unit);
    }
    if (!e.children.empty()) {
      const element_s& first = m_map.elements()[e.children.front()];
      const element_s& last = m_map.elements()[e.children.back()];
      if (!children.empty()) {
        out.push_back({first.begin, last.end, entries});
      } else {
        // No entries left: the tags stay, with the blanks that stood before the end tag.
        const std::string tail = m_source.substr(static_cast<size_t>(last.end), static_cast<size_t>(e.end_begin - last.end));
        out.push_back({e.start_end, e.end_begin, is_blank_run(tail) ? tail : m_line_end + own});
      }
      return true;
    }
    if (children.empty()) return true;
    if (e.empty) {
      // <list .../> becomes <list ...>, its entries, </list>.
      if (e.start_end < 2 || m_source.compare(static_cast<size_t>(e.start_end - 2), 2, "/>") != 0) {
        return _cannot(e, "its tag does not end in \"/>\"");
      }
      out.push_back({e.start_end - 2, e.start_end, ">" + m_line_end + inner + entries + m_line_end + own + "</" + e.name + ">"});
      return true;
    }
    out.push_back({e.start_end, e.end_begin, m_line_end + inner + entries + m_line_end + own});
    return true;
  }
};

bool same_text(const std::string* a, const char* b) { return a != nullptr && *a == b; }

// The element a scenario load takes as the Scenario: the document's element when it is the
// Scenario object, else the first object so labelled inside it (not inside data items or external
// objects), as the load finds it.
size_t scenario_element(const xml_source_map_c& map, size_t index, bool top) {
  const element_s& e = map.elements()[index];
  auto label = [&](const element_s& x) -> const std::string* {
    const xml_source_map_c::attribute_s* a = map.attribute(x, "label");
    return a == nullptr ? nullptr : &a->value;
  };
  if (top) {
    if (e.name == "object" && same_text(label(e), "Scenario")) return index;
    if (!same_text(label(e), "ConfigDataHolder")) return xml_source_map_c::k_none;
  }
  for (size_t child : e.children) {
    const element_s& c = map.elements()[child];
    if (c.name == "data") continue;
    const bool object = c.name == "object";
    if (object && same_text(label(c), "Scenario")) return child;
    if (object && map.attribute(c, "external") != nullptr) continue;
    const size_t below = scenario_element(map, child, false);
    if (below != xml_source_map_c::k_none) return below;
  }
  return xml_source_map_c::k_none;
}

}  // namespace

bool scenario_text_edit_n::edit(const std::string& source, const xml_item_c* scenario, std::string& out,
                                std::string& why) {
  xml_source_map_c map;
  if (!map.read(source.data(), source.size())) {
    why = "the file's text cannot be read again: " + map.problem().text();
    return false;
  }
  const size_t index = scenario_element(map, 0, true);
  if (scenario == nullptr || index == xml_source_map_c::k_none) {
    why = "the file's text holds no Scenario object where its load found one";
    return false;
  }
  editor_c editor(source, map);
  std::vector<splice_s> splices;
  if (!editor.diff(scenario, index, splices)) {
    why = editor.why();
    return false;
  }
  std::sort(splices.begin(), splices.end(), [](const splice_s& a, const splice_s& b) { return a.begin < b.begin; });
  out.clear();
  uint64_t at = 0;
  for (const splice_s& s : splices) {
    if (s.begin < at || s.end < s.begin || s.end > source.size()) {
      why = "two changes overlap in the file's text";
      return false;
    }
    out.append(source, static_cast<size_t>(at), static_cast<size_t>(s.begin - at));
    out += s.text;
    at = s.end;
  }
  out.append(source, static_cast<size_t>(at), std::string::npos);
  return true;
}

bool scenario_text_edit_n::edited_text(scenario_conf_c& conf, const std::string& source, std::string& out,
                                       std::string& why) {
  utl_stream_c want;
  {
    multi_reader_lock_c lock(conf.scenario_lock());
    if (conf.tree() == nullptr || conf.tree()->root == nullptr) {
      why = "the configuration holds no scenario tree";
      return false;
    }
    if (!edit(source, conf.tree()->root, out, why)) return false;
    conf.tree()->write_to_stream(want, true);
  }
  // What is written must load, and load to exactly the changed configuration (an unchanged text
  // too: a change the edit found nothing to write for is never taken as written).
  scenario_conf_c check;
  utl_stream_c reason;
  if (!check.load_content(out, "the edited text", &reason)) {
    why = std::string("the edited text would not load (") + reason.c_str() + ")";
    return false;
  }
  utl_stream_c got;
  {
    multi_reader_lock_c lock(check.scenario_lock());
    check.tree()->write_to_stream(got, true);
  }
  if (std::strcmp(want.c_str(), got.c_str()) != 0) {
    why = "the edited text would load into another configuration than the one changed";
    return false;
  }
  return true;
}
