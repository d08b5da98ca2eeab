#include "xml/xml_item.h"

#include "utl/shared_texts.h"
#include "utl/utl.h"

#include <cstdint>
#include <cstring>
#include <vector>

// ---- generic_node_c

generic_node_c::~generic_node_c() { delete_children(); }

void generic_node_c::delete_children() {
  while (last_child != nullptr) {
    generic_node_c* child = last_child;
    last_child = child->prev;
    if (last_child != nullptr) last_child->next = nullptr;
    child->prev = nullptr;
    child->parent = nullptr;
    delete child;
  }
  first_child = nullptr;
}

void generic_node_c::append_child(generic_node_c* child) {
  child->parent = this;
  child->prev = last_child;
  child->next = nullptr;
  if (last_child != nullptr) {
    last_child->next = child;
  } else {
    first_child = child;
  }
  last_child = child;
}

void generic_node_c::unlink() {
  if (prev != nullptr) {
    prev->next = next;
  } else if (parent != nullptr) {
    parent->first_child = next;
  }
  if (next != nullptr) {
    next->prev = prev;
  } else if (parent != nullptr) {
    parent->last_child = prev;
  }
  parent = next = prev = nullptr;
}

size_t generic_node_c::count_children(bool recursive) const {
  size_t n = 0;
  for (const generic_node_c* child = first_child; child != nullptr; child = child->next) {
    ++n;
    if (recursive) n += child->count_children(true);
  }
  return n;
}

namespace {

// Items with this many attributes find them through an index.
constexpr size_t k_indexed_attributes = 32;

uint32_t label_hash(const char* label) {
  uint32_t h = 2166136261u;  // FNV-1a
  for (const unsigned char* p = reinterpret_cast<const unsigned char*>(label); *p != 0; ++p) h = (h ^ *p) * 16777619u;
  return h;
}

}  // namespace

// Open addressing over the positions of the attributes: a slot holds a label's hash and its
// position + 1 (0: empty); at most half the slots are used.
struct xml_item_c::attr_index_s {
  std::vector<std::pair<uint32_t, uint32_t>> slots;
  size_t used = 0;

  // The position of the first attribute with that label, or -1.
  long long find(const array_ct<labeled_value_c>& attributes, const char* label, uint32_t hash) const {
    if (slots.empty()) return -1;
    const size_t mask = slots.size() - 1;
    for (size_t i = hash & mask;; i = (i + 1) & mask) {
      const auto& slot = slots[i];
      if (slot.second == 0) return -1;
      if (slot.first == hash && std::strcmp(attributes.at(slot.second - 1)->label(), label) == 0) return slot.second - 1;
    }
  }
  // Adds the attribute at position unless its label is there already (the first one stays found).
  void add(const array_ct<labeled_value_c>& attributes, size_t position) {
    const char* label = attributes.at(position)->label();
    const uint32_t hash = label_hash(label);
    if (find(attributes, label, hash) >= 0) return;
    if (2 * (used + 1) > slots.size()) {
      std::vector<std::pair<uint32_t, uint32_t>> old;
      old.swap(slots);
      slots.assign(old.empty() ? 64 : old.size() * 2, {0, 0});
      for (const auto& slot : old) {
        if (slot.second != 0) _place(slot);
      }
    }
    _place({hash, static_cast<uint32_t>(position + 1)});
    ++used;
  }
  void _place(std::pair<uint32_t, uint32_t> entry) {
    const size_t mask = slots.size() - 1;
    size_t i = entry.first & mask;
    while (slots[i].second != 0) i = (i + 1) & mask;
    slots[i] = entry;
  }
};

// ---- xml_item_c

namespace {

// Constant-initialised: in place before any object is built at load.
shared_texts_c g_shared_names;

}  // namespace

void xml_item_c::share_names(const char* const* names, size_t count) { g_shared_names.set(names, count); }

const char* const* xml_item_c::shared_names(size_t& count) { return g_shared_names.get(count); }

