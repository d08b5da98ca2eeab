#include "xmc/root_dir.h"

#include "file/path_n.h"
#include "platform/thl/mix.h"
#include "platform/trc/zqtr.h"
#include "utl/utl.h"

#include <cstring>
#include <vector>

namespace {

const char* k_file = "root_dir";

const char* const k_kind_names[3] = {"FileRegExpr", "DirRegExpr", "DirPath"};

bool is_separator(char c) { return c == '/' || c == '\\'; }

// The text in standard directory form; the text itself when it has none (a single character).
std::string standard_form(const char* text) {
  // (An empty path, as every root directory of the template has, has no form to find; and no
  // path buffer on the heap: a large request makes the allocator tidy all its small free blocks.)
  if (text == nullptr || text[0] == '\0') return "";
  char buffer[PATH_BUFFER_SIZE];
  buffer[0] = '\0';
  if (std::strlen(text) < PATH_BUFFER_SIZE && path_n::standard_dir_path(text, buffer, true)) return buffer;
  return text;
}

bool same(const char* a, const char* b) { return a != nullptr && b != nullptr && std::strcmp(a, b) == 0; }

}  // namespace

bool root_dir_c::filter_c::operator==(const filter_c& other) const {
  ZQTR_SCOPE(tr, "root_dir_c::filter_c::operator==", k_file);
  if (kind != other.kind || exclude != other.exclude || count() != other.count()) return false;
  for (size_t i = 0; i < count(); ++i) {
    if (!same(at(i), other.at(i))) return false;
  }
  return true;
}

void root_dir_c::filter_c::assign(const filter_c& other) {
  if (this == &other) return;
  clear();
  kind = other.kind;
  exclude = other.exclude;
  for (size_t i = 0; i < other.count(); ++i) {
    if (other.at(i) != nullptr) add(other.at(i));
  }
}

const char* root_dir_c::filter_c::print(utl_stream_c& out) const {
  out << (exclude ? "Exclude " : "Include ") << (kind < 3 ? k_kind_names[kind] : "");
  if (count() == 0) {
    out << " Filter is Empty";
    return out.c_str();
  }
  out << " Filter: {";
  for (size_t i = 0; i < count(); ++i) out << (i > 0 ? ", " : "") << (at(i) == nullptr ? "" : at(i));
  out << "}";
  return out.c_str();
}

root_dir_c::~root_dir_c() {
  delete[] m_path;
  delete temporary_filter;
}

root_dir_c::filter_c* root_dir_c::filter(uint32_t kind) {
  switch (kind) {
    case FILE_FILTER: return &file_filter;
    case DIR_FILTER: return &dir_filter;
    case PATH_FILTER: return &path_filter;
    default: return nullptr;
  }
}

const root_dir_c::filter_c* root_dir_c::filter(uint32_t kind) const {
  return const_cast<root_dir_c*>(this)->filter(kind);
}

size_t root_dir_c::update_filter_flag() {
  for (const filter_c* f : {static_cast<const filter_c*>(&file_filter), static_cast<const filter_c*>(&dir_filter),
                            static_cast<const filter_c*>(&path_filter), static_cast<const filter_c*>(temporary_filter)}) {
    if (f != nullptr && f->count() > 0) {
      has_filters = true;
      return f->count();
    }
  }
  has_filters = false;
  return 0;
}

void root_dir_c::copy_filters(uint32_t kind, const root_dir_c& other) {
  if (kind == ALL_FILTERS) {
    for (uint32_t k = FILE_FILTER; k <= PATH_FILTER; ++k) copy_filters(k, other);
    return;
  }
  filter_c* mine = filter(kind);
  const filter_c* theirs = other.filter(kind);
  if (mine != nullptr && theirs != nullptr) mine->assign(*theirs);
}

void root_dir_c::set_path(const char* text) {
  delete[] m_path;
  m_path = nullptr;
  m_path_length = 0;
  if (text == nullptr || text[0] == '\0') return;
  const std::string standard = standard_form(text);
  m_path = utl_n::str_copy(standard.c_str());
  m_path_length = standard.size();
}

void root_dir_c::set_given_path(const char* text) {
  if (text == nullptr) return;
  m_given_path << standard_form(text).c_str();
}

