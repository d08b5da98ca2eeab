// What the system knows about one file, read from disk, and the writing back of its attributes
// (compression and sparseness included).
#ifndef STATS_MNG_FILE_FILE_PROP_H
#define STATS_MNG_FILE_FILE_PROP_H

#include "file/file_mode.h"
#include "platform/win32/win32_api.h"
#include "utl/utl_stream.h"

#include <cstdint>

class basic_file_c;

// Kinds of reparse point.
enum reparse_kind_e : uint32_t {
  REPARSE_NONE = 0,
  REPARSE_SYMBOLIC_LINK = 1,
  REPARSE_MOUNT_POINT = 2,
  REPARSE_JUNCTION = 3,
  REPARSE_HIERARCHICAL_STORAGE = 4,
  REPARSE_FILTER_MANAGER = 5,
  REPARSE_SINGLE_INSTANCE = 6,
  REPARSE_DISTRIBUTED_FS = 7,
  REPARSE_OTHER_MICROSOFT = 8,
  REPARSE_OTHER = 9,
};

// The kind of a reparse tag; a mount point tag's target decides between mount point and junction.
reparse_kind_e reparse_kind_of(uint32_t tag, const wchar_t* target);

struct file_prop_data_s {
  file_prop_data_s() { reset(); }
  file_prop_data_s(const file_prop_data_s& other) { copy(other); }
  file_prop_data_s& operator=(const file_prop_data_s& other) {
    if (this != &other) copy(other);
    return *this;
  }
  virtual ~file_prop_data_s() = default;

  void reset();
  void copy(const file_prop_data_s& other);

  file_mode_c mode;
  utl_stream_c link_target;  // of a symbolic link, junction or mount point
  utl_stream_c path;         // the path the properties were loaded for
  int64_t modification_time;
  uint64_t size;
  uint64_t allocated_size;  // on disk; the size when it cannot be read
  uint64_t file_id;
  uint64_t volume_serial;
  uint64_t reserved[2];
  HANDLE transaction;
  int32_t tag;  // -1 after reset
  bool loaded;
  uint32_t link_count;
  bool file_link;  // the reparse point is a symbolic link to a file
  uint32_t reparse_kind;
};

class file_prop_access_c {
 public:
  file_prop_access_c() = default;
  virtual ~file_prop_access_c() = default;

  bool load_file_properties_from_disk(basic_file_c& file);
  bool load_file_properties_from_disk(const char* path, file_prop_data_s* copy_to, HANDLE transaction);
  void reset();
  // Loads the record for path unless it is loaded for it already, then writes the mode.
  bool set_mode_to_disk(const char* path, const file_mode_c& mode);
  // Clears the read-only attribute of an existing file (the file part of a stream path).
  bool add_write_attrib(const char* path, HANDLE transaction);
  bool _add_write_attrib();
  bool _remove_write_attrib();
  bool _set_mode_to_disk(const file_mode_c& mode, bool with_compression, basic_file_c* open_file);
  void _get_reparse_point_prop(HANDLE handle, const char* path);

  file_prop_data_s& data() { return m_data; }
  const file_prop_data_s& data() const { return m_data; }

 private:
  bool _loaded_for(const char* path) const;
  // Fills the record from an open handle (path names it in messages).
  bool _load_from_handle(HANDLE handle, const char* path);

  file_prop_data_s m_data;
};

// Marks an open file sparse; true when the file then says it is.
class sparse_file_c {
 public:
  static bool set_sparse(HANDLE file);
};

#endif
