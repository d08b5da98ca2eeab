// The state and statistics files of a scenario: where they lie, how the state is read from them
// (the scenario's own state file against its parent directory's), and how they are written.
#ifndef STATS_MNG_STATS_MNG_STATS_SAVER_H
#define STATS_MNG_STATS_MNG_STATS_SAVER_H

#include "file/writer_lock.h"
#include "utl/utl_stream.h"

#include <atomic>
#include <cstddef>
#include <cstdint>

class xml_item_c;
template <class T>
class xml_tree_ct;
class zqtr_entry_c;
namespace state_scan_n {
struct texts_s;
}

// State indexes and their names.
enum scenario_state_e : unsigned { STATE_RUNNING = 0, STATE_STOP = 1, STATE_SYNC = 2, STATE_UNKNOWN = 3 };
extern const char* const k_state_names[4];

// Where the several-root-directories mode finds the root directories of a host. The scenario
// configuration provides them; without one there are none.
class root_directory_source_c {
 public:
  virtual ~root_directory_source_c() = default;
  virtual size_t root_directory_count(uint64_t host_index) = 0;
  // The path of root directory `index` of the host; false when there is none.
  virtual bool root_directory(uint64_t host_index, size_t index, utl_stream_c& path) = 0;
};

class stats_saver_c {
 public:
  stats_saver_c(root_directory_source_c* configuration, uint32_t scenario_number, const char* scenario_dir,
                const char* prefix, const char* scenario_name, bool several_root_dirs);
  virtual ~stats_saver_c();
  stats_saver_c(const stats_saver_c&) = delete;
  stats_saver_c& operator=(const stats_saver_c&) = delete;

  // The statistics file: STATE_DIR/<scenario number>_stats.xml; null without a scenario directory.
  virtual const char* get_file_path(utl_stream_c& out);
  virtual bool set_sync_state(uint64_t host_index, bool synced, int64_t time);
  virtual bool write_file(const utl_stream_c& text);

  // The state directory (scenario directory, '/', prefix); false without a scenario directory.
  bool get_state_dir(utl_stream_c& out) const;

 protected:
  // The tree of the file at path, with a root "stats_saver" when it had none: the file's records, or
  // an empty record set where there is no file (or no readable XML in it). False, with the tree
  // empty, where a file is there but cannot be read: nothing may be written over it.
  static bool _load(const char* path, xml_tree_ct<xml_item_c>& tree);
  // The statistics file of a host holds a record per scenario: far more than a state file.
  static constexpr size_t k_max_records_file_size = size_t(64) << 20;
  static void _render(xml_tree_ct<xml_item_c>& tree, utl_stream_c& text);
  // Writes text as the new content of path: a temporary file beside it, flushed, then put in the
  // old one's place in one step, so that readers see either the old or the new content.
  bool _replace_file(const char* path, const utl_stream_c& text);
  // Removes the temporary files beside path that writers which no longer run left behind.
  void _remove_leftovers(const char* path);
  void _hide_state_dir();

  // The writer lock of the file at path for one change, from its load to its write (taken once per
  // change: the write that ends a change finds it held by this saver). held() is false when another
  // writer kept it past the wait (the trace log names the file) or the lock could not be made.
  class change_lock_c {
   public:
    change_lock_c(stats_saver_c& saver, const char* path);
    ~change_lock_c();
    change_lock_c(const change_lock_c&) = delete;
    change_lock_c& operator=(const change_lock_c&) = delete;
    bool held() const { return m_lock.held() || m_nested; }

   private:
    stats_saver_c& m_saver;
    file_writer_lock_c m_lock;
    bool m_nested = false;
  };

  root_directory_source_c* m_configuration;
  uint32_t m_scenario_number;
  utl_stream_c m_scenario_dir;
  utl_stream_c m_prefix;
  utl_stream_c m_scenario_name;
  bool m_several_root_dirs;
  // The thread whose change of this saver holds its file's writer lock (0: none).
  std::atomic<unsigned long> m_changing_thread{0};
};

class stats_saver_ex_c : public stats_saver_c {
 public:
  // True when a state file can hold the name so that it reads back as written: no byte 0xFF (the
  // reader's end of input) and no line end (read back as a blank).
  static bool is_storable_name(const char* name);
  using stats_saver_c::stats_saver_c;

