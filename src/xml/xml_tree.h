// An item tree that carries an XML declaration, converts to and from a document, loads and saves
// XML text, and searches its items by element name and attribute.
#ifndef STATS_MNG_XML_XML_TREE_H
#define STATS_MNG_XML_XML_TREE_H

#include "file/file.h"
#include "platform/trc/zqtr.h"
#include "utl/array.h"
#include "utl/utl.h"
#include "xml/xml_doc.h"
#include "xml/xml_item.h"

#include <cstdint>
#include <cstring>
#include <type_traits>
#include <vector>

// The walks go through every item as an xml_item_c: a tree of a subclass may hold plain items
// (the content of external objects in a configuration tree). Searches only ever find items of
// class T; the plain items are converted, measured and compared like the others.
template <class T>
class xml_tree_ct : public generic_tree_ct<T> {
 public:
  xml_tree_ct() = default;
  ~xml_tree_ct() override {
    delete[] m_version;
    delete[] m_encoding;
    delete[] m_style_sheet;
  }

  virtual bool is_matching(T* item, string_array_c* names, string_array_c* attr_names) {
    if (item == nullptr) return false;
    const bool name_ok = names == nullptr || _in(names, item->name());
    if (attr_names == nullptr) return name_ok;
    if (!name_ok || item->attr_count() == 0) return false;
    for (size_t i = 0; i < attr_names->count(); ++i) {
      const char* label = attr_names->at(i);
      if (label != nullptr && item->find_attr(label) != nullptr) return true;
    }
    return false;
  }

  virtual void to_document(xml_document_c& doc) {
    if (doc.version() == nullptr) doc.set_version(m_version == nullptr || m_version[0] == '\0' ? "1.0" : m_version);
    if (doc.encoding() == nullptr) doc.set_encoding(m_encoding);
    if (doc.style_sheet() == nullptr && m_style_sheet != nullptr && m_style_sheet[0] != '\0') {
      doc.set_style_sheet(m_style_sheet);
    }
    if (this->root != nullptr) doc.add_node(to_xml_node(this->root), nullptr);
  }

  virtual void from_document(xml_document_c& doc) {
    if (doc.root() == nullptr) return;
    _take_root(doc, from_xml_node(doc.root()));
  }

  virtual T* from_xml_node(xml_node_c* node) {
    T* item = _item_of(node);
    if (_keeps_content_plain(item)) {
      _plain_children(node, item);
      return item;
    }
    for (xml_node_c* child = node->first_node(); child != nullptr; child = child->next_node()) {
      T* converted = from_xml_node(child);
      if (!this->attach(converted, item, true)) this->delete_node(converted);
    }
    return item;
  }

  virtual xml_node_c* to_xml_node(T* item) { return _to_xml_node(item); }

  virtual bool is_equal(const xml_tree_ct<T>& other) const {
    if (!_same(m_version, other.m_version) || !_same(m_encoding, other.m_encoding) ||
        !_same(m_style_sheet, other.m_style_sheet)) {
      return false;
    }
    // Equal trees have equal shapes: each pair of items in document order stands at the same depth.
    const xml_item_c* a = this->root;
    const xml_item_c* b = other.root;
    size_t depth_a = 0, depth_b = 0;
    while (a != nullptr && b != nullptr) {
      if (depth_a != depth_b || !a->is_equal(*b)) return false;
      a = _following(a, this->root, depth_a);
      b = _following(b, other.root, depth_b);
    }
    return a == nullptr && b == nullptr;
  }

  // A load builds the items as the reader reads the elements (what from_document would make of
  // the whole parse tree, without the parse tree in memory); a failed load leaves the tree as it was.
  virtual bool load_from_str(const char* text) {
    return _load_streamed(
        [text](xml_document_c& doc, item_builder_c& builder) { return doc.load_from_str(text, &builder); });
  }

  // load_from_str of a buffer's text that the reader takes over (the buffer is left empty).
  bool load_from_taken_text(utl_stream_c& text) {
    return _load_streamed(
        [&text](xml_document_c& doc, item_builder_c& builder) { return doc.load_from_taken_text(text, &builder); });
  }

  virtual bool load(const char* path) {
    return _load_streamed([path](xml_document_c& doc, item_builder_c& builder) { return doc.load(path, &builder); });
  }

