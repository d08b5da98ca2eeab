// The XML item tree (elements with a name, a text and typed attributes, and the tree operations
// that link them) and the parse tree's nodes and attributes.
#ifndef STATS_MNG_XML_XML_ITEM_H
#define STATS_MNG_XML_XML_ITEM_H

#include "platform/thl/bulk_arena.h"
#include "platform/thl/thl_locks.h"
#include "utl/array.h"
#include "utl/tree.h"
#include "utl/utl_stream.h"
#include "utl/value.h"

#include <cstddef>
#include <cstdint>
#include <memory>

class generic_node_c {
 public:
  generic_node_c() = default;
  // Deletes the children, last first.
  virtual ~generic_node_c();
  generic_node_c(const generic_node_c&) = delete;
  generic_node_c& operator=(const generic_node_c&) = delete;

  size_t count_children(bool recursive) const;
  // Links child (unlinked) as the last child.
  void append_child(generic_node_c* child);
  // Leaves parent and siblings; the node keeps its own children.
  void unlink();
  // Deletes every child (with its subtree), last first.
  void delete_children();

  generic_node_c* parent = nullptr;
  generic_node_c* next = nullptr;
  generic_node_c* prev = nullptr;
  generic_node_c* first_child = nullptr;
  generic_node_c* last_child = nullptr;
};

class xml_item_c : public generic_node_c {
 public:
  explicit xml_item_c(const char* name);
  // The name and the attributes; with deep the children follow. The text is not copied.
  xml_item_c(const xml_item_c& source, bool deep);
  ~xml_item_c() override;

  virtual size_t get_name_length() const;
  virtual size_t get_text_size(bool with_children) const;
  virtual bool is_equal(const xml_item_c& other) const;
  virtual labeled_value_c* set_attr(const char* label, const char* value);
  virtual labeled_value_c* set_attr(const char* label, unsigned long long value);
  virtual labeled_value_c* set_attr(const char* label, long long value);
  virtual labeled_value_c* set_attr(const char* label, unsigned int value);
  virtual labeled_value_c* set_attr(const char* label, int value);
  virtual labeled_value_c* set_attr(const char* label, unsigned long value);
  virtual labeled_value_c* set_attr(const char* label, long value);
  virtual labeled_value_c* set_attr(const char* label, unsigned short value);
  virtual labeled_value_c* set_attr(const char* label, short value);
  virtual labeled_value_c* set_attr(const char* label, char value);
  virtual labeled_value_c* set_attr(const char* label, bool value);
  virtual labeled_value_c* add_attr(const labeled_value_c* attribute);
  // set_attr(label, value) for an item being read. With an arena, an attribute the item does not
  // have yet is made there: the item deletes it like any other, its memory stays with the arena,
  // which must outlive it (a configuration reads its template so, thousands of attributes).
  labeled_value_c* set_read_attr(const char* label, const char* value, bulk_arena_c* arena);
  // Room in arena for the list of count attributes about to be read into an item that has none
  // yet (nothing without an arena); a longer list moves to room of its own.
  void reserve_read_attrs(size_t count, bulk_arena_c* arena);

  labeled_value_c* find_attr(const char* label) const;
  labeled_value_c* get_attr(size_t index) const;
  size_t attr_count() const { return m_attributes.count(); }
  // The label of the attribute at index (below attr_count()).
  const char* attr_label_at(size_t index) const { return m_attributes.data()[index]->label(); }
  bool has_attr(const labeled_value_c* attribute) const;
  // The chain from the top-most ancestor: each node's first attribute's text, or its name, joined by '.'.
  const char* get_path(utl_stream_c& out) const;
  const char* write_start_tag(utl_stream_c& out) const;
  // A new item; with a parent it becomes the parent's last child.
  static xml_item_c* add_child(const char* name, xml_item_c* parent);

  const char* name() const { return m_name; }
  const char* text() const { return m_text; }

 protected:
  // Called when set_read_attr has made a new attribute in an arena (the item's only one of that
  // label, appended last): what a derived item's setters do after the base operation (the setters
  // themselves ran otherwise).
  virtual void _read_attr_made(const labeled_value_c& /*made*/) {}

