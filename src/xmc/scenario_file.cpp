// Scenario files: reading one into a configuration, and writing the configuration back without
// writing over a change another writer made meanwhile.
#include "xmc/scenario_conf.h"

#include "file/file_manipulation.h"
#include "file/path_n.h"
#include "file/replacement.h"
#include "platform/trc/zqtr.h"
#include "utl/multi_lang.h"
#include "utl/utl.h"
#include "xml/xml_doc.h"
#include "xmc/scenario_items.h"

#include <memory>
#include <string>

using scenario_items_n::same_text;

namespace {

const char* k_file = "scenario_conf";

// What a file held, in 64 bits (FNV-1a over its bytes, then its length).
uint64_t fingerprint(const char* data, size_t length) {
  uint64_t hash = 0xcbf29ce484222325ull;
  for (size_t i = 0; i < length; ++i) hash = (hash ^ static_cast<unsigned char>(data[i])) * 0x100000001b3ull;
  return (hash ^ length) * 0x100000001b3ull;
}

}  // namespace

bool scenario_conf_c::load_file(const char* path, utl_stream_c* reason, std::string* bytes) {
  ZQTR_SCOPE(tr, "scenario_conf_c::load_file", k_file);
  auto refuse = [&](const char* why) {
    tr.print(ZQTR_FAIL, __LINE__, "Unable to load scenario file %s, %s\n", path == nullptr ? "" : path, why);
    if (reason != nullptr) *reason << '\x01' << why;
    return false;
  };
  if (path == nullptr || path[0] == '\0') return refuse("no file named");
  // The file layer names files in UTF-8: another name would be looked for under a different one.
  if (!multi_lang_str_n::is_valid_utf8(path)) return refuse("its name is not UTF-8 text");
  // One open and read (links followed); a scenario is tens of kilobytes, and a file far beyond that
  // is refused as it is read, not turned into gigabytes of tree.
  std::string content;
  const DWORD error = file_manipulation_n::read_file(path, content, k_max_file_size);
  if (file_manipulation_n::is_missing_error(error)) return refuse("there is no such file");
  if (error == ERROR_FILE_TOO_LARGE) return refuse("it is larger than 16 MiB, which no scenario file is");
  if (error == ERROR_NOT_SUPPORTED) return refuse("it is no regular file");
  if (error == ERROR_ACCESS_DENIED) {
    // An open of a directory is answered as one without permission: the name says which it was.
    std::unique_ptr<wchar_t[]> wide = path_n::wide_path(path, true);
    const DWORD attributes = wide ? GetFileAttributesW(wide.get()) : INVALID_FILE_ATTRIBUTES;
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
      return refuse("it is a directory");
    }
  }
  if (error != ERROR_SUCCESS) {
    utl_stream_c text, why;
    why << "it cannot be read (" << utl_n::get_error_text(text, static_cast<int>(error)) << ")";
    return refuse(why.c_str());
  }
  if (!load_content(content, path, reason)) return false;
  utl_stream_c why;
  replacement_n::final_target(path, m_loaded_file, why);
  m_loaded_fingerprint = fingerprint(content.data(), content.size());
  if (bytes != nullptr) bytes->swap(content);
  return true;
}

bool scenario_conf_c::load_content(const std::string& content, const char* name, utl_stream_c* reason) {
  ZQTR_SCOPE(tr, "scenario_conf_c::load_file", k_file);
  xml_document_c doc;
  doc.set_xml_file(name);
  if (!doc.load_bytes(content.data(), content.size()) || doc.root() == nullptr) {
    // Where the reader stopped and why: a user who wrote the file can mend it.
    std::string why = "it cannot be read as an XML document";
    if (doc.load_problem().set) why += ": " + doc.load_problem().text();
    tr.print(ZQTR_FAIL, __LINE__, "Unable to load scenario file %s, %s\n", name == nullptr ? "" : name, why.c_str());
    if (reason != nullptr) *reason << '\x01' << why.c_str();
    return false;
  }
  return _load_document(doc, name == nullptr ? "" : name, reason);
}

bool scenario_conf_c::load_text(const char* text, utl_stream_c* reason) {
  ZQTR_SCOPE(tr, "scenario_conf_c::load_text", k_file);
  xml_document_c doc;
  if (text == nullptr || !doc.load_from_str(text) || doc.root() == nullptr) {
    tr.print(ZQTR_FAIL, __LINE__, "Unable to load scenario text, %s\n", "it cannot be read as an XML document");
    if (reason != nullptr) *reason << '\x01' << "it cannot be read as an XML document";
    return false;
  }
  return _load_document(doc, "the text", reason);
}