  virtual void write_to_stream(utl_stream_c& out, bool with_declaration) {
    xml_document_c doc;
    to_document(doc);
    out._add_memory(get_text_size());
    xml_node_c* root = doc.root();
    if (root == nullptr) return;
    if (with_declaration) doc.write_declaration(out);
    doc.write_start(root, out);
    for (xml_node_c* child = root->first_node(); child != nullptr; child = child->next_node()) {
      doc.write_to_stream(child, out, false);
    }
    if (root->first_child != nullptr) doc.write_end(root, out);
  }

  // True only when the whole document was written.
  virtual bool save_to_file(const char* path) {
    ZQTR_SCOPE(tr, "xml_tree_ct<T>::save_to_file", "common2/xml_wrapper/xml_tree_templ");
    FILE_c file;
    if (!file.open(path, "w", nullptr, 0)) {
      tr.print(ZQTR_FAIL, __LINE__, "Unable to open file %s \n", path);
      return false;
    }
    xml_document_c doc;
    to_document(doc);
    const bool stored = doc.store(&file);
    const bool closed = file.close();
    return stored && closed;
  }

  virtual size_t get_text_size() {
    size_t size = (m_version != nullptr ? std::strlen(m_version) + 16 : 5) +
                  (m_encoding != nullptr ? std::strlen(m_encoding) + 12 : 0) + 3;
    size_t depth = 0;
    for (const xml_item_c* item = this->root; item != nullptr; item = _following(item, this->root, depth)) {
      size += depth + item->get_text_size(false) + 1;
      if (item->first_child != nullptr) size += depth + 1;
    }
    return size;
  }

  virtual void find_all(T* start, array_ct<T>* found, string_array_c* names, string_array_c* attr_names,
                        bool recursive) {
    if (start == nullptr) start = this->root;
    if (start == nullptr || found == nullptr) return;
    if (is_matching(start, names, attr_names)) found->append(start);
    _find_all_children(start, found, names, attr_names, recursive);
  }

  virtual T* find_first_by_name(T* start, const char* name, bool recursive) {
    if (name == nullptr) return nullptr;
    string_array_c names;
    names.add(name);
    return find_first(start, &names, nullptr, recursive);
  }

  virtual T* find_first(T* start, string_array_c* names, string_array_c* attr_names, bool recursive) {
    if (start == nullptr) start = this->root;
    if (start == nullptr) return nullptr;
    if (is_matching(start, names, attr_names)) return start;
    return _find_first_below(start, names, attr_names, recursive);
  }

  virtual T* find_first_with_attr(T* start, string_array_c* names, const labeled_value_c* attr, bool recursive) {
    if (start == nullptr) start = this->root;
    if (start == nullptr) return nullptr;
    if ((names == nullptr || _in(names, start->name())) && start->has_attr(attr)) return start;
    return _find_with_attr_below(start, names, attr, recursive);
  }

  const char* version() const { return m_version; }
  const char* encoding() const { return m_encoding; }
  const char* style_sheet() const { return m_style_sheet; }
  void set_version(const char* s) { utl_n::str_replace(m_version, s); }
  void set_encoding(const char* s) { utl_n::str_replace(m_encoding, s); }
  void set_style_sheet(const char* s) { utl_n::str_replace(m_style_sheet, s); }

 protected:
  // True in a class whose documents replace the tree's root rather than being refused by it.
  virtual bool _replaces_root() const { return false; }
  // True when the content of item (read from a document) stays plain XML items rather than T.
  virtual bool _keeps_content_plain(T* /*item*/) const { return false; }

  // Where the attributes handed over as views are made while a document is read: null (the heap)
  // unless a class keeps an arena for them that outlives its items.
  virtual bulk_arena_c* _read_attribute_arena() const { return nullptr; }
  // A new item of class T for an element read (a class may make it in such an arena too).
  virtual T* _new_read_item(const char* name) { return new T(name); }

