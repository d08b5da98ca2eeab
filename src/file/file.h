// The file object the system reads and writes through: its own position, the read-ahead and
// write-behind paths, and whole volumes opened through the pseudo-name "$$zq-volume".
#ifndef STATS_MNG_FILE_FILE_H
#define STATS_MNG_FILE_FILE_H

#include "file/basic_file.h"
#include "file/buffered_io.h"

// Last errors of FILE_c.
constexpr uint64_t FILE_ERROR_CLOSED = 0xe0001;          // an operation on a closed file
constexpr uint64_t FILE_ERROR_WRITE_BEHIND = 0xe0003;    // pending write-behind work failed

class FILE_c : public basic_file_c {
 public:
  FILE_c() = default;
  ~FILE_c() override;

  bool open(const char* path, const char* mode, HANDLE transaction, unsigned flags) override;
  bool mknod() override;
  size_t read(void* buffer, size_t count) override;
  size_t write(const void* buffer, size_t count) override;
  bool flush() override;
  uint64_t tell() override;
  bool seek(uint64_t position) override;
  bool close() override;
  bool truncate(uint64_t size) override;
  uint64_t size() override;
  // A volume open for writing: records whether its content is consistent.
  virtual bool mark_consistent(bool value);
  virtual bool is_consistent();

  unsigned flags() const { return m_flags; }
  unsigned sector_size() const { return static_cast<unsigned>(m_pre_read.sector_size()); }
  const pre_read_c& read_ahead() const { return m_pre_read; }
  const post_write_c& write_behind() const { return m_post_write; }
  unsigned cluster_size() const { return m_cluster_size; }
  bool is_volume() const { return m_is_volume; }
  bool volume_locked() const { return m_volume_locked; }
  uint64_t volume_total_sectors() const { return m_volume_total_sectors; }
  // The file system of an open volume (empty for files).
  const wchar_t* file_system_name() const { return m_fs_name; }
  // The device path of an open volume ("\\.\D:"), the path itself for files.
  const char* device_path() const { return m_device_path.c_str(); }

 private:
  // Brings the underlying file to the own position before a direct transfer.
  void _move_to_own_position(bool writing);
  // Finishes the write-behind work (overlapped files); false when some of it failed.
  bool _finish_write_behind();
  // The whole-volume steps of open; false (file closed) when the volume cannot be used.
  bool _open_volume(const char* path, const char* mode);
  // At close of a locked volume: the boot sector brought in line, then the file system extended.
  bool _fix_volume();
  // Closes a volume: with repair, the boot sector brought in line and the file system extended
  // (a close); without, only the lock given back (an open that failed after the lock).
  bool _close_volume(bool repair);
  void _update_volume_total_sectors();

  unsigned m_flags = 0;
  uint64_t m_position = 0;
  bool m_volume_locked = false;
  uint64_t m_volume_size = 0;
  uint64_t m_volume_total_sectors = 0;
  unsigned m_cluster_size = 0;
  wchar_t m_fs_name[16] = {};
  unsigned char* m_boot_sector = nullptr;
  bool m_consistent = true;
  pre_read_c m_pre_read{this};
  post_write_c m_post_write{this};
  bool m_aio_write = false;
  bool m_is_volume = false;
  utl_stream_c m_device_path;
};

#endif
