#include "stats_mng/stats_saver.h"

#include "file/file.h"
#include "file/file_manipulation.h"
#include "file/file_mode.h"
#include "file/file_prop.h"
#include "file/path_n.h"
#include "file/writer_lock.h"
#include "platform/thl/mix.h"
#include "platform/trc/zqtr.h"
#include "platform/thl/library_statics.h"
#include "stats_mng/stats_saver_lock.h"
#include "stats_mng/state_scan.h"
#include "utl/multi_lang.h"
#include "utl/utl.h"
#include "xml/xml_doc.h"
#include "xml/xml_tree.h"

#include <atomic>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <memory>
#include <string>

const char* const k_state_names[4] = {"Running", "Stop", "Sync", "Unknown"};

namespace {

const char* k_file = "stats_saver";
// The mode of the state directory: hidden and normal.
constexpr uint32_t k_state_dir_host_mode = 0x82;
// A temporary file this old whose writer no longer runs is a leftover.
constexpr uint64_t k_leftover_age_seconds = 120;

// The state files of the process are changed one at a time, each from its load to its rename (the
// section is recursive: the writers below take it again).
thl_crit_section_c* state_files_lock() {
  return &library_statics_n::crit_section(library_statics_n::CS_STATE_FILES);
}

}  // namespace

// ---- stats_saver_c

stats_saver_c::stats_saver_c(root_directory_source_c* configuration, uint32_t scenario_number,
                             const char* scenario_dir, const char* prefix, const char* scenario_name,
                             bool several_root_dirs)
    : m_configuration(configuration), m_scenario_number(scenario_number), m_several_root_dirs(several_root_dirs) {
  if (scenario_dir != nullptr) m_scenario_dir << scenario_dir;
  if (prefix != nullptr) m_prefix << prefix;
  if (scenario_name != nullptr) m_scenario_name << scenario_name;
}

stats_saver_c::~stats_saver_c() = default;

bool stats_saver_c::get_state_dir(utl_stream_c& out) const {
  // A longer directory would be cut somewhere on the way and name another one.
  if (m_scenario_dir.length() == 0 || m_scenario_dir.length() > MAX_SCENARIO_DIR_LENGTH) return false;
  append_state_directory(m_scenario_dir.c_str(), m_prefix.c_str(), out);
  return true;
}

const char* stats_saver_c::get_file_path(utl_stream_c& out) {
  out << '\x01';
  if (!get_state_dir(out)) return nullptr;
  out << "/" << static_cast<unsigned int>(m_scenario_number) << "_stats.xml";
  return out.c_str();
}

bool stats_saver_c::_load(const char* path, xml_tree_c& tree) {
  ZQTR_SCOPE(tr, "stats_saver_c::_load", k_file);
  // Read as the queries read it (a link in its place followed to the file the change then
  // replaces): what is kept of the old records is what a query would have seen.
  std::string content;
  xml_document_c doc;
  const DWORD error = file_manipulation_n::read_file(path, content, k_max_records_file_size);
  bool readable = true;
  if (error == ERROR_SUCCESS) {
    if (doc.load_bytes(content.data(), content.size())) tree.from_document(doc);
  } else if (error == ERROR_NOT_SUPPORTED) {
    // A pipe or a device in the file's place (or where a link in it leads) is somebody else's: it
    // is neither read nor replaced.
    tr.print_nl(ZQTR_FAIL, __LINE__, "Unable to write %s: it is no regular file (a pipe or a device); nothing is written.",
                path);
    readable = false;
  } else if (!file_manipulation_n::is_missing_error(error)) {
    // A file that is there but cannot be read holds records nobody could keep: writing the new
    // one alone would lose them.
    utl_stream_c reason;
    tr.print_nl(ZQTR_FAIL, __LINE__, "Unable to read %s (%s): nothing is written, its records would be lost.", path,
                utl_n::get_error_text(reason, static_cast<int>(error)));
    readable = false;
  }
  if (tree.root == nullptr) tree.attach(new xml_item_c("stats_saver"), nullptr, true);
  return readable;
}

void stats_saver_c::_render(xml_tree_c& tree, utl_stream_c& text) {
  text << '\x01';
  xml_document_c doc;
  tree.to_document(doc);
  text._add_memory(tree.get_text_size());
  doc.write_to_stream(nullptr, text, true);
}

