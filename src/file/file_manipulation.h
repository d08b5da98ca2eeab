// Whole-file operations: recursive removal, directory chains, sector sizes, replacing a file's
// contents in one step, reading a file whole; listing a directory. (Existence, file/existence.h,
// and marking a file sparse, file/file_prop.h, sit below and are included here for callers.)
#ifndef STATS_MNG_FILE_FILE_MANIPULATION_H
#define STATS_MNG_FILE_FILE_MANIPULATION_H

#include "file/existence.h"
#include "file/file_prop.h"
#include "platform/thl/ptr_list.h"
#include "platform/win32/win32_api.h"
#include "utl/utl_stream.h"

#include <string>

namespace file_manipulation_n {

// Removes a file or a directory tree. remove_hook (may be null) returning true for a path takes
// that removal over. Links to directories go; their targets stay.
bool _remove_path(const char* path, HANDLE transaction, bool (*remove_hook)(const char*));
// Creates the directory chain of path (with is_file_name, of its directory part).
bool create_directory(const char* path, bool is_file_name);
// Bytes per sector of the volume under path (0 when unknown); cluster_size (may be null) receives
// the bytes per cluster.
unsigned bytes_per_sector(const char* path, unsigned* cluster_size);
// Puts new contents in place of a file in one step: they are written and flushed to
// PATH.<pid>.<n>.tmp beside it, which one rename then moves over the old file, so the name always
// leads to a whole file, old or new (a refused rename is tried again for about two seconds: scanners
// and readers hold files briefly). False, traced, with the old file untouched and no temporary left,
// when the contents could not be written or put in place.
bool replace_file_contents(const char* path, const char* data, size_t length);
// Reads a whole file into out with one open that shares everything (reading only, so no writer
// is kept out) and as few reads as its size needs: ERROR_SUCCESS, the open's or the read's own error
// (ERROR_FILE_NOT_FOUND and ERROR_PATH_NOT_FOUND say there is no such file), or
// ERROR_FILE_TOO_LARGE past most bytes. out is empty after a failure.
DWORD read_file(const char* path, std::string& out, size_t most);
// A small file read whole into buffer, with the same open: wide_path is the path's Windows form.
// ERROR_SUCCESS with length its bytes, ERROR_MORE_DATA when the file fills the buffer (then it
// may hold more: read it with read_file), or the open's or the read's own error; length is 0
// after a failure. Nothing is allocated. A read that brings less than it asked is taken as the
// end, as a disk file's read is; to_the_end says whether a read that brought nothing confirmed it.
// A file system may cut a read short before the end, so a caller that cannot make sense of bytes
// not read to the end reads the file again with read_file.
DWORD read_small_file(const wchar_t* wide_path, char* buffer, size_t capacity, size_t& length, bool& to_the_end);
// Whether an open of an existing file with the access and share modes asked is let in now, as an
// open closed again at once answers: ERROR_SUCCESS, or the open's error (ERROR_SHARING_VIOLATION
// while a holder refuses it). Windows opens and closes; the POSIX layer only looks, under the share
// check's gate, so the probe refuses nobody meanwhile, and refuses a pipe or device
// (ERROR_NOT_SUPPORTED), which Windows may open by a file's name: opened_kind_n::names_a_disk_file
// tells that after the probe. Without which_missing, a caller to whom a missing file and a missing
// directory mean the same may get ERROR_FILE_NOT_FOUND for either (the POSIX layer then does not
// look for the directory).
DWORD probe_open(const wchar_t* wide_path, DWORD access, DWORD share, bool which_missing = true);
// True for the errors that say a path names nothing.
bool is_missing_error(DWORD error);

}  // namespace file_manipulation_n

class dir_content_c {
 public:
  explicit dir_content_c(HANDLE transaction);
  virtual ~dir_content_c();
  dir_content_c(const dir_content_c&) = delete;
  dir_content_c& operator=(const dir_content_c&) = delete;

  bool init(const char* dir);
  // The next entry (its path text is the entry's name); false at the end or on an error.
  bool next(file_prop_data_s& entry);
  void reset();
  bool _if_dots_dirs(const wchar_t* name);
  void _fill_new_entry(const WIN32_FIND_DATAW& data, file_prop_data_s& entry, bool name_only);

  bool error() const { return m_error; }
  const utl_stream_c& directory() const { return m_dir; }

 private:
  HANDLE m_find = INVALID_HANDLE_VALUE;
  HANDLE m_transaction;
  utl_stream_c m_dir;
  ptr_list_c m_queued;
  bool m_error = false;
};

#endif
