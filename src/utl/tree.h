// The plain named tree on which the XML parse tree is built.
#ifndef STATS_MNG_UTL_TREE_H
#define STATS_MNG_UTL_TREE_H

#include <cstddef>
#include <cstdint>

class node_c {
 public:
  node_c() = default;
  // Deletes the children, last first, then the name.
  virtual ~node_c();
  // Byte order of the names; a node without a name sorts first.
  virtual int compare(const node_c& other) const;
  // Whether the node owns nothing outside the memory it stands in, so that an owner dropping that
  // memory whole need not run its destructor. A plain node owns its name.
  virtual bool owns_nothing() const { return false; }

  node_c(const node_c&) = delete;
  node_c& operator=(const node_c&) = delete;

  void set_name(const char* name);
  // Makes name (which the node does not own and never frees, e.g. a reader's arena) the name; a
  // later set_name copies into fresh memory rather than reusing it.
  void lend_name(char* name);

  char* name = nullptr;
  uint64_t data = 0;
  node_c* parent = nullptr;
  node_c* next = nullptr;
  node_c* prev = nullptr;
  node_c* first_child = nullptr;
  node_c* last_child = nullptr;

 private:
  size_t m_name_room = 0;
  bool m_name_lent = false;
};

class tree_c {
 public:
  enum sort_method_e : unsigned { SORT_BY_NAME = 2, SORT_BY_NODE = 3, SORT_BY_TREE = 4 };

  tree_c() = default;
  virtual void delete_node(node_c* node);
  // Reorders the children of node (scratch holds a pointer per child): 4 selection by the tree's
  // compare, 2 quicksort by name (unnamed first), 3 quicksort by each node's compare; any other
  // method keeps the order.
  virtual void sort_children(node_c* node, bool recursive, unsigned method, node_c** scratch);
  virtual ~tree_c();
  virtual node_c* create_node(uint64_t data, const char* name);
  virtual int compare(const node_c* a, const node_c* b);

  tree_c(const tree_c&) = delete;
  tree_c& operator=(const tree_c&) = delete;

  // Takes node out of its parent's children (or unsets the root) and clears its sibling links.
  void unlink(node_c* node);
  void delete_subtree(node_c* node);
  // Links child as the last child of parent.
  static void append_child(node_c* parent, node_c* child);

  node_c* root = nullptr;
};

#endif