 public:
  // Element names that thousands of items carry: an item so named points at the table's text
  // instead of a copy of its own (see shared_texts_c).
  static void share_names(const char* const* names, size_t count);
  static const char* const* shared_names(size_t& count);
  void set_text(const char* text);
  xml_item_c* first_item() const { return static_cast<xml_item_c*>(first_child); }
  xml_item_c* next_item() const { return static_cast<xml_item_c*>(next); }
  xml_item_c* parent_item() const { return static_cast<xml_item_c*>(parent); }

 private:
  // Whether the item has an attribute labelled as made (a new attribute not yet appended).
  bool _has_label_of(const labeled_value_c& made) const;
  // The existing attribute of that label, or a new one appended.
  labeled_value_c* _attr_for(const char* label, bool& created);
  template <class N>
  labeled_value_c* _set_signed(const char* label, N value);
  template <class N>
  labeled_value_c* _set_unsigned(const char* label, N value);

  // Appends an attribute the item owns from now on, keeping the label index.
  labeled_value_c* _append_attr(labeled_value_c* attribute);

  void _set_name(const char* name);

  const char* m_name = nullptr;
  char* m_text = nullptr;
  array_ct<labeled_value_c> m_attributes;
  // From k_indexed_attributes attributes on, labels are found through an index (setting n
  // attributes one by one stays linear). An attribute's label is never changed in place.
  struct attr_index_s;
  std::unique_ptr<attr_index_s> m_attr_index;
  // Last: a derived item's own small members take the space after it.
  bool m_name_shared = false;
};

// Links and unlinks nodes of an item tree; owns its root only when told so.
template <class T>
class generic_tree_ct {
 public:
  generic_tree_ct() = default;
  generic_tree_ct(const generic_tree_ct&) = delete;
  generic_tree_ct& operator=(const generic_tree_ct&) = delete;

  virtual void delete_node(T* node) { delete node; }
  virtual ~generic_tree_ct() {
    if (m_owns_root && root != nullptr) delete_node(root);
  }
  virtual void remove_all() { remove(root); }
  virtual bool owns_root() const { return m_owns_root; }

  virtual bool attach(T* node, T* parent, bool at_end) {
    if (node == nullptr || node->next != nullptr || node->prev != nullptr) return false;
    if (node->parent != nullptr) return node->parent == parent;
    if (parent != nullptr) {
      // The tree's own root, or a node above its new parent, would close a cycle.
      if (node == root || node == parent || _is_ancestor(node, parent)) return false;
      node->parent = parent;
      if (parent->first_child == nullptr) {
        parent->first_child = parent->last_child = node;
      } else if (at_end) {
        node->prev = parent->last_child;
        parent->last_child->next = node;
        parent->last_child = node;
      } else {
        node->next = parent->first_child;
        parent->first_child->prev = node;
        parent->first_child = node;
      }
      return true;
    }
    if (root != nullptr) return false;
    root = node;
    return true;
  }

  virtual bool insert(T* node, T* sibling, bool after) {
    if (node == nullptr || sibling == nullptr || sibling->parent == nullptr || node == sibling) return false;
    if (node->parent != nullptr && node->parent != sibling->parent) return false;
    // A node above the sibling (the root among them) would close a cycle; a node with siblings
    // but no parent is linked somewhere this tree cannot see.
    if (node == root || _is_ancestor(node, sibling)) return false;
    if (node->parent == nullptr && (node->next != nullptr || node->prev != nullptr)) return false;
    // A node already among the sibling's siblings moves: it leaves its old place first.
    if (node->parent != nullptr) detach(node);
    T* parent = static_cast<T*>(sibling->parent);
    if (!after && sibling->prev == nullptr) return attach(node, parent, false);
    if (after && sibling->next == nullptr) return attach(node, parent, true);
    generic_node_c* before = after ? sibling : sibling->prev;
    generic_node_c* behind = after ? sibling->next : sibling;
    node->prev = before;
    node->next = behind;
    node->parent = parent;
    before->next = node;
    behind->prev = node;
    return true;
  }

  virtual void detach(T* node) {
    if (node == nullptr) return;
    _unlink(node);
  }

  virtual void remove(T* node) {
    if (node == nullptr) return;
    delete_children(node);
    _unlink(node);
    delete_node(node);
  }