void stats_saver_c::_hide_state_dir() {
  utl_stream_c state_dir;
  if (!get_state_dir(state_dir)) return;
  file_mode_c mode;
  mode.set_hostmode(k_state_dir_host_mode);
  file_prop_access_c properties;
  properties.set_mode_to_disk(state_dir.c_str(), mode);
}

void stats_saver_c::_remove_leftovers(const char* path) {
  ZQTR_SCOPE(tr, "stats_saver_c::_remove_leftovers", k_file);
  const std::string target = path;
  const size_t slash = target.find_last_of('/');
  const std::string directory = slash == std::string::npos ? std::string() : target.substr(0, slash + 1);
  const std::string name = target.substr(slash == std::string::npos ? 0 : slash + 1);
  std::unique_ptr<wchar_t[]> pattern = path_n::wide_path((target + ".*.tmp").c_str(), true);
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileW(pattern.get(), &found);
  if (search == INVALID_HANDLE_VALUE) return;
  const uint32_t own = static_cast<uint32_t>(GetCurrentProcessId());
  // A process id says nothing about writers on other hosts (a state directory on a share): only
  // files untouched for a while are taken, long after any writer would have renamed them.
  const uint64_t now = static_cast<uint64_t>(std::time(nullptr)) * 10000000ull + 116444736000000000ull;
  do {
    if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
    const uint64_t written = utl_n::i32x32to64(found.ftLastWriteTime.dwLowDateTime, found.ftLastWriteTime.dwHighDateTime);
    if (written + k_leftover_age_seconds * 10000000ull > now) continue;
    char entry[PATH_BUFFER_SIZE];
    if (multi_lang_str_n::wide_to_utf8(found.cFileName, entry, sizeof entry) == nullptr) continue;
    // NAME.<process>.<counter>.tmp, left by a writer that ended between writing and renaming.
    const std::string leftover = entry;
    if (leftover.size() <= name.size() + 5 || leftover.compare(0, name.size() + 1, name + ".") != 0) continue;
    const std::string middle = leftover.substr(name.size() + 1, leftover.size() - name.size() - 5);
    const size_t dot = middle.find('.');
    if (dot == 0 || dot == std::string::npos || dot > 10 ||
        middle.find_first_not_of("0123456789.") != std::string::npos || middle.find('.', dot + 1) != std::string::npos) {
      continue;
    }
    const unsigned long long process = std::strtoull(middle.substr(0, dot).c_str(), nullptr, 10);
    if (process > UINT32_MAX || static_cast<uint32_t>(process) == own || mix_n::process_exists(static_cast<uint32_t>(process))) {
      continue;
    }
    const std::string full = directory + leftover;
    if (DeleteFileW(path_n::wide_path(full.c_str(), true).get())) {
      tr.print(ZQTR_FS, __LINE__, "Removed %s, left by process %llu that no longer runs\n", full.c_str(), process);
    }
  } while (FindNextFileW(search, &found));
  FindClose(search);
}

bool stats_saver_c::_replace_file(const char* path, const utl_stream_c& text) {
  _remove_leftovers(path);
  return file_manipulation_n::replace_file_contents(path, text.c_str(), static_cast<size_t>(text.length()));
}

bool stats_saver_c::set_sync_state(uint64_t host_index, bool synced, int64_t time) {
  ZQTR_SCOPE(tr, "stats_saver_c::set_sync_state", k_file);
  utl_stream_c path;
  if (get_file_path(path) == nullptr) return false;
  // Load, change and write under the file's writer lock: two writers recording at once, threads or
  // processes, each keep the other's change.
  change_lock_c change(*this, path.c_str());
  if (!change.held()) return false;
  thl_lock_c lock(state_files_lock());
  xml_tree_c tree;
  if (!_load(path.c_str(), tree)) return false;
  tree.root->set_attr("ScenarioID", static_cast<unsigned int>(m_scenario_number));
  xml_item_c* host = nullptr;
  for (xml_item_c* child = tree.root->first_item(); child != nullptr && host == nullptr; child = child->next_item()) {
    labeled_value_c* index = child->find_attr("HostIndex");
    if (index != nullptr && index->as_uint64() == host_index) host = child;
  }
  if (host == nullptr) {
    host = xml_item_c::add_child("host", tree.root);
    host->set_attr("HostIndex", static_cast<unsigned long long>(host_index));
  }
  host->set_attr("IsSyncReplicated", synced);
  host->set_attr("IsSyncReplicatedTime", static_cast<long long>(time));
  utl_stream_c text;
  _render(tree, text);
  return write_file(text);
}

