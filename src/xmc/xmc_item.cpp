#include "xmc/xmc_item.h"

#include "utl/utl.h"
#include "xmc/xmc_enum.h"

#include <cstring>

namespace {

uint32_t kind_of_name(const char* name) {
  if (name == nullptr) return xmc_item_c::OTHER;
  if (utl_n::same_text(name, "data")) return xmc_item_c::DATA;
  if (utl_n::same_text(name, "object")) return xmc_item_c::OBJECT;
  if (utl_n::same_text(name, "title")) return xmc_item_c::TITLE;
  return xmc_item_c::OTHER;
}

// Positions in k_attribute_names.
enum shared_attribute_e : size_t { LABEL = 0, VAL = 1, TYPE = 2, ID = 3, EXTERNAL_ATTR = 13 };
const char* shared(shared_attribute_e which) { return xmc_item_c::k_attribute_names[which]; }
// A label is nearly always the shared table's entry, found by its pointer; a text compare only for
// the rest.
bool label_is(const char* label, shared_attribute_e which) {
  return label == shared(which) || utl_n::same_text(label, shared(which));
}

}  // namespace

// The first four and "external" stand where _apply_rules looks for them (shared_attribute_e; the
// attribute-rule tests fail otherwise).
const char* const xmc_item_c::k_attribute_names[] = {
    "label",  "val",     "type",    "id",      "status",   "mandatory", "prompted", "check_kids_if_val",
    "check_if", "is_equal", "minimum", "maximum", "to_keep", "external",  "variable", "case"};
const size_t xmc_item_c::k_attribute_name_count = sizeof k_attribute_names / sizeof k_attribute_names[0];
const char* const xmc_item_c::k_element_names[] = {"data",     "object",     "title", "relevant",
                                                   "irrelevant", "switch_to_set_default"};
const size_t xmc_item_c::k_element_name_count = sizeof k_element_names / sizeof k_element_names[0];

xmc_item_c::xmc_item_c(const char* name)
    : xml_item_c(name),
      m_kind(static_cast<uint8_t>(kind_of_name(name))),
      m_value_type(TYPE_NONE),
      m_enum_index(ENUM_NONE) {}

xmc_item_c::xmc_item_c(const xmc_item_c& source, bool deep)
    : xml_item_c(source, false),
      m_kind(source.m_kind),
      m_value_type(source.m_value_type),
      m_enum_index(source.m_enum_index),
      m_well_formed(source.m_well_formed) {
  if (source.text() != nullptr) set_text(source.text());
  if (!deep) return;
  for (xml_item_c* child = source.first_item(); child != nullptr; child = child->next_item()) {
    const xmc_item_c* typed = cast(child);
    xml_item_c* copy = typed != nullptr && !is_external() ? new xmc_item_c(*typed, true) : copy_plain(*child);
    append_child(copy);
  }
}

xmc_item_c::~xmc_item_c() = default;

size_t xmc_item_c::get_name_length() const {
  switch (m_kind) {
    case TITLE: return 5;
    case OBJECT: return 6;
    case DATA: return 4;
    default: return xml_item_c::get_name_length();
  }
}

void xmc_item_c::_apply_rules(const char* label, const labeled_value_c* made) {
  if (label == nullptr) return;
  auto is = [label](shared_attribute_e which) { return label_is(label, which); };
  auto at_is = [this](size_t index, shared_attribute_e which) { return label_is(attr_label_at(index), which); };
  if (is_object()) {
    // Only the attribute's name counts: external="False" is still an external object.
    if (is(EXTERNAL_ATTR)) m_kind = EXTERNAL;
    // label, then id.
    if (is(ID) && attr_count() >= 2 && at_is(0, LABEL) && at_is(1, ID)) {
      m_well_formed = 1;
    }
  } else if (m_kind == DATA && is(TYPE)) {
    // label, val, type.
    if (attr_count() >= 3 && at_is(0, LABEL) && at_is(1, VAL) && at_is(2, TYPE)) m_well_formed = 1;
    uint32_t enum_index = ENUM_NONE;
    // A read's new attribute is the item's only one of its label.
    const char* type_text = made != nullptr ? made->text() : attr_text(this, "type");
    m_value_type = static_cast<uint8_t>(xmc_enum_c::value_type(type_text, &enum_index));
    m_enum_index = static_cast<uint8_t>(enum_index);
  }
}

#define XMC_ITEM_SETTER(T)                                                   \
  labeled_value_c* xmc_item_c::set_attr(const char* label, T value) {        \
    labeled_value_c* attribute = xml_item_c::set_attr(label, value);         \
    _apply_rules(label);                                                     \
    return attribute;                                                        \
  }
XMC_ITEM_SETTER(const char*)
XMC_ITEM_SETTER(unsigned long long)
XMC_ITEM_SETTER(long long)
XMC_ITEM_SETTER(unsigned int)
XMC_ITEM_SETTER(int)
XMC_ITEM_SETTER(unsigned long)
XMC_ITEM_SETTER(long)
XMC_ITEM_SETTER(unsigned short)
XMC_ITEM_SETTER(short)
XMC_ITEM_SETTER(char)
XMC_ITEM_SETTER(bool)
#undef XMC_ITEM_SETTER

labeled_value_c* xmc_item_c::add_attr(const labeled_value_c* attribute) {
  labeled_value_c* added = xml_item_c::add_attr(attribute);
  if (attribute != nullptr) _apply_rules(attribute->label());
  return added;
}

xmc_item_c* xmc_item_c::add_xmc_child(const char* name, xml_item_c* parent) {
  xmc_item_c* item = new xmc_item_c(name);
  if (parent != nullptr) parent->append_child(item);
  return item;
}

xmc_item_c* xmc_item_c::cast(generic_node_c* node) {
  return node != nullptr && is_xmc(*node) ? static_cast<xmc_item_c*>(node) : nullptr;
}

const char* xmc_item_c::attr_text(const xml_item_c* item, const char* label) {
  if (item == nullptr) return nullptr;
  labeled_value_c* attribute = item->find_attr(label);
  return attribute == nullptr ? nullptr : attribute->as_string();
}

xml_item_c* xmc_item_c::copy_plain(const xml_item_c& source) {
  xml_item_c* copy = new xml_item_c(source, false);
  if (source.text() != nullptr) copy->set_text(source.text());
  for (xml_item_c* child = source.first_item(); child != nullptr; child = child->next_item()) {
    copy->append_child(copy_plain(*child));
  }
  return copy;
}

xml_item_c* xmc_item_c::walk_next(xml_item_c* at, const xml_item_c* top, bool enter) {
  if (at == nullptr) return nullptr;
  if (enter && at->first_child != nullptr) return at->first_item();
  for (; at != nullptr && at != top; at = at->parent_item()) {
    if (at->next != nullptr) return at->next_item();
  }
  return nullptr;
}

xmc_item_c* xmc_item_c::parent_object(const xml_item_c* item) {
  for (generic_node_c* p = item == nullptr ? nullptr : item->parent; p != nullptr; p = p->parent) {
    xmc_item_c* typed = cast(p);
    if (typed != nullptr && typed->is_object()) return typed;
  }
  return nullptr;
}