void root_dir_c::set_auto_created(bool on) { auto_created = on; }
void root_dir_c::set_match_all_kids_volume(bool on) { match_all_kids_volume = on; }
void root_dir_c::set_id(uint32_t value) { id = value; }

void root_dir_c::set_exclude(uint32_t kind, bool exclude) {
  filter_c* f = filter(kind);
  if (f != nullptr) f->exclude = exclude;
}

bool root_dir_c::relative_part(const char* path, std::string& rest) const {
  rest.clear();
  if (path == nullptr || m_path == nullptr || m_path_length == 0) return false;
  const size_t n = static_cast<size_t>(m_path_length);
  if (std::strlen(path) < n) return false;
  const bool prefix = case_sensitive ? std::strncmp(path, m_path, n) == 0
                                     : utl_n::ascii_compare_nocase(path, m_path, n) == 0;
  if (!prefix) return false;
  const char* after = path + n;
  // The path ends there, or goes on below a separator (its own, or the root's last character).
  if (*after != '\0' && !is_separator(*after) && !is_separator(m_path[n - 1])) return false;
  while (is_separator(*after)) ++after;
  rest = after;
  return true;
}

bool root_dir_c::add_expression(uint32_t kind, const char* text) {
  ZQTR_SCOPE(tr, "root_dir_c::_add_expression", k_file);
  filter_c* f = filter(kind);
  if (text == nullptr || text[0] == '\0') {
    tr.print(ZQTR_FAIL, __LINE__, "Unable to add empty string as filter\n");
    return false;
  }
  if (f == nullptr) return false;
  if (f->find(text) != nullptr) return true;
  bool added = true;
  if (kind == PATH_FILTER) {
    added = _add_rel_path_filt(text);
  } else {
    f->add(text);
  }
  update_filter_flag();
  return added;
}

bool root_dir_c::_add_rel_path_filt(const char* text) {
  ZQTR_SCOPE(tr, "root_dir_c::_add_rel_path_filt", k_file);
  const std::string standard = standard_form(text);
  if (!path_n::is_full_path_name(standard.c_str())) {
    if (path_filter.find(standard.c_str()) == nullptr) path_filter.add(standard.c_str());
    return true;
  }
  if (m_path == nullptr) {
    tr.print(ZQTR_FAIL, __LINE__, "Unable to add DirPath filter \"%s\", Root Path is not set\n", standard.c_str());
    return false;
  }
  std::string rest;
  if (!relative_part(standard.c_str(), rest)) {
    tr.print(ZQTR_FAIL, __LINE__, "Unable to add filter \"%s\", doesn't fit root directory path %s\n", standard.c_str(),
             m_path);
    return false;
  }
  if (rest.empty()) {
    tr.print(ZQTR_FAIL, __LINE__, "Unable to add empty relative path as filter to root directory %s\n", m_path);
    return false;
  }
  if (path_filter.find(rest.c_str()) == nullptr) path_filter.add(rest.c_str());
  return true;
}

bool root_dir_c::remove_expression(uint32_t kind, const char* text) {
  ZQTR_SCOPE(tr, "root_dir_c::_rem_expression", k_file);
  filter_c* f = filter(kind);
  if (f == nullptr || text == nullptr) return false;
  const std::string standard = standard_form(text);
  bool removed = f->erase(standard.c_str()) || f->erase(text);
  if (!removed && kind == PATH_FILTER && path_n::is_full_path_name(standard.c_str()) && m_path != nullptr) {
    std::string rest;
    if (!relative_part(standard.c_str(), rest)) {
      tr.print(ZQTR_FAIL, __LINE__, "Unable to remove filter \"%s\", doesn't fit root_dir_path %s\n", standard.c_str(),
               m_path);
    } else if (rest.empty()) {
      tr.print(ZQTR_FAIL, __LINE__, "Unable to remove empty relative path as filter for root_dir_path %s\n", m_path);
    } else {
      removed = f->erase(rest.c_str());
    }
  }
  update_filter_flag();
  return removed;
}