bool stats_saver_c::write_file(const utl_stream_c& text) {
  ZQTR_SCOPE(tr, "stats_saver_c::write_file", k_file);
  utl_stream_c path;
  if (get_file_path(path) == nullptr) return false;
  // A write of its own (not the end of a change) waits its turn like a change.
  change_lock_c change(*this, path.c_str());
  if (!change.held()) return false;
  thl_lock_c lock(state_files_lock());
  // The old file stays until the new one takes its place.
  file_manipulation_n::create_directory(path.c_str(), true);
  _hide_state_dir();
  return _replace_file(path.c_str(), text);
}

stats_saver_c::change_lock_c::change_lock_c(stats_saver_c& saver, const char* path) : m_saver(saver) {
  // The change under way in this thread holds it already (a change ends with write_file).
  const unsigned long self = static_cast<unsigned long>(GetCurrentThreadId());
  if (saver.m_changing_thread.load() == self) {
    m_nested = true;
    return;
  }
  if (!m_lock.acquire(path, file_writer_lock_c::k_default_wait_ms) &&
      file_manipulation_n::is_missing_error(GetLastError())) {
    // The lock lies in the state directory, made as the first state file's write would make it.
    file_manipulation_n::create_directory(path, true);
    saver._hide_state_dir();
    m_lock.acquire(path, file_writer_lock_c::k_default_wait_ms);
  }
  if (m_lock.held()) saver.m_changing_thread.store(self);
}

stats_saver_c::change_lock_c::~change_lock_c() {
  if (m_lock.held()) m_saver.m_changing_thread.store(0);
}

// ---- stats_saver_ex_c

const char* stats_saver_ex_c::get_file_path(utl_stream_c& out) {
  out << '\x01';
  if (!get_state_dir(out)) return nullptr;
  out << "/" << "stats.xml";
  return out.c_str();
}

bool stats_saver_ex_c::write_file(const utl_stream_c& text) {
  ZQTR_SCOPE(tr, "stats_saver_ex_c::write_file", k_file);
  utl_stream_c path;
  if (get_file_path(path) == nullptr) return false;
  change_lock_c change(*this, path.c_str());
  if (!change.held()) return false;
  thl_lock_c lock(state_files_lock());
  if (!file_manipulation_n::if_exists(path.c_str(), nullptr)) {
    file_manipulation_n::create_directory(path.c_str(), true);
    _hide_state_dir();
  }
  return _replace_file(path.c_str(), text);
}

xml_item_c* stats_saver_ex_c::_scenario_element(xml_tree_c& tree, uint64_t host_index) {
  xml_item_c* element = tree.root->first_item();
  if (element != nullptr) return element;
  element = xml_item_c::add_child("Scenario", tree.root);
  element->set_attr("HostIndex", static_cast<unsigned long long>(host_index));
  element->set_attr("ScenarioID", static_cast<unsigned int>(m_scenario_number));
  element->set_attr("ScenarioName", m_scenario_name.c_str());
  return element;
}

bool stats_saver_ex_c::_set_state(utl_stream_c& path, uint64_t host_index, bool running) {
  ZQTR_SCOPE(tr, "stats_saver_ex_c::_set_state", k_file);
  // The file's writer lock first (it may wait for another process), then the process's own.
  change_lock_c change(*this, path.c_str());
  if (!change.held()) return false;
  thl_lock_c lock(state_files_lock());
  xml_tree_c tree;
  if (!_load(path.c_str(), tree)) return false;
  if (!_name_can_be_stored(tree, tr)) return false;
  xml_item_c* element = _scenario_element(tree, host_index);
  labeled_value_c* state = element->find_attr("State");
  if (state != nullptr && running && utl_n::ascii_compare_nocase(state->as_string(), "Sync") == 0) {
    tr.print_nl(ZQTR_PROGRESS, __LINE__, "Not need to set the scenario state to run when in sync state sc_id(%u).",
                static_cast<unsigned int>(m_scenario_number));
  } else {
    element->set_attr("State", running ? k_state_names[STATE_RUNNING] : k_state_names[STATE_STOP]);
  }
  utl_stream_c text;
  _render(tree, text);
  return write_file(text);
}