void xml_item_c::_set_name(const char* name) {
  if (name != nullptr) m_name = g_shared_names.share_or_copy(name, m_name_shared);
}

xml_item_c::xml_item_c(const char* name) { _set_name(name); }

xml_item_c::xml_item_c(const xml_item_c& source, bool deep) : generic_node_c() {
  _set_name(source.m_name);
  for (size_t i = 0; i < source.m_attributes.count(); ++i) add_attr(source.m_attributes.at(i));
  if (!deep) return;
  for (const xml_item_c* child = source.first_item(); child != nullptr; child = child->next_item()) {
    xml_item_c* copy = new xml_item_c(*child, true);
    copy->parent = this;
    copy->prev = last_child;
    if (last_child != nullptr) {
      last_child->next = copy;
    } else {
      first_child = copy;
    }
    last_child = copy;
  }
}

xml_item_c::~xml_item_c() {
  m_attributes.delete_all();
  delete[] m_text;
  if (!m_name_shared) delete[] m_name;
}

void xml_item_c::set_text(const char* text) { utl_n::str_replace(m_text, text); }

size_t xml_item_c::get_name_length() const { return m_name == nullptr ? 0 : std::strlen(m_name); }

size_t xml_item_c::get_text_size(bool with_children) const {
  const size_t name = get_name_length();
  size_t size = name + 2;
  if (m_text != nullptr && m_text[0] != '\0') size += std::strlen(m_text) + 1;
  for (size_t i = 0; i < m_attributes.count(); ++i) {
    const labeled_value_c* attribute = m_attributes.at(i);
    size += (attribute->label() == nullptr ? 0 : std::strlen(attribute->label())) + attribute->get_text_length() + 4;
  }
  size += first_child != nullptr ? name + 3 : 1;
  if (with_children) {
    for (const xml_item_c* child = first_item(); child != nullptr; child = child->next_item()) {
      size += child->get_text_size(true);
    }
  }
  return size;
}

namespace {

bool same_text(const char* a, const char* b) { return std::strcmp(a == nullptr ? "" : a, b == nullptr ? "" : b) == 0; }

}  // namespace

bool xml_item_c::is_equal(const xml_item_c& other) const {
  if (!same_text(m_name, other.m_name) || !same_text(m_text, other.m_text)) return false;
  if (m_attributes.count() != other.m_attributes.count()) return false;
  for (size_t i = 0; i < m_attributes.count(); ++i) {
    if (!labeled_value_c::is_equal(*m_attributes.at(i), *other.m_attributes.at(i))) return false;
  }
  return true;
}

labeled_value_c* xml_item_c::find_attr(const char* label) const {
  if (label == nullptr) return nullptr;
  if (m_attr_index != nullptr) {
    const long long position = m_attr_index->find(m_attributes, label, label_hash(label));
    return position < 0 ? nullptr : m_attributes.at(static_cast<size_t>(position));
  }
  for (size_t i = 0, count = m_attributes.count(); i < count; ++i) {
    labeled_value_c* attribute = m_attributes.at(i);
    const char* own = attribute->label();
    // Labels from the shared table and the literals that name them are often one pointer.
    if (own == label || (own != nullptr && utl_n::same_text(own, label))) return attribute;
  }
  return nullptr;
}

labeled_value_c* xml_item_c::get_attr(size_t index) const {
  return index < m_attributes.count() ? m_attributes.at(index) : nullptr;
}

labeled_value_c* xml_item_c::_attr_for(const char* label, bool& created) {
  labeled_value_c* attribute = find_attr(label);
  created = attribute == nullptr;
  if (created) attribute = _append_attr(new labeled_value_c(label, static_cast<const char*>(nullptr)));
  return attribute;
}

labeled_value_c* xml_item_c::_append_attr(labeled_value_c* attribute) {
  m_attributes.append(attribute);
  const size_t count = m_attributes.count();
  if (m_attr_index != nullptr) {
    m_attr_index->add(m_attributes, count - 1);
  } else if (count >= k_indexed_attributes && count < UINT32_MAX) {
    m_attr_index.reset(new attr_index_s);
    // The first of equal labels is the one found, as the search in order finds it.
    for (size_t i = 0; i < count; ++i) m_attr_index->add(m_attributes, i);
  }
  return attribute;
}