  virtual void delete_children(T* node) {
    if (node == nullptr) return;
    while (node->last_child != nullptr) {
      generic_node_c* child = node->last_child;
      node->last_child = child->prev;
      if (child->prev != nullptr) child->prev->next = nullptr;
      child->prev = nullptr;
      child->parent = nullptr;
      // A node of another class (the plain content of an external object in a configuration
      // tree) goes with its own subtree through its virtual destructor.
      T* typed = dynamic_cast<T*>(child);
      if (typed == nullptr) {
        delete child;
        continue;
      }
      delete_children(typed);
      delete_node(typed);
    }
    node->first_child = nullptr;
    node->last_child = nullptr;
  }

  virtual bool swap(T* a, T* b) {
    if (a == nullptr || b == nullptr || a == b || a->parent == nullptr || b->parent == nullptr) return false;
    if (_is_ancestor(a, b) || _is_ancestor(b, a) || _top(a) != _top(b)) return false;
    if (a->prev == b) {
      detach(b);
      return insert(b, a, true);
    }
    if (a->next == b) {
      detach(b);
      return insert(b, a, false);
    }
    T* a_parent = static_cast<T*>(a->parent);
    T* a_prev = static_cast<T*>(a->prev);
    T* b_parent = static_cast<T*>(b->parent);
    T* b_prev = static_cast<T*>(b->prev);
    detach(a);
    detach(b);
    // Each takes the other's former place.
    bool placed_b = a_prev != nullptr ? insert(b, a_prev, true) : attach(b, a_parent, false);
    bool placed_a = b_prev != nullptr ? insert(a, b_prev, true) : attach(a, b_parent, false);
    return placed_a && placed_b;
  }

  virtual void replace(T* old_node, T* new_node, bool delete_old) {
    if (old_node == nullptr || new_node == nullptr || new_node->parent != nullptr || new_node->next != nullptr ||
        new_node->prev != nullptr) {
      return;
    }
    T* parent = static_cast<T*>(old_node->parent);
    T* previous = static_cast<T*>(old_node->prev);
    if (delete_old) {
      remove(old_node);
    } else {
      detach(old_node);
    }
    if (previous != nullptr) {
      insert(new_node, previous, true);
    } else {
      attach(new_node, parent, false);
    }
  }

  virtual void clear() {
    if (root != nullptr) {
      delete_children(root);
      if (m_owns_root) delete_node(root);
    }
    root = nullptr;
  }

  T* root = nullptr;

 protected:
  bool m_owns_root = true;

 private:
  void _unlink(T* node) {
    if (node == root) root = nullptr;
    node->unlink();
  }
  static bool _is_ancestor(const generic_node_c* ancestor, const generic_node_c* node) {
    for (const generic_node_c* p = node->parent; p != nullptr; p = p->parent) {
      if (p == ancestor) return true;
    }
    return false;
  }
  static const generic_node_c* _top(const generic_node_c* node) {
    while (node->parent != nullptr) node = node->parent;
    return node;
  }
};

// An attribute of a parse node: two owned strings. (An attribute a reader made lives in its
// document's arena, strings included; it frees only what a later, longer set_ took from the heap.)
class xml_attr_c : public arena_placeable_c {
 public:
  xml_attr_c() = default;
  ~xml_attr_c();
  xml_attr_c(const xml_attr_c&) = delete;
  xml_attr_c& operator=(const xml_attr_c&) = delete;

  void set_name(const char* s);
  void set_value(const char* s);
  const char* name() const { return m_name; }
  const char* value() const { return m_value; }
  // Whether the attribute points only at memory it does not own: one a node made in its parse
  // space's arena over lent texts (the only attributes that lend) and nobody set anew since.
  // Dropping the arena is all its end takes.
  bool owns_nothing() const { return m_name_lent && (m_value == nullptr || m_value_lent); }

 private:
  friend class xml_node_c;
  // An attribute over a name and a value in arena memory that it never frees: made only by a
  // node in its parse space's arena.
  xml_attr_c(char* lent_name, char* lent_value)
      : m_name(lent_name), m_value(lent_value), m_name_lent(true), m_value_lent(lent_value != nullptr) {}

  void _free_name();
  void _free_value();

  char* m_name = nullptr;
  char* m_value = nullptr;
  bool m_name_lent = false;
  bool m_value_lent = false;
};

// Where the readers make a document's parse tree: the memory (it goes when the document does) and
// the one lock that the attribute lists made there share. A parse tree is read by one thread;
// edits afterwards take from the arena under the lock.
class xml_parse_space_c {
 public:
  xml_parse_space_c() = default;
  // A space whose arena cuts its first pieces from the owner's block (see bulk_arena_c).
  xml_parse_space_c(void* block, size_t size) : arena(block, size) {}
  bulk_arena_c arena;
  thl_crit_section_c attribute_lock{false};
};

