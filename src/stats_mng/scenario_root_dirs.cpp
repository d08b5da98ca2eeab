#include "stats_mng/scenario_root_dirs.h"

size_t scenario_root_directories_c::root_directory_count(uint64_t host_index) {
  m_configuration.scenario_lock().lock_read();
  const host_index_node_s* node = m_configuration.host_tree().find(host_index);
  const size_t count = node == nullptr ? 0 : node->root_dirs.count();
  m_configuration.scenario_lock().unlock_read();
  return count;
}

bool scenario_root_directories_c::root_directory(uint64_t host_index, size_t index, utl_stream_c& path) {
  m_configuration.scenario_lock().lock_read();
  const host_index_node_s* node = m_configuration.host_tree().find(host_index);
  const root_dir_c* dir = node == nullptr || index >= node->root_dirs.count() ? nullptr : node->root_dirs.at(index);
  const bool found = dir != nullptr && dir->path() != nullptr && dir->path()[0] != '\0';
  if (found) path << '\x01' << dir->path();
  m_configuration.scenario_lock().unlock_read();
  return found;
}