labeled_value_c* xml_item_c::set_attr(const char* label, const char* value) {
  labeled_value_c* attribute = find_attr(label);
  // A new attribute is made with its text (the common case: an item being read).
  if (attribute == nullptr) return _append_attr(new labeled_value_c(label, value));
  attribute->set_text(value);
  return attribute;
}

labeled_value_c* xml_item_c::set_read_attr(const char* label, const char* value, bulk_arena_c* arena) {
  if (arena == nullptr || label == nullptr) return set_attr(label, value);
  labeled_value_c* made = new (*arena) arena_made_ct<labeled_value_c>(label, value, *arena);
  if (_has_label_of(*made)) {
    // A label read twice: the first attribute stays where it is and takes the last value.
    delete made;
    return set_attr(label, value);
  }
  _append_attr(made);
  _read_attr_made(*made);
  return made;
}

bool xml_item_c::_has_label_of(const labeled_value_c& made) const {
  if (m_attr_index != nullptr) return find_attr(made.label()) != nullptr;
  // The labels an item is read with are nearly all entries of the shared table, and such a label
  // is equal to another exactly when it is the same pointer: no text is compared for them.
  const bool shared = made.label_shared();
  for (size_t i = 0, count = m_attributes.count(); i < count; ++i) {
    const labeled_value_c* attribute = m_attributes.at(i);
    if (attribute->label_shared() != shared) continue;
    if (shared ? attribute->label() == made.label() : utl_n::same_text(attribute->label(), made.label())) return true;
  }
  return false;
}

void xml_item_c::reserve_read_attrs(size_t count, bulk_arena_c* arena) {
  if (arena == nullptr || count == 0 || count > SIZE_MAX / sizeof(labeled_value_c*) || m_attributes.capacity() != 0) {
    return;
  }
  void* room = arena->allocate(count * sizeof(labeled_value_c*));
  m_attributes.use_lent_room(static_cast<labeled_value_c**>(room), count);
}

template <class N>
labeled_value_c* xml_item_c::_set_signed(const char* label, N value) {
  bool created = false;
  labeled_value_c* attribute = _attr_for(label, created);
  attribute->set_signed(static_cast<int64_t>(value));
  return attribute;
}

template <class N>
labeled_value_c* xml_item_c::_set_unsigned(const char* label, N value) {
  bool created = false;
  labeled_value_c* attribute = _attr_for(label, created);
  attribute->set_unsigned(static_cast<uint64_t>(value));
  return attribute;
}

labeled_value_c* xml_item_c::set_attr(const char* label, unsigned long long value) { return _set_unsigned(label, value); }
labeled_value_c* xml_item_c::set_attr(const char* label, long long value) { return _set_signed(label, value); }
labeled_value_c* xml_item_c::set_attr(const char* label, unsigned int value) { return _set_unsigned(label, value); }
labeled_value_c* xml_item_c::set_attr(const char* label, int value) { return _set_signed(label, value); }
labeled_value_c* xml_item_c::set_attr(const char* label, unsigned long value) { return _set_unsigned(label, value); }
labeled_value_c* xml_item_c::set_attr(const char* label, long value) { return _set_signed(label, value); }
labeled_value_c* xml_item_c::set_attr(const char* label, unsigned short value) { return _set_unsigned(label, value); }
labeled_value_c* xml_item_c::set_attr(const char* label, short value) { return _set_signed(label, value); }
labeled_value_c* xml_item_c::set_attr(const char* label, char value) { return _set_signed(label, value); }

labeled_value_c* xml_item_c::set_attr(const char* label, bool value) {
  bool created = false;
  labeled_value_c* attribute = _attr_for(label, created);
  attribute->set_bool(value);
  return attribute;
}

