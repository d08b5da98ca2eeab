// The system's own mode word of a file beside the Windows attribute word, converted both ways.
#ifndef STATS_MNG_FILE_FILE_MODE_H
#define STATS_MNG_FILE_FILE_MODE_H

#include <cstdint>

// Bits of the mode word.
enum : uint32_t {
  ZQ_MODE_DIRECTORY = 0x00000001,
  ZQ_MODE_NOT_DIRECTORY = 0x00000002,  // set when converted from attributes
  ZQ_MODE_LINK = 0x00000004,           // symbolic link or junction (set by the reparse point reader)
  ZQ_MODE_ARCHIVE = 0x00000008,
  ZQ_MODE_COMPRESSED = 0x00000010,
  ZQ_MODE_ENCRYPTED = 0x00000020,
  ZQ_MODE_HIDDEN = 0x00000040,
  ZQ_MODE_OFFLINE = 0x00000080,
  ZQ_MODE_SYSTEM = 0x00000100,
  ZQ_MODE_WRITABLE = 0x00001000,       // the absence of the read-only attribute
  ZQ_MODE_REPARSE_POINT = 0x00200000,  // set when converted from attributes
  ZQ_MODE_HARD_LINKED = 0x01000000,    // more than one hard link (set by the property loader)
  ZQ_MODE_SPARSE = 0x02000000,
  ZQ_MODE_DEVICE = 0x04000000,         // also a volume opened through "$$zq-volume"
};

// Constant bits that converting from attributes always adds; nothing tests them.
constexpr uint32_t ZQ_MODE_FIXED = 0xB6800;
// The mode word of a reset mode.
constexpr uint32_t ZQ_MODE_RESET = 0x3802;

class file_mode_c {
 public:
  file_mode_c() { reset(); }

  void reset();
  void copy(const file_mode_c& other);
  // Flips the writable bit and derives the attributes again.
  void toggle_readonly();
  // Stores the mode word and derives the attributes from it.
  void set_zqmode(uint32_t mode);
  // Stores the attributes and derives the mode word: directory or not, the fixed bits, writable
  // unless read-only, and, unless FILE_ATTRIBUTE_NORMAL is among them, every other mirrored bit.
  bool set_hostmode(uint32_t attributes);

  uint32_t zqmode() const { return m_zqmode; }
  uint32_t hostmode() const { return m_hostmode; }
  bool is_directory() const { return (m_zqmode & ZQ_MODE_DIRECTORY) != 0; }
  bool is_writable() const { return (m_zqmode & ZQ_MODE_WRITABLE) != 0; }

 private:
  uint32_t m_zqmode;
  uint32_t m_hostmode;
};

#endif