bool stats_saver_ex_c::_set_sync_state(utl_stream_c path, uint64_t host_index, bool synced, int64_t time) {
  ZQTR_SCOPE(tr, "stats_saver_ex_c::_set_sync_state", k_file);
  // The file's writer lock first (it may wait for another process), then the process's own.
  change_lock_c change(*this, path.c_str());
  if (!change.held()) return false;
  thl_lock_c lock(state_files_lock());
  xml_tree_c tree;
  if (!_load(path.c_str(), tree)) return false;
  if (!_name_can_be_stored(tree, tr)) return false;
  xml_item_c* element = _scenario_element(tree, host_index);
  element->set_attr("IsSyncReplicated", synced);
  element->set_attr("State", synced ? k_state_names[STATE_RUNNING] : k_state_names[STATE_SYNC]);
  element->set_attr("IsSyncReplicatedTime", static_cast<long long>(time));
  utl_stream_c text;
  _render(tree, text);
  return write_file(text);
}

template <class F>
bool stats_saver_ex_c::_for_each_root(uint64_t host_index, bool stop_at_failure, F write) {
  bool result = true;
  // The count comes from host 1, the directories from the given host; a host with fewer root
  // directories has only its own written.
  const size_t own = m_configuration == nullptr ? 0 : m_configuration->root_directory_count(host_index);
  if (own == 0) {
    // A host without a root directory (or one the scenario does not have) has nowhere to record.
    ZQTR_SCOPE(tr, "stats_saver_ex_c::_for_each_root", k_file);
    tr.print_nl(ZQTR_FAIL, __LINE__, "Host %I64u has no root directory: its state is not written.",
                static_cast<unsigned long long>(host_index));
    return false;
  }
  for (size_t i = 0; m_configuration != nullptr && i < m_configuration->root_directory_count(1) && i < own; ++i) {
    utl_stream_c root;
    if (!m_configuration->root_directory(host_index, i, root)) {
      // A root directory without a path has no state file: that is not written, not success.
      ZQTR_SCOPE(tr, "stats_saver_ex_c::_for_each_root", k_file);
      tr.print_nl(ZQTR_FAIL, __LINE__, "Root directory %u of host %I64u has no path: its state is not written.",
                  static_cast<unsigned>(i), static_cast<unsigned long long>(host_index));
      result = false;
      if (stop_at_failure) break;
      continue;
    }
    m_scenario_dir << '\x01' << root;
    utl_stream_c path;
    if (get_file_path(path) == nullptr) return false;
    if (stop_at_failure) {
      if (result) result = write(path);
    } else {
      result = write(path) && result;
    }
  }
  return result;
}

bool stats_saver_ex_c::is_storable_name(const char* name) { return xml_document_c::is_storable_text(name); }

bool stats_saver_ex_c::_name_can_be_stored(xml_tree_c& tree, zqtr_entry_c& tr) const {
  // Only a new state element takes the name.
  if (tree.root->first_item() != nullptr || is_storable_name(m_scenario_name.c_str())) return true;
  tr.print_nl(ZQTR_FAIL, __LINE__,
              "The scenario name holds a byte 0xFF, a line end or another control character, which a state file cannot hold: nothing is written.");
  return false;
}

bool stats_saver_ex_c::set_state(uint64_t host_index, bool running) {
  ZQTR_SCOPE(tr, "stats_saver_ex_c::set_state", k_file);
  if (!m_several_root_dirs) {
    utl_stream_c path;
    if (get_file_path(path) == nullptr) return false;
    return _set_state(path, host_index, running);
  }
  return _for_each_root(host_index, true,
                        [&](utl_stream_c& path) { return _set_state(path, host_index, running); });
}

bool stats_saver_ex_c::set_sync_state(uint64_t host_index, bool synced, int64_t time) {
  ZQTR_SCOPE(tr, "stats_saver_ex_c::set_sync_state", k_file);
  if (!m_several_root_dirs) {
    utl_stream_c path;
    if (get_file_path(path) == nullptr) return false;
    return _set_sync_state(path, host_index, synced, time);
  }
  return _for_each_root(host_index, false,
                        [&](utl_stream_c& path) { return _set_sync_state(path, host_index, synced, time); });
}