labeled_value_c* xml_item_c::add_attr(const labeled_value_c* attribute) {
  if (attribute == nullptr) return nullptr;
  labeled_value_c* existing = find_attr(attribute->label());
  if (existing != nullptr) {
    // Text, number, type and error flag; the label is the same text and stays where it is (the
    // index refers to it).
    existing->value_c::operator=(*attribute);
    return existing;
  }
  return _append_attr(new labeled_value_c(*attribute));
}

bool xml_item_c::has_attr(const labeled_value_c* attribute) const {
  if (attribute == nullptr || m_attributes.count() == 0) return false;
  for (size_t i = 0; i < m_attributes.count(); ++i) {
    if (labeled_value_c::is_equal(*m_attributes.at(i), *attribute)) return true;
  }
  return false;
}

const char* xml_item_c::get_path(utl_stream_c& out) const {
  // Top-most ancestor first.
  std::vector<const xml_item_c*> chain;
  for (const xml_item_c* item = this; item != nullptr; item = item->parent_item()) chain.push_back(item);
  for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
    const xml_item_c* item = *it;
    if (item->m_attributes.count() > 0) {
      out << item->m_attributes.at(0)->as_string();
    } else if (item->m_name != nullptr) {
      out << item->m_name;
    }
    out << ".";
  }
  out.remove_tail(".");
  return out.c_str();
}

const char* xml_item_c::write_start_tag(utl_stream_c& out) const {
  out << "<" << (m_name == nullptr ? "" : m_name) << " ";
  for (size_t i = 0; i < m_attributes.count(); ++i) {
    labeled_value_c* attribute = m_attributes.at(i);
    out << (attribute->label() == nullptr ? "" : attribute->label()) << "=\"" << attribute->as_string() << "\" ";
  }
  if (first_child == nullptr) out << "/";
  out << ">";
  return out.c_str();
}

xml_item_c* xml_item_c::add_child(const char* name, xml_item_c* parent) {
  xml_item_c* item = new xml_item_c(name);
  if (parent == nullptr) return item;
  item->parent = parent;
  item->prev = parent->last_child;
  if (parent->last_child != nullptr) {
    parent->last_child->next = item;
  } else {
    parent->first_child = item;
  }
  parent->last_child = item;
  return item;
}

// ---- xml_attr_c, xml_attr_list_c

namespace {

// Copies s into the buffer when it fits, else into a new rounded allocation (a lent buffer is
// left to its owner). s may be the field's own text or a tail of it: moved, not copied, then.
void assign_string(char*& field, bool& lent, const char* s) {
  if (s == field) return;
  const size_t length = std::strlen(s);
  if (field != nullptr && length <= std::strlen(field)) {
    std::memmove(field, s, length + 1);
    return;
  }
  char* copy = utl_n::str_copy(s, true);
  if (!lent) delete[] field;
  field = copy;
  lent = false;
}

}  // namespace

xml_attr_c::~xml_attr_c() {
  _free_name();
  _free_value();
}

void xml_attr_c::_free_name() {
  if (!m_name_lent) delete[] m_name;
  m_name = nullptr;
  m_name_lent = false;
}

void xml_attr_c::_free_value() {
  if (!m_value_lent) delete[] m_value;
  m_value = nullptr;
  m_value_lent = false;
}

void xml_attr_c::set_name(const char* s) {
  if (s == nullptr) {
    _free_name();
    _free_value();
    return;
  }
  assign_string(m_name, m_name_lent, s);
}

void xml_attr_c::set_value(const char* s) {
  if (s == nullptr) {
    _free_value();
    return;
  }
  assign_string(m_value, m_value_lent, s);
}

bool xml_attr_list_c::owns_nothing() const {
  if (!m_in_space || !in_arena(this)) return false;
  // The elements of a list made in a space are made in its arena (the list makes them there).
  for (const ptr_list_element_c* e = m_list->first_element(); e != nullptr; e = e->next) {
    if (!static_cast<const xml_attr_c*>(e->data)->owns_nothing()) return false;
  }
  return true;
}

xml_attr_list_c::~xml_attr_list_c() { xml_attr_list_c::delete_all(); }