const char* root_dir_c::print(utl_stream_c& out) const {
  out << "RootDirectory \"" << (m_path == nullptr || m_path[0] == '\0' ? "Undefined" : m_path) << "\", "
      << (auto_created ? "AutoCreated" : "UserDefined") << "\", "
      << (match_all_kids_volume ? "MatchAllKidsVolume" : "NotMatchAllKidsVolume") << "\", ID = "
      << static_cast<unsigned long>(id) << "\n\t";
  file_filter.print(out);
  out << "\n\t";
  dir_filter.print(out);
  out << "\n\t";
  path_filter.print(out);
  out << "\n";
  if (temporary_filter != nullptr) {
    out << "Temporary \t";
    temporary_filter->print(out);
    out << "\n";
  }
  return out.c_str();
}

// ---- bound to a RootDir object

xmc_root_dir_c::xmc_root_dir_c(xmc_item_c* root_dir_item) : m_item(root_dir_item) {
  ZQTR_SCOPE(tr, "xmc_root_dir_c::xmc_root_dir_c", k_file);
  if (m_item == nullptr) return;
  bool seen_filter[3] = {};
  for (xml_item_c* child = m_item->first_item(); child != nullptr; child = child->next_item()) {
    xmc_item_c* typed = xmc_item_c::cast(child);
    if (typed == nullptr) continue;
    if (same(typed->name(), "relevant") || same(typed->name(), "irrelevant")) continue;
    const char* label = xmc_item_c::attr_text(typed, "label");
    if (label == nullptr) {
      tr.print(ZQTR_FAIL, __LINE__, "Unnamed entry is found under %s node \n", "RootDir");
      continue;
    }
    const char* val = xmc_item_c::attr_text(typed, "val");
    auto once = [&](xmc_item_c*& slot) {
      if (slot != nullptr) {
        tr.print(ZQTR_FAIL, __LINE__, "Inconsistent field %s is found under %s node\n", label, "RootDir");
        return false;
      }
      slot = typed;
      return true;
    };
    if (same(label, "Path")) {
      if (once(m_path_item)) {
        root_dir_c::set_path(val);
        root_dir_c::set_given_path(val);
      }
    } else if (same(label, "ID")) {
      if (once(m_id_item)) {
        int64_t n = 0;
        root_dir_c::set_id(val != nullptr && mix_n::parse_formatted_integer_string(val, n) && n >= 0 && n <= 0xFFFFFFFFLL
                               ? static_cast<uint32_t>(n)
                               : 0);
      }
    } else if (same(label, "DBdir")) {
      if (once(m_db_dir_item)) root_dir_c::set_auto_created(val != nullptr && utl_n::ascii_compare_nocase(val, "True") == 0);
    } else if (same(label, "MatchAllKidsVolume")) {
      if (once(m_match_item)) {
        root_dir_c::set_match_all_kids_volume(val != nullptr && utl_n::ascii_compare_nocase(val, "True") == 0);
      }
    } else {
      uint32_t kind = 3;
      for (uint32_t k = 0; k < 3; ++k) {
        if (same(label, k_kind_names[k])) kind = k;
      }
      if (kind == 3 || seen_filter[kind]) {
        tr.print(ZQTR_FAIL, __LINE__, "Inconsistent field %s is found under %s node\n", label, "RootDir");
        continue;
      }
      seen_filter[kind] = true;
      m_filter_items[kind] = typed;
      _set_filter_content(kind, typed);
    }
  }
  for (uint32_t k = 0; k < 3; ++k) {
    if (!seen_filter[k]) tr.print(ZQTR_FAIL, __LINE__, "Empty Filter content xml node is found\n");
  }
  update_filter_flag();
}

void xmc_root_dir_c::_set_filter_content(uint32_t kind, xmc_item_c* object) {
  ZQTR_SCOPE(tr, "xmc_root_dir_c::_set_filter_content", k_file);
  filter_c* f = filter(kind);
  xmc_item_c* exclude = find_data(object, "ExcludeFilter");
  data_content_s found;
  if (exclude != nullptr && _check_data_content(nullptr, exclude, false, found)) {
    f->exclude = same(found.val, mix_n::True);
    m_exclude_items[kind] = exclude;
  } else {
    tr.print(ZQTR_FAIL, __LINE__, "Inconsistent %s xml node is found\n", "ExcludeFilter");
  }
  xmc_item_c* list = find_data(object, "ListFilters");
  if (list == nullptr) {
    tr.print(ZQTR_FAIL, __LINE__, "Inconsistent %s xml node is found\n", "ListFilters");
    return;
  }
  m_list_items[kind] = list;
  for (xml_item_c* entry = list->first_item(); entry != nullptr; entry = entry->next_item()) {
    const char* val = xmc_item_c::attr_text(entry, "val");
    if (val == nullptr) {
      tr.print(ZQTR_FAIL, __LINE__, "Inconsistent element of %s xml node is found\n", "ListFilters");
      continue;
    }
    f->add(val);
  }
}