bool stats_saver_ex_c::get_parent_file_path(utl_stream_c& out) {
  out << '\x01';
  if (m_scenario_dir.length() == 0) return false;
  std::unique_ptr<char[]> normalised(new char[PATH_BUFFER_SIZE]());
  path_n::standard_dir_path(m_scenario_dir.c_str(), normalised.get(), true);
  std::string dir = normalised.get();
  while (dir.size() > 1 && dir.back() == '/') dir.pop_back();
  const size_t cut = dir.rfind('/');
  std::string parent;
  if (cut != std::string::npos) {
    parent = dir.substr(0, cut);
  } else if (dir.size() >= 2 && dir[1] == ':') {
    parent = dir.substr(0, 2);  // a drive
  } else {
    return false;
  }
  out << parent.c_str();
  if (!out.ends_with("/", true)) out << "/";
  out << m_prefix << "/" << "stats.xml";
  return true;
}

void stats_saver_ex_c::state_index_from_name(const char* text, unsigned* index) {
  if (index == nullptr) return;
  *index = STATE_UNKNOWN;
  if (text == nullptr) return;
  if (utl_n::ascii_compare_nocase(text, k_state_names[STATE_SYNC]) == 0) {
    *index = STATE_SYNC;
  } else if (utl_n::ascii_compare_nocase(text, k_state_names[STATE_STOP]) == 0) {
    *index = STATE_STOP;
  } else if (utl_n::ascii_compare_nocase(text, k_state_names[STATE_RUNNING]) == 0) {
    *index = STATE_RUNNING;
  }
}

namespace {

// The value of the last attribute of that name (the one a typed tree keeps), null when none.
const char* attribute_text(xml_node_c* node, const char* name, bool& found) {
  found = false;
  const char* value = nullptr;
  if (node->attributes == nullptr) return nullptr;
  for (xml_attr_c* attribute = node->attributes->first(); attribute != nullptr; attribute = node->attributes->next()) {
    if (attribute->name() != nullptr && std::strcmp(attribute->name(), name) == 0) {
      found = true;
      value = attribute->value();
    }
  }
  return value;
}

// A value read from a state file, converted as a configuration value converts it (a short text
// needs no allocation).
value_c value_of(const char* text) {
  value_c value;
  value.set_text(text);
  return value;
}

}  // namespace

namespace {

// The three texts of the first element below a parse tree's root, as the scan gives them.
state_scan_n::texts_s texts_of(xml_node_c* element) {
  state_scan_n::texts_s texts;
  bool found = false;
  // An attribute read from a file always has a text, empty or not.
  const char* text = attribute_text(element, "IsSyncReplicated", found);
  if (found) texts.synced = text != nullptr ? text : "";
  text = attribute_text(element, "State", found);
  if (found) texts.state = text != nullptr ? text : "";
  text = attribute_text(element, "IsSyncReplicatedTime", found);
  if (found) texts.time = text != nullptr ? text : "";
  return texts;
}

// A state file's bytes that fit this buffer on the stack are read with one open and scanned in
// place; a larger file (none the writers write) is read again whole.
constexpr size_t k_state_buffer_size = 4096;

}  // namespace

bool stats_saver_ex_c::_reading_from_texts(const state_scan_n::texts_s& texts, state_reading_s& out, const char* path,
                                           zqtr_entry_c& tr) {
  out.time = 0;
  out.synced = false;
  out.read = false;
  if (texts.synced != nullptr) {
    out.synced = value_of(texts.synced).as_bool();
  } else {
    tr.print_nl(ZQTR_PROGRESS, __LINE__, "Fail to get the label IsSyncReplicated in the file %s.", path);
  }
  if (texts.state == nullptr) {
    tr.print_nl(ZQTR_PROGRESS, __LINE__, "Fail to get the label State in the file %s.", path);
    return false;
  }
  state_index_from_name(value_of(texts.state).as_string(), &out.state_index);
  if (texts.time != nullptr) out.time = value_of(texts.time).as_int64();
  out.read = true;
  return true;
}

bool stats_saver_ex_c::state_from_document(const char* data, size_t length, state_reading_s& out, const char* path) {
  ZQTR_SCOPE(tr, "stats_saver_ex_c::_get_state_timestamp", k_file);
  out.time = 0;
  out.synced = false;
  out.read = false;
  xml_document_c document;
  if (!document.load_bytes(data, length) || document.root() == nullptr) {
    tr.print_nl(ZQTR_FAIL, __LINE__, "Fail to load file %s.", path);
    return false;
  }
  // The values are read from the parse tree itself, as a typed tree would give them.
  xml_node_c* element = document.root()->first_node();
  if (element == nullptr) {
    tr.print_nl(ZQTR_FAIL, __LINE__, "Fail to parse file %s.", path);
    return false;
  }
  return _reading_from_texts(texts_of(element), out, path, tr);
}

