// The hosts of a scenario configuration: the host tree built from the ReplNode objects, what the
// build leaves out and why, the lookups of hosts by number, and a host's root directories.
#include "xmc/scenario_conf.h"

#include "xmc/number_ranges.h"

#include "platform/thl/mix.h"
#include "platform/trc/zqtr.h"

#include <cstring>
#include <string>
#include <vector>

namespace {

const char* k_file = "host_tree_build";

bool labelled(const xmc_item_c* item, const char* label) {
  const char* own = xmc_item_c::attr_text(item, "label");
  return item != nullptr && item->is_object() && own != nullptr && std::strcmp(own, label) == 0;
}

// The CommonHostProps object among a ReplNode's children; null when it has none.
xmc_item_c* host_props(const xmc_item_c* repl_node) {
  for (xml_item_c* child = repl_node->first_item(); child != nullptr; child = child->next_item()) {
    xmc_item_c* typed = xmc_item_c::cast(child);
    if (labelled(typed, "CommonHostProps")) return typed;
  }
  return nullptr;
}

// A ReplNode met by the build: its place in the file and the host node made for it (null when the
// host is left out).
struct met_s {
  xmc_item_c* item;
  uint64_t position;
  host_index_node_s* node;
};

std::string text_of(uint64_t n) { return std::to_string(static_cast<unsigned long long>(n)); }

}  // namespace

uint64_t scenario_conf_c::_build_host_tree(xmc_item_c* scenario_item) {
  ZQTR_SCOPE(tr, "scenario_conf_c::_build_host_tree", k_file);
  m_host_tree->remove_all_but_root();
  m_hosts_of_tree = m_tree;
  m_hosts_generation = m_tree == nullptr ? 0 : m_tree->deletions();
  xmc_item_c* start = scenario_item != nullptr ? scenario_item : (m_tree == nullptr ? nullptr : m_tree->root);
  if (start == nullptr) return 0;
  uint64_t found = 0;
  std::vector<met_s> met;
  // Pre-order over the configuration items, never into an external object's content.
  for (xml_item_c* at = start; at != nullptr; at = xmc_item_c::walk_next(at, start, xmc_item_c::enters(at))) {
    xmc_item_c* item = xmc_item_c::cast(at);
    if (!labelled(item, "ReplNode")) continue;
    const uint64_t position = met.size() + 1;
    met.push_back({item, position, nullptr});
    const std::string where = "ReplNode #" + text_of(position) + " of the file";
    lost_host_s lost;
    lost.position = position;
    lost.repl_node = item;
    auto leave_out = [&](const std::string& why) {
      lost.reason = where + " " + why + ": the host is left out of the host tree";
      tr.print(ZQTR_FAIL, __LINE__, "%s\n", lost.reason.c_str());
      m_host_tree->add_lost(lost);
    };
    // The nearest enclosing ReplNode, met before this one.
    const met_s* papa = nullptr;
    for (generic_node_c* p = item->parent; p != nullptr && papa == nullptr; p = p->parent) {
      for (const met_s& m : met) {
        if (m.item == p) papa = &m;
      }
    }
    utl_stream_c path;
    const char* text = xmc_item_c::attr_text(find_data(host_props(item), "Index"), "val");
    int64_t n = 0;
    if (text == nullptr) {
      tr.print(ZQTR_FAIL, __LINE__, "Unable to find property \"%s\" for node %s\n", "Index", item_path(item, path));
      leave_out("has no CommonHostProps.Index");
      continue;
    }
    lost.index_text = text;
    if (!mix_n::parse_formatted_integer_string(text, n)) {
      leave_out("has the Index \"" + lost.index_text + "\", which is no number");
      continue;
    }
    // A text of 2^63 or more reads as a negative number: out of range as well.
    if (n < static_cast<int64_t>(host_index_tree_c::k_master) || n > static_cast<int64_t>(host_index_tree_c::k_max_host)) {
      leave_out("has the Index " + lost.index_text + ", outside 1 to " + text_of(host_index_tree_c::k_max_host));
      continue;
    }
    const uint64_t index = static_cast<uint64_t>(n);
    // Host numbers are written in decimal, as every other reader of the file takes them.
    if (!number_ranges_n::fits(*number_ranges_n::of("CommonHostProps", "Index"), text)) {
      leave_out("has the Index " + lost.index_text + ", which is not written in decimal");
      continue;
    }
    lost.claimed = index;
    if (index == host_index_tree_c::k_master) {
      host_index_node_s* master = m_host_tree->master();
      if (master->repl_node != nullptr) {
        leave_out("repeats the Index 1 of ReplNode #" + text_of(master->position) + ", the master");
      } else if (papa != nullptr) {
        leave_out("has the master's Index 1 but lies inside ReplNode #" + text_of(papa->position));
      } else {
        master->repl_node = item;
        master->position = position;
        met.back().node = master;
        ++found;
      }
      continue;
    }
    const host_index_node_s* holder = m_host_tree->find(index);
    if (papa == nullptr) {
      tr.print(ZQTR_FAIL, __LINE__, "Unable to find Papa for \"%s\", node %s\n", "ReplNode", item_path(item, path));
      leave_out("(Index " + text_of(index) + ") lies inside no host it could replicate from");
    } else if (papa->node == nullptr) {
      tr.print(ZQTR_FAIL, __LINE__, "Unable to find next Papa for \"%s\", node %s\n", "ReplNode", item_path(item, path));
      leave_out("(Index " + text_of(index) + ") lies inside ReplNode #" + text_of(papa->position) +
                ", which is left out");
    } else if (holder != nullptr) {
      leave_out("repeats the Index " + text_of(index) + " of ReplNode #" + text_of(holder->position));
    } else {
      host_index_node_s* node = m_host_tree->insert_host(index, papa->node->host_index, item);
      node->position = position;
      met.back().node = node;
      ++found;
    }
  }
  return found;
}

