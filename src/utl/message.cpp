#include "utl/message.h"

#include "platform/thl/thl_locks.h"
#include "platform/trc/zqtr.h"
#include "platform/trc/zqtr_log_file.h"
#include "platform/win32/win32_api.h"
#include "utl/array.h"
#include "utl/utl.h"

#include <memory>
#include <sstream>

namespace {

std::string decode_escapes(const std::string& text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\\' && i + 1 < text.size()) {
      char c = text[i + 1];
      if (c == 'n' || c == 't' || c == '\\') {
        out += c == 'n' ? '\n' : (c == 't' ? '\t' : '\\');
        ++i;
        continue;
      }
    }
    out += text[i];
  }
  return out;
}

}  // namespace

bool message_store_c::is_identifier(const std::string& id) {
  if (id.size() != 7) return false;
  for (size_t i = 0; i < 7; ++i) {
    char c = id[i];
    if (i < 2 ? !(c >= 'A' && c <= 'Z') : !(c >= '0' && c <= '9')) return false;
  }
  return true;
}

bool message_store_c::_find_message(const char* id, utl_stream_c& out) {
  ZQTR_SCOPE(tr, "message_store_c::_find_message", "message_store");
  out << static_cast<char>(1);
  message_table_t& table = store();
  {
    // The text is copied while the lock is held: an unload may free it as soon as it is released.
    thl_lock_c lock(table.lock_object());
    if (table.count() == 0) tr.print(4, __LINE__, "Message hash count is zero, message file is not loaded\n");
    const char* text = static_cast<const char*>(table.find(id));
    if (text == nullptr) text = static_cast<const char*>(table.find("EG00347"));
    if (text != nullptr) {
      out << text;
      return true;
    }
  }
  tr.print(4, __LINE__, "Message not found for id %s\n", id ? id : "");
  out << "Message not found";
  return false;
}

long message_store_c::load_text(const std::string& text, std::vector<std::string>& problems) {
  ZQTR_SCOPE(tr, "message_store_c::load_text", "message_store");
  message_table_t& table = store();
  thl_lock_c lock(table.lock_object());
  long added = 0;
  std::istringstream lines(text);
  std::string line;
  for (int number = 1; std::getline(lines, line); ++number) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    size_t start = line.find_first_not_of(" \t");
    if (start == std::string::npos || line[start] == '#') continue;
    size_t end = line.find_first_of(" \t", start);
    std::string id = line.substr(start, end == std::string::npos ? std::string::npos : end - start);
    if (!is_identifier(id)) {
      problems.push_back("line " + std::to_string(number) + ": [" + id +
                         "] is not a message identifier (two capital letters and five digits)");
      continue;
    }
    std::string body;
    if (end != std::string::npos) {
      size_t body_start = line.find_first_not_of(" \t", end);
      if (body_start != std::string::npos) body = decode_escapes(line.substr(body_start));
    }
    if (table.find(id.c_str()) != nullptr) {
      problems.push_back("line " + std::to_string(number) + ": " + id + " appears again; the first text stays");
      continue;
    }
    const char* stored = message_store_c::_loaded_texts().add(body.c_str());
    table.append(id.c_str(), const_cast<char*>(stored));
    ++added;
  }
  for (const std::string& p : problems) tr.print(8, __LINE__, "Message file %s. Ignored\n", p.c_str());
  return added;
}

long message_store_c::load_file(const std::string& path, std::vector<std::string>& problems) {
  ZQTR_SCOPE(tr, "message_store_c::load_file", "message_store");
  std::string content;
  // Only a regular file is read (a pipe in its place is refused, never waited on).
  if (!zqtr_log_file_n::read_file(path, content, k_max_message_file)) {
    tr.print(4, __LINE__, "Unable to read the message file %s\n", path.c_str());
    return -1;
  }
  return load_text(content, problems);
}

void message_store_c::unload() {
  message_table_t& table = store();
  thl_lock_c lock(table.lock_object());
  table.clear();
  message_store_c::_loaded_texts().clear();
}

message_c::message_c(const char* id) {
  ZQTR_SCOPE(tr, "message_c::message_c", "message");
  const DWORD last_error = GetLastError();
  std::string upper = id ? id : "";
  for (char& c : upper) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  m_id << upper.c_str();
  utl_stream_c temp;
  {
    ZQTR_SCOPE(lookup, "message_store_c::message", "message_store");
    m_found = message_store_c::_find_message(m_id.c_str(), temp);
    if (!m_found) lookup.print(4, __LINE__, "Not found message with id %s\n", m_id.c_str());
  }
  m_text << temp;
  if (m_text.find("%%%") != nullptr) {
    utl_stream_c piece;
    if (last_error != 0) {
      piece << ": ";
      utl_n::get_error_text(piece, static_cast<int>(last_error));
    }
    m_text.replace("%%%", piece.c_str());
  }
  SetLastError(last_error);
}

message_c::~message_c() { ZQTR_SCOPE(tr, "message_cmessage_c::~message_c", "message"); }

namespace code_tables_n {

long code_of(ptr_string_list_c& table, const char* name) {
  void* data = table.lookup(name, true);
  return data == nullptr ? -1 : static_cast<long>(reinterpret_cast<uintptr_t>(data));
}

}  // namespace code_tables_n