bool stats_saver_ex_c::state_from_scan(char* data, size_t length, state_reading_s& out, bool& decided,
                                       const char* path) {
  state_scan_n::texts_s texts;
  decided = state_scan_n::scan(data, length, texts);
  if (!decided) return false;
  ZQTR_SCOPE(tr, "stats_saver_ex_c::_get_state_timestamp", k_file);
  return _reading_from_texts(texts, out, path, tr);
}

stats_saver_ex_c::state_file_e stats_saver_ex_c::read_state_file(const char* path, bool standard,
                                                                 state_reading_s& out) {
  out.read = false;
  out.time = 0;
  out.synced = false;
  // One open and read into the stack: that there is no such file is the open's own answer.
  wchar_t wide[PATH_BUFFER_SIZE];
  if (standard) {
    path_n::standard_path_to_wide_char_path(path, wide, true);
  } else {
    path_n::path_to_wide_char_path(path, wide, true);
  }
  char bytes[k_state_buffer_size];
  size_t length = 0;
  bool to_the_end = false;
  DWORD error = file_manipulation_n::read_small_file(wide, bytes, sizeof bytes, length, to_the_end);
  if (error == ERROR_SUCCESS) {
    bool decided = false;
    state_from_scan(bytes, length, out, decided, path);
    if (decided) return out.read ? STATE_FILE_READ : STATE_FILE_NOT_STATE;
    // Bytes the scan leaves alone (as they were) go to the full reader. When their end was taken
    // from a short read, the file is read again to a read that brings nothing first: a read cut
    // short makes bytes the scan does not take (it takes only a whole document), and the full
    // reader's judgement of them would be no judgement of the file.
    if (to_the_end) return state_from_document(bytes, length, out, path) ? STATE_FILE_READ : STATE_FILE_NOT_STATE;
    error = ERROR_MORE_DATA;
  }
  if (error == ERROR_MORE_DATA) {
    std::string content;
    error = file_manipulation_n::read_file(path, content, k_max_state_file_size);
    if (error == ERROR_SUCCESS) {
      return state_from_document(content.data(), content.size(), out, path) ? STATE_FILE_READ : STATE_FILE_NOT_STATE;
    }
  }
  if (file_manipulation_n::is_missing_error(error)) return STATE_FILE_MISSING;
  ZQTR_SCOPE(tr, "stats_saver_ex_c::_get_state_timestamp", k_file);
  utl_stream_c reason;
  tr.print_nl(ZQTR_FAIL, __LINE__, "Can not open XML file %s (%s)", path,
              utl_n::get_error_text(reason, static_cast<int>(error)));
  tr.print_nl(ZQTR_FAIL, __LINE__, "Fail to load file %s.", path);
  SetLastError(error);  // the caller's words for why
  return error == ERROR_FILE_TOO_LARGE ? STATE_FILE_TOO_LARGE : STATE_FILE_UNREADABLE;
}

bool stats_saver_ex_c::_get_state_timestamp(const char* path, unsigned* state_index, int64_t* time, bool* synced) {
  state_reading_s reading;
  reading.state_index = *state_index;
  const state_file_e result = read_state_file(path, false, reading);
  *time = reading.time;
  *synced = reading.synced;
  *state_index = reading.state_index;
  if (result == STATE_FILE_MISSING) {
    ZQTR_SCOPE(tr, "stats_saver_ex_c::_get_state_timestamp", k_file);
    tr.print_nl(ZQTR_FAIL, __LINE__, "File %s does not exist.", path);
  }
  return result == STATE_FILE_READ;
}

