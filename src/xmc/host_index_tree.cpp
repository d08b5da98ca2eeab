#include "xmc/host_index_tree.h"

host_index_tree_c::host_index_tree_c() { attach(new host_index_node_s(k_master), nullptr, true); }

const host_index_node_s* host_index_tree_c::_following(const host_index_node_s* node) {
  if (node->first_child != nullptr) return node->first_host();
  for (const generic_node_c* n = node; n != nullptr; n = n->parent) {
    if (n->next != nullptr) return static_cast<const host_index_node_s*>(n->next);
  }
  return nullptr;
}

host_index_node_s* host_index_tree_c::find(uint64_t host_index) const {
  for (const host_index_node_s* n = root; n != nullptr; n = _following(n)) {
    if (n->host_index == host_index) return const_cast<host_index_node_s*>(n);
  }
  return nullptr;
}

uint64_t host_index_tree_c::host_count() const { return root == nullptr ? 0 : root->count_children(true); }

uint64_t host_index_tree_c::first_host_index() const {
  return root == nullptr || root->first_child == nullptr ? 0 : root->first_host()->host_index;
}

uint64_t host_index_tree_c::next_host_index(uint64_t host_index) const {
  const host_index_node_s* node = find(host_index);
  if (node == nullptr) return 0;
  const host_index_node_s* following = _following(node);
  return following == nullptr ? 0 : following->host_index;
}

host_index_node_s* host_index_tree_c::insert_host(uint64_t host_index, uint64_t parent_index, xmc_item_c* repl_node) {
  if (host_index <= k_master || find(host_index) != nullptr) return nullptr;
  host_index_node_s* parent = find(parent_index);
  if (parent == nullptr) return nullptr;
  host_index_node_s* node = new host_index_node_s(host_index, repl_node);
  if (!attach(node, parent, true)) {
    delete node;
    return nullptr;
  }
  return node;
}

const lost_host_s* host_index_tree_c::lost_claiming(uint64_t host_index) const {
  for (const lost_host_s& lost : m_lost) {
    if (lost.claimed != 0 && lost.claimed == host_index) return &lost;
  }
  return nullptr;
}

const lost_host_s* host_index_tree_c::lost_of(const xmc_item_c* repl_node) const {
  for (const lost_host_s& lost : m_lost) {
    if (repl_node != nullptr && lost.repl_node == repl_node) return &lost;
  }
  return nullptr;
}

void host_index_tree_c::remove_all_but_root() {
  m_lost.clear();
  if (root == nullptr) {
    attach(new host_index_node_s(k_master), nullptr, true);
    return;
  }
  delete_children(root);
  root->repl_node = nullptr;
  root->position = 0;
  root->root_dirs.delete_all();
}
