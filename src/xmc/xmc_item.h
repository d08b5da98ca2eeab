// The items of a configuration tree, which know what they are (title, object, data item, external
// object), the type of their value and whether their leading attributes came in the expected
// order; and the tree that reads and writes them through XML documents.
#ifndef STATS_MNG_XMC_XMC_ITEM_H
#define STATS_MNG_XMC_XMC_ITEM_H

#include "xml/xml_item.h"
#include "xml/xml_tree.h"

#include <cstdint>
#include <typeinfo>

// An item is one exactly when its dynamic type is this class or its arena-made form
// (xmc_arena_item_c: a check that costs a comparison or two, where the walks and checks of a
// configuration ask it for every item); no other class derives from it.
class xmc_item_c : public xml_item_c {
 public:
  enum kind_e : uint32_t { TITLE = 0, OBJECT = 1, DATA = 2, EXTERNAL = 3, OTHER = 4 };

  // The kind follows the name: "data", "object", "title", anything else.
  explicit xmc_item_c(const char* name);

  // The attribute names configuration items carry by the thousand (the library has their values
  // share them: labeled_value_c::share_labels).
  static const char* const k_attribute_names[];
  static const size_t k_attribute_name_count;
  // The element names of a configuration, shared by its items likewise (xml_item_c::share_names).
  static const char* const k_element_names[];
  static const size_t k_element_name_count;
  // Name, text, attributes, kind, value type, enumeration and well-formed flag; with deep the
  // children too: configuration items as such, and everything below an external object as plain
  // XML items.
  xmc_item_c(const xmc_item_c& source, bool deep);
  ~xmc_item_c() override;

  size_t get_name_length() const override;
  // Every attribute setter applies the item's attribute rules after the base operation.
  labeled_value_c* set_attr(const char* label, const char* value) override;
  labeled_value_c* set_attr(const char* label, unsigned long long value) override;
  labeled_value_c* set_attr(const char* label, long long value) override;
  labeled_value_c* set_attr(const char* label, unsigned int value) override;
  labeled_value_c* set_attr(const char* label, int value) override;
  labeled_value_c* set_attr(const char* label, unsigned long value) override;
  labeled_value_c* set_attr(const char* label, long value) override;
  labeled_value_c* set_attr(const char* label, unsigned short value) override;
  labeled_value_c* set_attr(const char* label, short value) override;
  labeled_value_c* set_attr(const char* label, char value) override;
  labeled_value_c* set_attr(const char* label, bool value) override;
  labeled_value_c* add_attr(const labeled_value_c* attribute) override;

  uint32_t kind() const { return m_kind; }
  bool is_object() const { return m_kind == OBJECT || m_kind == EXTERNAL; }
  bool is_data() const { return m_kind == DATA; }
  bool is_external() const { return m_kind == EXTERNAL; }
  uint32_t value_type() const { return m_value_type; }
  uint32_t enum_index() const { return m_enum_index; }
  bool well_formed() const { return m_well_formed != 0; }

  // A new configuration item as the last child of parent (when given).
  static xmc_item_c* add_xmc_child(const char* name, xml_item_c* parent);
  // The item as a configuration item; null for a plain XML item or null.
  static xmc_item_c* cast(generic_node_c* node);
  // The text of an attribute, or null when the item has none of that label.
  static const char* attr_text(const xml_item_c* item, const char* label);
  // A deep copy of any item as plain XML items (name, attributes, text, children).
  static xml_item_c* copy_plain(const xml_item_c& source);
  // The item after at in a pre-order walk of top's subtree: at's first child (when enter is set),
  // else its next sibling or the next sibling of its nearest ancestor that has one, never leaving
  // top; null at the end.
  static xml_item_c* walk_next(xml_item_c* at, const xml_item_c* top, bool enter);
  // Whether a node is a configuration item (of this class or its arena-made form).
  static bool is_xmc(const generic_node_c& node);
  // Whether a walk of the configuration enters the item's children: not an external object's.
  static bool enters(const xml_item_c* item) {
    return item == nullptr || !is_xmc(*item) || !static_cast<const xmc_item_c*>(item)->is_external();
  }
  // The nearest ancestor that is an object or external object; null when there is none.
  static xmc_item_c* parent_object(const xml_item_c* item);

 protected:
  void _read_attr_made(const labeled_value_c& made) override { _apply_rules(made.label(), &made); }

 private:
  // After an attribute labelled label was set: the kind, the well-formed flag, the value type. made
  // is the attribute when a read has just made it (its text is the type's then), else null.
  void _apply_rules(const char* label, const labeled_value_c* made = nullptr);

  // Bytes (every value fits one): they take the space the item's base leaves at its end.
  uint8_t m_kind;
  uint8_t m_value_type;
  uint8_t m_enum_index;
  uint8_t m_well_formed = 0;
};

// A configuration item made in an arena (new (arena) xmc_arena_item_c(name)): deleted like any
// other, its memory stays with the arena.
using xmc_arena_item_c = arena_made_ct<xmc_item_c>;

inline bool xmc_item_c::is_xmc(const generic_node_c& node) {
  const std::type_info& type = typeid(node);
  // The same objects first: comparing type_info objects that differ compares their names.
  if (&type == &typeid(xmc_item_c) || &type == &typeid(xmc_arena_item_c)) return true;
  return type == typeid(xmc_item_c) || type == typeid(xmc_arena_item_c);
}

// A configuration tree: every element becomes an xmc_item_c, except that the content of an
// external object stays plain XML items, which belong to the object configuration handling them.
class mixed_xmc_xml_tree_c : public xml_tree_ct<xmc_item_c> {
 public:
  mixed_xmc_xml_tree_c() = default;

  // Every item the tree deletes (a load or clear replacing the root, a removal) counts: what
  // points into the tree from outside (the host tree of a configuration) knows when it may no
  // longer hold.
  void delete_node(xmc_item_c* node) override {
    ++m_deletions;
    delete node;
  }
  uint64_t deletions() const { return m_deletions; }

  // While set, the configuration items of the documents read into the tree and their attributes
  // are made in arena (null: on the heap again). The arena must outlive every item read meanwhile.
  void read_into(bulk_arena_c* arena) { m_arena = arena; }

 protected:
  // A document read into the tree replaces its root.
  bool _replaces_root() const override { return true; }
  bool _keeps_content_plain(xmc_item_c* item) const override { return item->is_external(); }
  bulk_arena_c* _read_attribute_arena() const override { return m_arena; }
  xmc_item_c* _new_read_item(const char* name) override {
    return m_arena == nullptr ? new xmc_item_c(name) : new (*m_arena) xmc_arena_item_c(name);
  }

 private:
  uint64_t m_deletions = 0;
  bulk_arena_c* m_arena = nullptr;
};

#endif
