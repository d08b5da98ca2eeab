// The hosts of a scenario by host index, nested as their ReplNode objects are: each host below
// the host it replicates from. The root always exists and stands for the master, host 1.
#ifndef STATS_MNG_XMC_HOST_INDEX_TREE_H
#define STATS_MNG_XMC_HOST_INDEX_TREE_H

#include "utl/array.h"
#include "xml/xml_item.h"
#include "xmc/root_dir.h"

#include <cstdint>
#include <string>
#include <vector>

class xmc_item_c;

// A ReplNode of the file that the host tree leaves out because it cannot be placed exactly: no
// Index, an Index that is no host number or repeats another host's, or no placed host around it to
// replicate from.
struct lost_host_s {
  uint64_t position = 0;  // the ReplNode's place among the file's ReplNodes in document order, from 1
  uint64_t claimed = 0;   // the host number its Index states, when it states one; else 0
  std::string index_text;  // its Index as written; empty when it has none
  std::string reason;      // what is wrong, naming the ReplNode by its position
  xmc_item_c* repl_node = nullptr;  // not owned
};

struct host_index_node_s : public generic_node_c {
  explicit host_index_node_s(uint64_t index, xmc_item_c* item = nullptr) : host_index(index), repl_node(item) {}
  ~host_index_node_s() override { root_dirs.delete_all(); }

  uint64_t host_index;
  xmc_item_c* repl_node;  // the host's ReplNode in the configuration tree; not owned
  uint64_t position = 0;  // its place among the file's ReplNodes (lost_host_s::position)
  array_ct<root_dir_c> root_dirs;  // the host's root directories, owned

  host_index_node_s* first_host() const { return static_cast<host_index_node_s*>(first_child); }
  host_index_node_s* next_host() const { return static_cast<host_index_node_s*>(next); }
};

class host_index_tree_c : public generic_tree_ct<host_index_node_s> {
 public:
  host_index_tree_c();

  static constexpr uint64_t k_master = 1;
  // The largest host number: 0xFFFFFFFE stands for the manager and host numbers are 32 bits.
  static constexpr uint64_t k_max_host = 0xFFFFFFFDu;

  host_index_node_s* master() const { return root; }
  // The node of a host index (1: the root); null when there is none.
  host_index_node_s* find(uint64_t host_index) const;
  // The number of hosts other than the master.
  uint64_t host_count() const;
  // The index of the first host below the master; 0 when there is none.
  uint64_t first_host_index() const;
  // The index of the host after this one in pre-order (the master first); 0 after the last or for
  // an unknown index.
  uint64_t next_host_index(uint64_t host_index) const;
  // A new node for host_index below the node of parent_index; null when that parent is missing, the
  // index is 1 or 0, or already present.
  host_index_node_s* insert_host(uint64_t host_index, uint64_t parent_index, xmc_item_c* repl_node);
  // Removes every node but the root, which forgets its ReplNode, and forgets the lost hosts.
  void remove_all_but_root();

  // The ReplNodes the last build left out, in document order.
  const std::vector<lost_host_s>& lost() const { return m_lost; }
  void add_lost(lost_host_s lost) { m_lost.push_back(std::move(lost)); }
  // The first lost host whose Index states host_index; null when none does.
  const lost_host_s* lost_claiming(uint64_t host_index) const;
  // The lost host of a ReplNode; null when it is placed or no ReplNode of the last build.
  const lost_host_s* lost_of(const xmc_item_c* repl_node) const;

  // Clearing keeps the root: the master always exists.
  void remove_all() override { remove_all_but_root(); }
  void remove(host_index_node_s* node) override {
    if (node == root) {
      remove_all_but_root();
    } else {
      generic_tree_ct<host_index_node_s>::remove(node);
    }
  }
  void clear() override { remove_all_but_root(); }

 private:
  std::vector<lost_host_s> m_lost;
  static const host_index_node_s* _following(const host_index_node_s* node);
};

#endif