namespace {

// dir, a '/' unless it ends in one, the state directory's name and "/stats.xml", into out
// (PATH_BUFFER_SIZE bytes): false when that does not fit.
bool state_file_of(const char* dir, size_t length, char* out) {
  static const char k_rest[] = "/stats.xml";
  const size_t prefix = std::strlen(STATE_DIRECTORY_NAME);
  const bool slash = length > 0 && dir[length - 1] == '/';
  if (length + (slash ? 0 : 1) + prefix + sizeof k_rest > PATH_BUFFER_SIZE) return false;
  std::memcpy(out, dir, length);
  size_t at = length;
  if (!slash) out[at++] = '/';
  std::memcpy(out + at, STATE_DIRECTORY_NAME, prefix);
  std::memcpy(out + at + prefix, k_rest, sizeof k_rest);
  return true;
}

// The parent directory's state file of dir (standard form), as get_parent_file_path makes it:
// the directory without trailing '/' cut at its last '/', or a drive's "X:". False without parent.
bool parent_state_file_of(const char* dir, size_t length, char* out) {
  while (length > 1 && dir[length - 1] == '/') --length;
  size_t cut = length;
  while (cut > 0 && dir[cut - 1] != '/') --cut;
  if (cut > 0) return state_file_of(dir, cut - 1, out);
  if (length >= 2 && dir[1] == ':') return state_file_of(dir, 2, out);
  return false;
}

}  // namespace

bool stats_saver_ex_c::own_state_file_path(const char* directory, char* out) {
  const size_t length = directory == nullptr ? 0 : std::strlen(directory);
  return length > 0 && length <= MAX_SCENARIO_DIR_LENGTH && state_file_of(directory, length, out);
}

bool stats_saver_ex_c::parent_state_file_path(const char* directory, char* out) {
  return directory != nullptr && parent_state_file_of(directory, std::strlen(directory), out);
}

stats_saver_ex_c::state_query_e stats_saver_ex_c::query_state(const char* directory, state_reading_s& counted) {
  ZQTR_SCOPE(tr, "stats_saver_ex_c::get_sync_state", k_file);
  counted = state_reading_s();
  const size_t length = directory == nullptr ? 0 : std::strlen(directory);
  char own_path[PATH_BUFFER_SIZE];
  state_reading_s own, parent;
  if (length == 0 || length > MAX_SCENARIO_DIR_LENGTH || !state_file_of(directory, length, own_path)) {
    if (!file_manipulation_n::if_exists(directory, nullptr)) return QUERY_NO_DIRECTORY;
    tr.print_nl(ZQTR_FAIL, __LINE__, "Fail to get path %s.", directory == nullptr ? "" : directory);
    return QUERY_NOT_READ;
  }
  const state_file_e own_result = read_state_file(own_path, true, own);
  if (own_result == STATE_FILE_MISSING) {
    if (!file_manipulation_n::if_exists(directory, nullptr)) return QUERY_NO_DIRECTORY;
    tr.print_nl(ZQTR_FAIL, __LINE__, "File %s does not exist.", own_path);
  }
  char parent_path[PATH_BUFFER_SIZE];
  if (!parent_state_file_of(directory, length, parent_path)) {
    tr.print_nl(ZQTR_FAIL, __LINE__, "Fail to get ParentPath %s.", directory);
    parent_path[0] = '\0';  // read as no file, as before
  }
  if (read_state_file(parent_path, true, parent) == STATE_FILE_MISSING) {
    tr.print_nl(ZQTR_FAIL, __LINE__, "File %s does not exist.", parent_path);
  }
  if (!own.read && !parent.read) return QUERY_NOT_READ;
  counted = later_of(own, parent);
  return QUERY_READ;
}

bool stats_saver_ex_c::get_sync_state(unsigned* state_index, bool* synced, int64_t* time) {
  ZQTR_SCOPE(tr, "stats_saver_ex_c::get_sync_state", k_file);
  utl_stream_c own;
  if (get_file_path(own) == nullptr) {
    tr.print_nl(ZQTR_FAIL, __LINE__, "Fail to get path %s.", m_scenario_dir.c_str());
    return false;
  }
  utl_stream_c parent;
  if (!get_parent_file_path(parent)) {
    tr.print_nl(ZQTR_FAIL, __LINE__, "Fail to get ParentPath %s.", m_scenario_dir.c_str());
    parent << '\x01';
  }
  *state_index = STATE_UNKNOWN;
  state_reading_s own_reading, parent_reading;
  own_reading.read = _get_state_timestamp(own.c_str(), &own_reading.state_index, &own_reading.time, &own_reading.synced);
  parent_reading.read =
      _get_state_timestamp(parent.c_str(), &parent_reading.state_index, &parent_reading.time, &parent_reading.synced);
  if (!own_reading.read && !parent_reading.read) return false;
  const state_reading_s& counted = later_of(own_reading, parent_reading);
  *state_index = counted.state_index;
  *synced = counted.synced;
  if (time != nullptr) *time = counted.time;
  return true;
}