  // The state file: STATE_DIR/stats.xml.
  const char* get_file_path(utl_stream_c& out) override;
  bool set_sync_state(uint64_t host_index, bool synced, int64_t time) override;
  bool write_file(const utl_stream_c& text) override;
  virtual bool set_state(uint64_t host_index, bool running);
  virtual bool _set_state(utl_stream_c& path, uint64_t host_index, bool running);
  virtual bool _set_sync_state(utl_stream_c path, uint64_t host_index, bool synced, int64_t time);

  // The recorded state: the own state file against the parent directory's, the later one winning.
  bool get_sync_state(unsigned* state_index, bool* synced, int64_t* time = nullptr);
  // What one state file says.
  // A state file bigger than this is no state file (they are a few hundred bytes): it is not read.
  static constexpr size_t k_max_state_file_size = 1u << 20;

  struct state_reading_s {
    bool read = false;
    unsigned state_index = STATE_UNKNOWN;
    int64_t time = 0;
    bool synced = false;
  };
  // Of the own file's reading and the parent's, the one that counts: a file that could not be read
  // never wins over one that was; between two read files the later time wins, the own file on
  // equal times.
  static const state_reading_s& later_of(const state_reading_s& own, const state_reading_s& parent) {
    return !own.read || (parent.read && own.time < parent.time) ? parent : own;
  }
  bool _get_state_timestamp(const char* path, unsigned* state_index, int64_t* time, bool* synced);

  // What reading one state file came to.
  enum state_file_e { STATE_FILE_READ, STATE_FILE_MISSING, STATE_FILE_NOT_STATE, STATE_FILE_TOO_LARGE, STATE_FILE_UNREADABLE };
  // One state file read with a single open into a buffer on the stack and its values taken by the
  // scan, the full reader taking what the scan leaves (and a file too large for the buffer). path
  // is in standard form when standard is true (it is then not normalised again). The trace names
  // why a file that is there was not read (an unreadable one leaves the system's error as the last
  // error); a missing file is only answered.
  static state_file_e read_state_file(const char* path, bool standard, state_reading_s& out);
  // What a state file's bytes say, read by the full reader (a parse tree); path names them in the trace.
  static bool state_from_document(const char* data, size_t length, state_reading_s& out, const char* path);
  // The same by the scan, which may write into the bytes; decided is false (and nothing is read)
  // where it leaves them to the full reader. Where it decides, it answers as state_from_document.
  static bool state_from_scan(char* data, size_t length, state_reading_s& out, bool& decided, const char* path);

  // The recorded state of the scenario in directory, which is in standard form: the own state file
  // against the parent directory's, as get_sync_state reads them, with each path made once on the
  // stack and nothing allocated for a directory of ordinary length. The own file's open answers
  // whether the directory exists: only when it finds nothing is the directory looked for.
  enum state_query_e { QUERY_READ, QUERY_NOT_READ, QUERY_NO_DIRECTORY };
  static state_query_e query_state(const char* directory, state_reading_s& counted);
  // The paths query_state reads, made from directory (standard form) into out (PATH_BUFFER_SIZE
  // bytes): the own state file (false when it does not fit) and the parent directory's (false
  // when the directory has no parent).
  static bool own_state_file_path(const char* directory, char* out);
  static bool parent_state_file_path(const char* directory, char* out);
  // The parent directory's state file; false when the scenario directory has no parent.
  bool get_parent_file_path(utl_stream_c& out);
  static void state_index_from_name(const char* text, unsigned* index);

 protected:
  static bool _reading_from_texts(const state_scan_n::texts_s& texts, state_reading_s& out, const char* path,
                                  zqtr_entry_c& tr);

 private:
  // The first element below the root, or a new "Scenario" with the identifying attributes.
  xml_item_c* _scenario_element(xml_tree_ct<xml_item_c>& tree, uint64_t host_index);
  // False, with a trace line, when a new state element would take a name that does not read back.
  bool _name_can_be_stored(xml_tree_ct<xml_item_c>& tree, class zqtr_entry_c& tr) const;
  // Writes the path into the scenario directory field for each root directory of the host.
  template <class F>
  bool _for_each_root(uint64_t host_index, bool stop_at_failure, F write);
};

#endif