bool scenario_conf_c::_host_tree_current() const {
  return m_hosts_of_tree == m_tree && m_tree != nullptr && m_tree->deletions() == m_hosts_generation;
}

bool scenario_conf_c::_check_host_tree(xmc_validity_c* validity) const {
  if (!_host_tree_current()) {
    _add_path_finding(validity, 0, ch_data_s::k_no_entry, 36, "ReplNode", nullptr,
                      "Items of the tree have been replaced or removed since its hosts were read: no host can be checked");
    return false;
  }
  for (const lost_host_s& lost : m_host_tree->lost()) {
    _add_path_finding(validity, 0, ch_data_s::k_no_entry, 36, "ReplNode.CommonHostProps.Index",
                      lost.index_text.empty() ? nullptr : lost.index_text.c_str(), lost.reason.c_str());
  }
  return m_host_tree->lost().empty();
}

host_index_node_s* scenario_conf_c::find_host(uint64_t host, utl_stream_c* why) const {
  auto refuse = [&](const std::string& detail) -> host_index_node_s* {
    if (why != nullptr) {
      *why << '\x01' << "Unable to find host node with index " << static_cast<unsigned long long>(host);
      if (!detail.empty()) *why << ": " << detail.c_str();
    }
    return nullptr;
  };
  if (!_host_tree_current()) return refuse("items of the tree have been replaced or removed since its hosts were read");
  // A number that a left-out host states too names no single host: no answer for either.
  if (const lost_host_s* lost = m_host_tree->lost_claiming(host)) return refuse(lost->reason);
  host_index_node_s* node = m_host_tree->find(host);
  if (node != nullptr && node->repl_node != nullptr) return node;
  if (!m_host_tree->lost().empty()) {
    return refuse("the host tree is incomplete, " + m_host_tree->lost().front().reason);
  }
  return refuse("");
}

std::vector<uint64_t> scenario_conf_c::_hosts() const {
  std::vector<uint64_t> hosts;
  for (uint64_t host = host_index_tree_c::k_master; host != 0 && _host_tree_current();
       host = m_host_tree->next_host_index(host)) {
    if (find_host(host, nullptr) != nullptr) hosts.push_back(host);
  }
  return hosts;
}

uint64_t scenario_conf_c::_host_of_item(const xml_item_c* item) const {
  // The items of a host the tree leaves out belong to no host: its number names another or none.
  for (const generic_node_c* n = item; n != nullptr; n = n->parent) {
    const xmc_item_c* typed = xmc_item_c::cast(const_cast<generic_node_c*>(n));
    if (!labelled(typed, "ReplNode")) continue;
    if (_host_tree_current() && m_host_tree->lost_of(typed) != nullptr) return 0;
    break;
  }
  return host_of_item(item);
}

bool scenario_conf_c::_check_index_write(uint64_t host, const char* text, zqtr_entry_c& tr) const {
  // The master is host 1; any other host keeps a number no other host of the file states.
  int64_t n = 0;
  if (text == nullptr || !mix_n::parse_formatted_integer_string(text, n)) return true;  // the type check says why
  const uint64_t index = static_cast<uint64_t>(n);
  const host_index_node_s* own = find_host(host, nullptr);
  if (own == nullptr) return true;  // the write itself reports the missing host
  const char* why = nullptr;
  std::string detail;
  if (n < static_cast<int64_t>(host_index_tree_c::k_master) || index > host_index_tree_c::k_max_host) {
    detail = std::string("host numbers lie between 1 and ") + text_of(host_index_tree_c::k_max_host);
    why = detail.c_str();
  } else if (host == host_index_tree_c::k_master && index != host_index_tree_c::k_master) {
    why = "the master is host 1";
  } else if (host != host_index_tree_c::k_master && index == host_index_tree_c::k_master) {
    why = "1 is the master's";
  } else if (index != host) {
    const host_index_node_s* holder = m_host_tree->find(index);
    const lost_host_s* lost = m_host_tree->lost_claiming(index);
    if (holder != nullptr || lost != nullptr) {
      detail = "ReplNode #" + text_of(holder != nullptr ? holder->position : lost->position) + " of the file has it";
      why = detail.c_str();
    }
  }
  if (why == nullptr) return true;
  tr.print(ZQTR_FAIL, __LINE__, "Unable to set \"%s.%s\" of host %llu to \"%s\", %s\n", "CommonHostProps", "Index",
           static_cast<unsigned long long>(host), text, why);
  return false;
}

uint64_t scenario_conf_c::_build_root_dirs() {
  uint64_t total = 0;
  for (uint64_t index = host_index_tree_c::k_master; index != 0; index = m_host_tree->next_host_index(index)) {
    host_index_node_s* node = m_host_tree->find(index);
    node->root_dirs.delete_all();
    xmc_item_c* props = node->repl_node == nullptr ? nullptr : host_props(node->repl_node);
    if (props == nullptr) continue;
    // The host's own RootDir objects: below its properties, never in another host.
    for (xml_item_c* at = props->first_item(); at != nullptr;) {
      xmc_item_c* item = xmc_item_c::cast(at);
      const bool root_dir = labelled(item, "RootDir");
      if (root_dir) {
        node->root_dirs.append(new xmc_root_dir_c(item));
        ++total;
      }
      at = xmc_item_c::walk_next(at, props, !root_dir && !labelled(item, "ReplNode") && xmc_item_c::enters(at));
    }
  }
  return total;
}