void xml_attr_list_c::clear() {
  m_list->lock();
  for (xml_attr_c* attribute = first(); attribute != nullptr; attribute = first()) {
    m_list->remove_current();
    delete attribute;
  }
  m_list->unlock();
}

void xml_attr_list_c::delete_all() {
  // The attributes go one by one, then their elements all at once (none is unlinked on its own).
  for (ptr_list_element_c* e = m_list->first_element(); e != nullptr; e = e->next) {
    delete static_cast<xml_attr_c*>(e->data);
  }
  m_list->clear();
}

// ---- xml_node_c

xml_node_c::xml_node_c(const char* name) { set_name(name); }

xml_node_c::xml_node_c(const char* name, size_t length, xml_parse_space_c& space) : m_space(&space) {
  char* lent = name == nullptr ? nullptr : space.arena.copy(name, length);
  lend_name(lent);
  m_lent_name = lent;
}

xml_node_c::xml_node_c(char* lent_name, xml_parse_space_c& space) : m_space(&space), m_lent_name(lent_name) {
  lend_name(lent_name);
}

bool xml_node_c::owns_nothing() const {
  // A name set anew is another pointer than the one lent (the arena's memory is never handed out
  // twice while the node lives); a text with memory took it from the heap.
  return m_space != nullptr && in_arena(this) && name == m_lent_name && !text.has_allocation() &&
         (attributes == nullptr || attributes->owns_nothing());
}

xml_node_c::~xml_node_c() { delete attributes; }

void xml_node_c::assign(const xml_node_c& source) {
  // A node given itself stays as it is (its attributes would go before they were read).
  if (&source == this) return;
  set_name(source.name);
  closed = source.closed;
  kind = source.kind;
  if (kind == TEXT_ELEMENT) text << '\x01' << source.text;
  delete attributes;
  attributes = nullptr;
  if (source.attributes == nullptr) return;
  attributes = new xml_attr_list_c;
  for (xml_attr_c* attribute = source.attributes->first(); attribute != nullptr;
       attribute = source.attributes->next()) {
    xml_attr_c* copy = new xml_attr_c;
    copy->set_name(attribute->name());
    copy->set_value(attribute->value());
    attributes->append(copy);
  }
}

void xml_node_c::write_line_end(utl_stream_c& out) const { out << "\n"; }

void xml_node_c::add_read_attr(const char* name, const char* value) {
  add_read_attr(name, name == nullptr ? 0 : std::strlen(name), value, value == nullptr ? 0 : std::strlen(value));
}

void xml_node_c::add_read_attr(const char* name, size_t name_length, const char* value, size_t value_length) {
  if (m_space == nullptr) {
    add_attr(name, value);
    return;
  }
  if (attributes == nullptr) attributes = new (m_space->arena) xml_attr_list_c(*m_space);
  if (name == nullptr) return;
  bulk_arena_c& arena = m_space->arena;
  char* lent_value = value == nullptr ? nullptr : arena.copy(value, value_length);
  attributes->append(new (arena) xml_attr_c(arena.copy(name, name_length), lent_value));
}

void xml_node_c::_add_first_lent_attr(char* name, char* value) {
  if (m_space == nullptr) {
    add_attr(name, value);
    return;
  }
  if (attributes == nullptr) attributes = new (m_space->arena) xml_attr_list_c(*m_space);
  add_lent_attr(name, value);
}

void xml_node_c::add_attr(const char* name, const char* value) {
  if (m_space != nullptr) {
    // One arena serves every node of the document: edits of two nodes at once take from it in turn.
    thl_lock_c hold(m_space->attribute_lock);
    add_read_attr(name, value);
    return;
  }
  if (attributes == nullptr) attributes = new xml_attr_list_c;
  if (name == nullptr) return;
  xml_attr_c* attribute = new xml_attr_c;
  attribute->set_name(name);
  attribute->set_value(value);
  attributes->list()->lock();
  attributes->append(attribute);
  attributes->list()->unlock();
}
