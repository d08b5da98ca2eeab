#include "file/file_mode.h"

namespace {

// Windows attribute bits (the same values on every target).
constexpr uint32_t k_readonly = 0x1, k_hidden = 0x2, k_system = 0x4, k_directory = 0x10, k_archive = 0x20,
                   k_device = 0x40, k_normal = 0x80, k_sparse = 0x200, k_reparse = 0x400, k_compressed = 0x800,
                   k_offline = 0x1000, k_encrypted = 0x4000;

struct mirror_s {
  uint32_t zq;
  uint32_t host;
};

// The mode bits that mirror an attribute both ways.
const mirror_s k_mirrors[] = {
    {ZQ_MODE_DIRECTORY, k_directory}, {ZQ_MODE_ARCHIVE, k_archive},   {ZQ_MODE_COMPRESSED, k_compressed},
    {ZQ_MODE_ENCRYPTED, k_encrypted}, {ZQ_MODE_HIDDEN, k_hidden},     {ZQ_MODE_OFFLINE, k_offline},
    {ZQ_MODE_SYSTEM, k_system},       {ZQ_MODE_SPARSE, k_sparse},     {ZQ_MODE_DEVICE, k_device},
};

}  // namespace

void file_mode_c::reset() {
  m_zqmode = ZQ_MODE_RESET;
  m_hostmode = k_normal;
}

void file_mode_c::copy(const file_mode_c& other) {
  m_zqmode = other.m_zqmode;
  m_hostmode = other.m_hostmode;
}

void file_mode_c::toggle_readonly() { set_zqmode(m_zqmode ^ ZQ_MODE_WRITABLE); }

void file_mode_c::set_zqmode(uint32_t mode) {
  m_zqmode = mode;
  uint32_t host = 0;
  for (const mirror_s& m : k_mirrors) {
    if (mode & m.zq) host |= m.host;
  }
  if (!(mode & ZQ_MODE_WRITABLE)) host |= k_readonly;
  if (host == 0 || host == k_directory) host |= k_normal;
  m_hostmode = host;
}

bool file_mode_c::set_hostmode(uint32_t attributes) {
  m_hostmode = attributes;
  uint32_t mode = ((attributes & k_directory) ? ZQ_MODE_DIRECTORY : ZQ_MODE_NOT_DIRECTORY) | ZQ_MODE_FIXED;
  if (!(attributes & k_readonly)) mode |= ZQ_MODE_WRITABLE;
  if (!(attributes & k_normal)) {
    for (const mirror_s& m : k_mirrors) {
      if (m.zq != ZQ_MODE_DIRECTORY && (attributes & m.host)) mode |= m.zq;
    }
    if (attributes & k_reparse) mode |= ZQ_MODE_REPARSE_POINT;
  }
  m_zqmode = mode;
  return true;
}