// The attributes of a parse node in document order; owns them.
class xml_attr_list_c : public ptr_list_ct<xml_attr_c>, public arena_placeable_c {
 public:
  xml_attr_list_c() : ptr_list_ct<xml_attr_c>(true) {}
  // A list made in a parse space (new (space.arena) xml_attr_list_c(space)): its elements are made
  // there too, and it locks with the space's lock.
  explicit xml_attr_list_c(xml_parse_space_c& space)
      : ptr_list_ct<xml_attr_c>(new (space.arena) arena_made_ct<ptr_list_c>(space.attribute_lock, space.arena)),
        m_in_space(true) {}
  ~xml_attr_list_c() override;
  void clear() override;
  void delete_all() override;
  // Whether the list, its elements and its attributes all live in a parse space's arena and own
  // nothing outside it: a list made in a space whose attributes all own nothing (see xml_attr_c).
  bool owns_nothing() const;

 private:
  // Set by the space's constructor: the list and its elements are made in the arena.
  bool m_in_space = false;
};

// A parse node. The nodes a reader makes live in their document's arena with their names,
// attribute lists and attributes; they may be deleted as any other node (destructors run, the
// memory goes when the document does), so a node made on the heap may stand among them. A node
// a reader made, and its name, attributes and their texts, must not outlive the document that
// read it, not even detached from the tree or moved into another document or tree (its memory is
// that document's, and its edits take from there); nor may a heap node with read nodes below it
// (its destructor ends them). What is kept longer is copied (assign, or a typed tree's
// from_document). When the document goes, a node of its arena that owns
// nothing outside it (see owns_nothing) goes with the arena, its destructor not run: a class
// derived from this one that owns more is made on the heap, not in a parse space.
class xml_node_c : public node_c, public arena_placeable_c {
 public:
  explicit xml_node_c(const char* name);
  // A node made in a parse space (new (space.arena) xml_node_c(name, length, space)); its name
  // and the attributes added to it are made there too.
  xml_node_c(const char* name, size_t length, xml_parse_space_c& space);
  // The same over a name already in the space's arena, which the node points at.
  xml_node_c(char* lent_name, xml_parse_space_c& space);
  ~xml_node_c() override;

  virtual void assign(const xml_node_c& source);
  virtual void write_line_end(utl_stream_c& out) const;

  void add_attr(const char* name, const char* value);
  // add_attr for the reader that is making the node: no other thread can reach the document's
  // arena while it reads, so no lock is taken.
  void add_read_attr(const char* name, const char* value);
  void add_read_attr(const char* name, size_t name_length, const char* value, size_t value_length);
  // add_read_attr of a name and a value already in the document's arena (a node made in a parse
  // space only): the attribute points at them instead of copying them.
  void add_lent_attr(char* name, char* value) {
    if (attributes == nullptr || m_space == nullptr) {
      _add_first_lent_attr(name, value);
      return;
    }
    bulk_arena_c& arena = m_space->arena;
    // The element the list's append would make in the arena, linked without its two calls.
    attributes->list()->_append(new (arena) arena_made_ct<ptr_list_element_c>(new (arena) xml_attr_c(name, value)));
  }

  enum kind_e : uint32_t { ELEMENT = 1, TEXT_ELEMENT = 3 };

  xml_attr_list_c* attributes = nullptr;
  bool closed = false;
  uint32_t kind = ELEMENT;
  utl_stream_c text{utl_stream_c::NO_BUFFER};

  xml_node_c* first_node() const { return static_cast<xml_node_c*>(first_child); }
  xml_node_c* next_node() const { return static_cast<xml_node_c*>(next); }

  // Whether the node, apart from its children, lives wholly in a parse space's arena and owns
  // nothing outside it (made there by a reader and not given a new name, a text or attributes of
  // its own since): its destructor would free nothing, so the document that drops its arena need
  // not run it.
  bool owns_nothing() const override;

 private:
  // add_lent_attr of a node without attributes (or made on the heap).
  void _add_first_lent_attr(char* name, char* value);

  xml_parse_space_c* m_space = nullptr;
  // The name lent at construction (null for a node made on the heap): a node whose name is
  // another since owns it.
  const char* m_lent_name = nullptr;
};

#endif
