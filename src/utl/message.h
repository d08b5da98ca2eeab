// User-facing messages by identifier (two capital letters and five digits, as in "EG00347"), from
// the process-wide message store.
#ifndef STATS_MNG_UTL_MESSAGE_H
#define STATS_MNG_UTL_MESSAGE_H

#include "utl/hash_table.h"
#include "utl/utl_stream.h"

#include <cstddef>
#include <string>
#include <vector>

using message_table_t = utl_hash_base_ct<ptr_string_list_c, const char*>;

class message_store_c {
 public:
  // The largest message file read (a larger one is refused rather than read into memory).
  static constexpr size_t k_max_message_file = 64u << 20;

  // The store: 101 case-sensitive buckets, identifier to text, created empty at load.
  static message_table_t& store();

  // The text of id (or of "EG00347" when id is absent) appended to out; false, with out holding
  // "Message not found", when neither is in the store.
  static bool _find_message(const char* id, utl_stream_c& out);

  // Fills the store from a message file: UTF-8 lines "ID text" (the identifier, blanks, the text;
  // "\n", "\t" and "\\" in the text stand for a line end, a tab and a backslash); blank lines and
  // lines beginning with '#' are skipped. Returns the number of messages added, or -1 when the file
  // cannot be read; each line passed over is described in problems.
  static long load_file(const std::string& path, std::vector<std::string>& problems);
  static long load_text(const std::string& text, std::vector<std::string>& problems);

  // Empties the store and frees the texts it loaded.
  static void unload();

  static bool is_identifier(const std::string& id);

  // The texts the loader put into the store, freed when it is emptied.
  static class string_array_c& _loaded_texts();
};

class message_c {
 public:
  explicit message_c(const char* id);
  virtual ~message_c();
  message_c(const message_c&) = delete;
  message_c& operator=(const message_c&) = delete;

  const char* id() const { return m_id.c_str(); }
  const char* text() const { return m_text.c_str(); }
  bool found() const { return m_found; }

 private:
  utl_stream_c m_id;
  utl_stream_c m_text;
  bool m_found = false;
};

// The code tables built at load: a name with a small code as its data.
namespace code_tables_n {
ptr_string_list_c& severities();
ptr_string_list_c& message_sources();
ptr_string_list_c& operation_modes();
// The code of a name in a table; -1 when it has none.
long code_of(ptr_string_list_c& table, const char* name);
}  // namespace code_tables_n

#endif