  // The item of one element: its name, its attributes in order (those handed over as views first)
  // and its text; no children.
  T* _item_of(xml_node_c* node, const xml_element_sink_c::attribute_view_s* attributes = nullptr, size_t count = 0) {
    T* item = _new_read_item(node->name);
    _take_views(attributes, count, item, _read_attribute_arena());
    _take_content(node, item);
    return item;
  }
  static void _take_content(xml_node_c* node, xml_item_c* item) {
    if (node->attributes != nullptr) {
      for (xml_attr_c* a = node->attributes->first(); a != nullptr; a = node->attributes->next()) {
        item->set_attr(a->name(), a->value());
      }
    }
    if (node->text.length() > 0) item->set_text(node->text.c_str());
  }
  static void _take_views(const xml_element_sink_c::attribute_view_s* attributes, size_t count, xml_item_c* item,
                          bulk_arena_c* arena) {
    item->reserve_read_attrs(count, arena);
    for (size_t i = 0; i < count; ++i) item->set_read_attr(attributes[i].name, attributes[i].value, arena);
  }
  static void _plain_children(xml_node_c* node, xml_item_c* parent) {
    for (xml_node_c* child = node->first_node(); child != nullptr; child = child->next_node()) {
      xml_item_c* plain = xml_item_c::add_child(child->name, parent);
      _take_content(child, plain);
      _plain_children(child, plain);
    }
  }

  class item_builder_c;
  // Reads a document with read(doc, builder) into items; the root they make becomes the tree's.
  template <class read_f>
  bool _load_streamed(read_f read) {
    xml_document_c doc;
    item_builder_c builder(*this);
    if (!read(doc, builder)) return false;
    if (T* made = builder.take_root()) _take_root(doc, made);
    return true;
  }

  // A root read from doc becomes the tree's, with the document's declaration values.
  void _take_root(xml_document_c& doc, T* item) {
    // A tree that has a root already cannot take another (the converted items are not kept),
    // unless its class lets a document replace the root.
    if (this->root != nullptr && _replaces_root()) this->clear();
    if (!this->attach(item, nullptr, true)) this->delete_node(item);
    if (doc.version() != nullptr) utl_n::str_replace(m_version, doc.version());
    if (doc.style_sheet() != nullptr) utl_n::str_replace(m_style_sheet, doc.style_sheet());
    if (doc.encoding() != nullptr) utl_n::str_replace(m_encoding, doc.encoding());
  }

  // Makes the items of a document's elements as a reader hands them over: each element's item as
  // from_xml_node makes it, linked as its parent's last child; below an item whose content stays
  // plain, plain items. Deletes what it built unless the root is taken.
  class item_builder_c : public xml_element_sink_c {
   public:
    explicit item_builder_c(xml_tree_ct& tree) : m_tree(tree) {}
    ~item_builder_c() override {
      if (m_root != nullptr) m_tree.delete_node(m_root);
    }
    item_builder_c(const item_builder_c&) = delete;
    item_builder_c& operator=(const item_builder_c&) = delete;

    void element_started(xml_node_c* element) override { element_started_with(element, nullptr, 0); }
    bool takes_attribute_views() const override { return true; }
    void element_started_with(xml_node_c* element, const xml_element_sink_c::attribute_view_s* attributes,
                              size_t count) override {
      xml_item_c* parent = m_open.empty() ? nullptr : m_open.back();
      xml_item_c* item = nullptr;
      if (m_open.size() >= m_plain_from) {
        item = xml_item_c::add_child(element->name, parent);
        _take_views(attributes, count, item, m_tree._read_attribute_arena());
        _take_content(element, item);
      } else {
        T* typed = m_tree._item_of(element, attributes, count);
        if (parent == nullptr) {
          m_root = typed;
        } else {
          // A new item under the item just made: as attach would link it, without attach's walk
          // up the ancestors (nothing new can close a cycle; the walk would make a deep document
          // cost the square of its depth).
          parent->append_child(typed);
        }
        if (m_tree._keeps_content_plain(typed)) m_plain_from = m_open.size() + 1;
        item = typed;
      }
      m_open.push_back(item);
    }
    void element_ended() override {
      if (m_open.empty()) return;
      m_open.pop_back();
      if (m_open.size() + 1 == m_plain_from) m_plain_from = SIZE_MAX;
    }
    // The root item made, now the caller's (null when there is none).
    T* take_root() {
      T* taken = m_root;
      m_root = nullptr;
      return taken;
    }

