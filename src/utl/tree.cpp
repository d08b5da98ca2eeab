#include "utl/tree.h"

#include <cstdlib>
#include <cstring>

namespace {

int name_order(const char* a, const char* b) {
  if (a == nullptr || b == nullptr) {
    if (a == b) return 0;
    return a == nullptr ? -1 : 1;
  }
  int c = std::strcmp(a, b);
  return c < 0 ? -1 : (c > 0 ? 1 : 0);
}

int by_name(const void* a, const void* b) {
  return name_order((*static_cast<node_c* const*>(a))->name, (*static_cast<node_c* const*>(b))->name);
}

int by_node(const void* a, const void* b) {
  const node_c* na = *static_cast<node_c* const*>(a);
  const node_c* nb = *static_cast<node_c* const*>(b);
  return na->compare(*nb);
}

}  // namespace

node_c::~node_c() {
  node_c* child = last_child;
  while (child != nullptr) {
    node_c* before = child->prev;
    delete child;
    child = before;
  }
  if (!m_name_lent) delete[] name;
}

int node_c::compare(const node_c& other) const { return name_order(name, other.name); }

void node_c::set_name(const char* text) {
  if (text == nullptr) {
    if (!m_name_lent) delete[] name;
    name = nullptr;
    m_name_room = 0;
    m_name_lent = false;
    return;
  }
  size_t length = std::strlen(text);
  if (name == nullptr || m_name_lent || length + 1 > m_name_room) {
    char* buffer = new char[length + 2];
    std::memmove(buffer, text, length + 1);
    if (!m_name_lent) delete[] name;
    name = buffer;
    m_name_room = length + 2;
    m_name_lent = false;
    return;
  }
  std::memmove(name, text, length + 1);
}

void node_c::lend_name(char* text) {
  if (!m_name_lent) delete[] name;
  name = text;
  m_name_room = 0;
  m_name_lent = text != nullptr;
}

void tree_c::delete_node(node_c* node) { delete node; }

void tree_c::sort_children(node_c* node, bool recursive, unsigned method, node_c** scratch) {
  if (node == nullptr || scratch == nullptr || node->first_child == nullptr ||
      node->first_child == node->last_child) {
    return;
  }
  size_t count = 0;
  for (node_c* c = node->first_child; c != nullptr; c = c->next) scratch[count++] = c;
  if (method == SORT_BY_TREE) {
    // Selection: each time the smallest of those left; on equality the earlier stays chosen.
    for (size_t i = 0; i < count; ++i) {
      size_t best = i;
      for (size_t j = i + 1; j < count; ++j) {
        if (compare(scratch[j], scratch[best]) < 0) best = j;
      }
      node_c* chosen = scratch[best];
      for (size_t k = best; k > i; --k) scratch[k] = scratch[k - 1];
      scratch[i] = chosen;
    }
  } else if (method == SORT_BY_NAME) {
    std::qsort(scratch, count, sizeof(node_c*), &by_name);
  } else if (method == SORT_BY_NODE) {
    std::qsort(scratch, count, sizeof(node_c*), &by_node);
  }
  for (size_t i = 0; i < count; ++i) {
    scratch[i]->prev = i > 0 ? scratch[i - 1] : nullptr;
    scratch[i]->next = i + 1 < count ? scratch[i + 1] : nullptr;
  }
  node->first_child = scratch[0];
  node->last_child = scratch[count - 1];
  if (recursive) {
    for (node_c* c = node->first_child; c != nullptr; c = c->next) sort_children(c, recursive, method, scratch);
  }
}

tree_c::~tree_c() { delete root; }

node_c* tree_c::create_node(uint64_t data, const char* name) {
  node_c* node = new node_c;
  node->data = data;
  node->set_name(name);
  return node;
}

int tree_c::compare(const node_c* a, const node_c* b) {
  if (a == nullptr || b == nullptr) {
    if (a == b) return 0;
    return a == nullptr ? -1 : 1;
  }
  return a->compare(*b);
}

void tree_c::unlink(node_c* node) {
  if (node == nullptr) return;
  if (node == root) root = nullptr;
  node_c* parent = node->parent;
  if (parent != nullptr) {
    if (parent->first_child == node) parent->first_child = node->next;
    if (parent->last_child == node) parent->last_child = node->prev;
  }
  if (node->prev != nullptr) node->prev->next = node->next;
  if (node->next != nullptr) node->next->prev = node->prev;
  node->prev = node->next = nullptr;
  node->parent = nullptr;
}

void tree_c::delete_subtree(node_c* node) {
  if (node == nullptr) return;
  node_c* child = node->last_child;
  while (child != nullptr) {
    node_c* before = child->prev;
    delete_subtree(child);
    unlink(child);
    delete_node(child);
    child = before;
  }
  node->first_child = nullptr;
  node->last_child = nullptr;
}

void tree_c::append_child(node_c* parent, node_c* child) {
  if (parent == nullptr || child == nullptr) return;
  child->parent = parent;
  child->next = nullptr;
  child->prev = parent->last_child;
  if (parent->last_child != nullptr) parent->last_child->next = child; else parent->first_child = child;
  parent->last_child = child;
}