void xmc_root_dir_c::_set_val(xmc_item_c* item, const char* text) {
  if (item != nullptr) item->set_attr("val", text == nullptr ? "" : text);
}

size_t xmc_root_dir_c::update_filter_flag() {
  const size_t count = root_dir_c::update_filter_flag();
  // Each filter object is switched on exactly when its filter holds entries.
  for (uint32_t k = 0; k < 3; ++k) {
    if (m_filter_items[k] != nullptr) {
      m_filter_items[k]->set_attr("status", filter(k)->count() > 0 ? mix_n::True : mix_n::False);
    }
  }
  return count;
}

void xmc_root_dir_c::_write_entries(uint32_t kind) {
  xmc_item_c* list = m_list_items[kind];
  if (list == nullptr) return;
  list->delete_children();
  const char* type = xmc_item_c::attr_text(list, "val");
  const filter_c* f = filter(kind);
  for (size_t i = 0; i < f->count(); ++i) {
    xmc_item_c* entry = xmc_item_c::add_xmc_child("data", list);
    entry->set_attr("label", "ListFilters");
    entry->set_attr("val", f->at(i));
    entry->set_attr("type", type == nullptr ? "String" : type);
  }
}

void xmc_root_dir_c::copy_filters(uint32_t kind, const root_dir_c& other) {
  for (uint32_t k = FILE_FILTER; k <= PATH_FILTER; ++k) {
    if (kind != ALL_FILTERS && kind != k) continue;
    if (*filter(k) == *other.filter(k)) continue;
    root_dir_c::copy_filters(k, other);
    if (m_exclude_items[k] != nullptr) _set_val(m_exclude_items[k], filter(k)->exclude ? mix_n::True : mix_n::False);
    _write_entries(k);
  }
  update_filter_flag();
}

void xmc_root_dir_c::set_path(const char* text) {
  const std::string standard = text == nullptr || text[0] == '\0' ? std::string() : standard_form(text);
  if (same(path(), standard.c_str())) return;
  root_dir_c::set_path(text);
  _set_val(m_path_item, path() == nullptr ? "" : path());
}

void xmc_root_dir_c::set_auto_created(bool on) {
  root_dir_c::set_auto_created(on);
  _set_val(m_db_dir_item, on ? mix_n::True : mix_n::False);
}

void xmc_root_dir_c::set_match_all_kids_volume(bool on) {
  root_dir_c::set_match_all_kids_volume(on);
  _set_val(m_match_item, on ? mix_n::True : mix_n::False);
}

void xmc_root_dir_c::set_id(uint32_t value) {
  root_dir_c::set_id(value);
  if (m_id_item != nullptr) m_id_item->set_attr("val", std::to_string(value).c_str());
}

void xmc_root_dir_c::set_exclude(uint32_t kind, bool exclude) {
  root_dir_c::set_exclude(kind, exclude);
  if (kind < 3) _set_val(m_exclude_items[kind], exclude ? mix_n::True : mix_n::False);
}

bool xmc_root_dir_c::add_expression(uint32_t kind, const char* text) {
  const size_t before = filter(kind) == nullptr ? 0 : filter(kind)->count();
  if (!root_dir_c::add_expression(kind, text)) return false;
  if (filter(kind)->count() > before && m_list_items[kind] != nullptr) {
    xmc_item_c* entry = xmc_item_c::add_xmc_child("data", m_list_items[kind]);
    const char* type = xmc_item_c::attr_text(m_list_items[kind], "val");
    entry->set_attr("label", "ListFilters");
    entry->set_attr("val", filter(kind)->at(filter(kind)->count() - 1));
    entry->set_attr("type", type == nullptr ? "String" : type);
  }
  update_filter_flag();
  return true;
}

bool xmc_root_dir_c::remove_expression(uint32_t kind, const char* text) {
  if (!root_dir_c::remove_expression(kind, text)) return false;
  _write_entries(kind);
  update_filter_flag();
  return true;
}