   private:
    T* m_root = nullptr;
    xml_tree_ct& m_tree;
    // The items of the elements started and not yet ended, outermost first.
    std::vector<xml_item_c*> m_open;
    // From this depth of m_open on, items are plain.
    size_t m_plain_from = SIZE_MAX;
  };

  // The item as a T, or null for an item of another class.
  static T* _typed(generic_node_c* node) {
    if constexpr (std::is_same<T, xml_item_c>::value) {
      return static_cast<T*>(node);
    } else {
      return dynamic_cast<T*>(static_cast<xml_item_c*>(node));
    }
  }

  // An element node for any item of the tree: a T through the (overridable) to_xml_node, any
  // other item converted as a plain one.
  xml_node_c* _to_xml_node(xml_item_c* item) {
    xml_node_c* node = new xml_node_c(item->name() == nullptr ? "" : item->name());
    for (size_t i = 0; i < item->attr_count(); ++i) {
      labeled_value_c* attribute = item->get_attr(i);
      node->add_attr(attribute->label(), attribute->as_string());
    }
    if (item->text() != nullptr && item->text()[0] != '\0') {
      node->kind = xml_node_c::TEXT_ELEMENT;
      node->text << '\x01' << item->text();
    }
    for (xml_item_c* child = item->first_item(); child != nullptr; child = child->next_item()) {
      T* typed = _typed(child);
      tree_c::append_child(node, typed != nullptr ? to_xml_node(typed) : _to_xml_node(child));
    }
    return node;
  }

 private:
  void _find_all_children(xml_item_c* start, array_ct<T>* found, string_array_c* names, string_array_c* attr_names,
                          bool recursive) {
    for (xml_item_c* child = start->first_item(); child != nullptr; child = child->next_item()) {
      T* typed = _typed(child);
      if (typed != nullptr && is_matching(typed, names, attr_names)) found->append(typed);
      if (recursive) _find_all_children(child, found, names, attr_names, true);
    }
  }
  T* _find_first_below(xml_item_c* start, string_array_c* names, string_array_c* attr_names, bool recursive) {
    for (xml_item_c* child = start->first_item(); child != nullptr; child = child->next_item()) {
      T* typed = _typed(child);
      if (typed != nullptr && is_matching(typed, names, attr_names)) return typed;
      if (recursive) {
        T* match = _find_first_below(child, names, attr_names, true);
        if (match != nullptr) return match;
      }
    }
    return nullptr;
  }
  T* _find_with_attr_below(xml_item_c* start, string_array_c* names, const labeled_value_c* attr, bool recursive) {
    for (xml_item_c* child = start->first_item(); child != nullptr; child = child->next_item()) {
      T* typed = _typed(child);
      if (typed != nullptr && (names == nullptr || _in(names, typed->name())) && typed->has_attr(attr)) return typed;
      if (recursive) {
        T* match = _find_with_attr_below(child, names, attr, true);
        if (match != nullptr) return match;
      }
    }
    return nullptr;
  }
  static bool _in(string_array_c* names, const char* name) {
    const char* n = name == nullptr ? "" : name;
    for (size_t i = 0; i < names->count(); ++i) {
      const char* entry = names->at(i);
      if (entry != nullptr && std::strcmp(entry, n) == 0) return true;
    }
    return false;
  }
  static bool _same(const char* a, const char* b) {
    return std::strcmp(a == nullptr ? "" : a, b == nullptr ? "" : b) == 0;
  }
  // The next item in document order below top (first child, next sibling, or an ancestor's next);
  // depth, the item's depth below top, follows it.
  static const xml_item_c* _following(const xml_item_c* item, const xml_item_c* top, size_t& depth) {
    if (item->first_child != nullptr) {
      ++depth;
      return item->first_item();
    }
    for (const generic_node_c* n = item; n != nullptr && n != top; n = n->parent, --depth) {
      if (n->next != nullptr) return static_cast<const xml_item_c*>(n->next);
    }
    return nullptr;
  }

  char* m_version = nullptr;
  char* m_encoding = nullptr;
  char* m_style_sheet = nullptr;
};

using xml_tree_c = xml_tree_ct<xml_item_c>;

#endif