bool scenario_conf_c::_load_document(xml_document_c& doc, const char* path, utl_stream_c* reason) {
  ZQTR_SCOPE(tr, "scenario_conf_c::_load_document", k_file);
  auto refuse = [&](const char* why) {
    tr.print(ZQTR_FAIL, __LINE__, "Unable to load scenario file %s, %s\n", path, why);
    if (reason != nullptr) *reason << '\x01' << why;
    return false;
  };
  mixed_xmc_xml_tree_c* tree = new mixed_xmc_xml_tree_c;
  tree->from_document(doc);
  xmc_item_c* scenario = tree->root;
  if (scenario != nullptr && !(scenario->is_object() && same_text(xmc_item_c::attr_text(scenario, "label"), "Scenario"))) {
    scenario = same_text(xmc_item_c::attr_text(scenario, "label"), "ConfigDataHolder")
                   ? find_object(scenario, "Scenario")
                   : nullptr;
    if (scenario != nullptr) {
      // The Scenario becomes the root; what held it goes.
      tree->detach(scenario);
      tree->clear();
      tree->attach(scenario, nullptr, true);
    }
  }
  if (scenario == nullptr) {
    delete tree;
    return refuse("it holds no Scenario object");
  }
  single_writer_lock_c lock(m_scenario_lock);
  if (!lock.held()) {
    delete tree;
    return refuse("the configuration is being read by this thread");
  }
  m_host_tree->remove_all_but_root();
  delete m_tree;
  m_tree = tree;
  _read_basics();
  _build_host_tree();
  _build_root_dirs();
  _build_services();
  {
    // What was made from the previous tree's external content does not describe this one.
    thl_lock_c list_lock(m_object_confs_lock);
    m_object_confs.delete_all();
  }
  tr.print(ZQTR_PROGRESS, __LINE__, "Scenario file %s loaded\n", path);
  return true;
}

bool scenario_conf_c::hold_file(const char* path, utl_stream_c* reason, unsigned wait_ms) {
  ZQTR_SCOPE(tr, "scenario_conf_c::hold_file", k_file);
  m_file_lock.release();
  utl_stream_c why;
  if (path == nullptr || !replacement_n::final_target(path, m_locked_file, why) ||
      !m_file_lock.acquire(m_locked_file.c_str(), wait_ms, &why)) {
    if (reason != nullptr) *reason << '\x01' << why;
    return false;
  }
  return true;
}

bool scenario_conf_c::save_file(const char* path, utl_stream_c* reason) { return save_text(path, nullptr, 0, reason); }

bool scenario_conf_c::save_text(const char* path, const char* text, size_t length, utl_stream_c* reason) {
  ZQTR_SCOPE(tr, "scenario_conf_c::save_file", k_file);
  auto refuse = [&](const char* why) {
    tr.print(ZQTR_FAIL, __LINE__, "Unable to save scenario file %s, %s\n", path == nullptr ? "" : path, why);
    if (reason != nullptr) *reason << '\x01' << why;
    return false;
  };
  if (path == nullptr || path[0] == '\0') return refuse("no file named");
  utl_stream_c target, why;
  if (!replacement_n::final_target(path, target, why)) return refuse(why.c_str());
  // The writer lock from the check below to the rename (held already when hold_file took it).
  file_writer_lock_c own_lock;
  if (!(m_file_lock.held() && m_locked_file == target.c_str()) &&
      !own_lock.acquire(target.c_str(), file_writer_lock_c::k_default_wait_ms, &why)) {
    return refuse(why.c_str());
  }
  utl_stream_c rendered;
  if (text == nullptr) {
    multi_reader_lock_c lock(m_scenario_lock);
    if (!_check_mixed_tree(nullptr)) return refuse("the configuration holds no scenario tree");
    m_tree->write_to_stream(rendered, true);
    text = rendered.c_str();
    length = static_cast<size_t>(rendered.length());
  }
  if (m_loaded_file.length() > 0 && m_loaded_file == target.c_str()) {
    std::string current;
    const DWORD error = file_manipulation_n::read_file(target.c_str(), current, k_max_file_size);
    if (error == ERROR_SUCCESS && fingerprint(current.data(), current.size()) != m_loaded_fingerprint) {
      return refuse("another writer changed it since it was loaded (nothing was written: load it again and repeat "
                    "the change)");
    }
    if (error != ERROR_SUCCESS && !file_manipulation_n::is_missing_error(error)) {
      utl_stream_c error_text, message;
      message << "it cannot be read to see whether another writer changed it ("
              << utl_n::get_error_text(error_text, static_cast<int>(error)) << ")";
      return refuse(message.c_str());
    }
  }
  if (!file_manipulation_n::replace_file_contents(target.c_str(), text, length)) {
    utl_stream_c error_text, message;
    message << "it could not be replaced (" << utl_n::get_error_text(error_text, static_cast<int>(GetLastError()))
            << ")";
    return refuse(message.c_str());
  }
  m_loaded_file << '\x01' << target;
  m_loaded_fingerprint = fingerprint(text, length);
  return true;
}
