#include "stats_mng/scenario_root_dirs.h"

#include "platform/thl/thl_locks.h"

size_t scenario_root_directories_c::root_directory_count(uint64_t host_index) {
  multi_reader_lock_c lock(m_configuration.scenario_lock());
  // A host the tree left out, or a tree replaced since the hosts were read, has none.
  const host_index_node_s* node = m_configuration.find_host(host_index, nullptr);
  return node == nullptr ? 0 : node->root_dirs.count();
}

bool scenario_root_directories_c::root_directory(uint64_t host_index, size_t index, utl_stream_c& path) {
  multi_reader_lock_c lock(m_configuration.scenario_lock());
  const host_index_node_s* node = m_configuration.find_host(host_index, nullptr);
  const root_dir_c* dir = node == nullptr || index >= node->root_dirs.count() ? nullptr : node->root_dirs.at(index);
  const bool found = dir != nullptr && dir->path() != nullptr && dir->path()[0] != '\0';
  if (found) path << '\x01' << dir->path();
  return found;
}
