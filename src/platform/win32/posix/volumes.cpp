#include "platform/win32/posix/volumes.h"

#include "platform/win32/posix/system_calls.h"

#include <cctype>
#include <cstdio>
#include <cwctype>
#include <map>
#include <mutex>
#include <string>
#include <string_view>
#include <sys/stat.h>

using posix_calls_n::sys_calls;

namespace posix_volumes_n {

namespace {

struct volume_table_s {
  std::mutex mutex;
  std::map<char, volume_s> volumes;
};

volume_table_s& table() {
  static volume_table_s t;
  return t;
}

// A GUID that stays the same for the same letter and image.
std::wstring guid_for(char letter, const std::string& image) {
  uint64_t hash = 1469598103934665603ull;
  auto mix = [&hash](unsigned char c) {
    hash ^= c;
    hash *= 1099511628211ull;
  };
  mix(static_cast<unsigned char>(letter));
  for (char c : image) mix(static_cast<unsigned char>(c));
  const uint64_t second = hash * 0x9E3779B97F4A7C15ull;
  wchar_t text[64];
  std::swprintf(text, 64, L"\\\\?\\Volume{%08x-%04x-%04x-%04x-%012llx}\\", static_cast<unsigned>(hash >> 32),
                static_cast<unsigned>((hash >> 16) & 0xFFFF), static_cast<unsigned>(hash & 0xFFFF),
                static_cast<unsigned>(second >> 48), static_cast<unsigned long long>(second & 0xFFFFFFFFFFFFull));
  return text;
}

bool is_sep(wchar_t c) { return c == L'\\' || c == L'/'; }

bool same_nocase(const std::wstring& a, const std::wstring& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (std::towlower(static_cast<wint_t>(a[i])) != std::towlower(static_cast<wint_t>(b[i]))) return false;
  }
  return true;
}

// The letter of "X:" at text[at], when it is followed by nothing (device) or by one separator (root).
bool letter_at(std::wstring_view text, size_t at, bool root, char& letter) {
  if (text.size() < at + 2 || text[at + 1] != L':' || !std::iswalpha(static_cast<wint_t>(text[at]))) return false;
  const size_t rest = text.size() - at - 2;
  if (root ? !(rest == 1 && is_sep(text[at + 2])) : rest != 0) return false;
  letter = static_cast<char>(std::toupper(static_cast<int>(text[at])));
  return true;
}

bool find(LPCWSTR path, bool root, volume_s& out) {
  if (path == nullptr) return false;
  const std::wstring_view text = path;  // looked at, not copied: every open of a path asks
  char letter = 0;
  const bool prefixed = text.size() >= 4 && is_sep(text[0]) && is_sep(text[1]) && (text[2] == L'.' || text[2] == L'?') &&
                        is_sep(text[3]);
  if (prefixed && letter_at(text, 4, root, letter)) return find_letter(letter, out);
  if (root && !prefixed && letter_at(text, 0, true, letter)) return find_letter(letter, out);
  if (!prefixed) return false;
  // A volume GUID path: the device without a separator (or with one), the root with one.
  std::wstring bare(text);
  if (!bare.empty() && is_sep(bare.back())) bare.pop_back();
  std::lock_guard<std::mutex> guard(table().mutex);
  for (const auto& entry : table().volumes) {
    std::wstring guid = entry.second.guid_path;
    guid.pop_back();
    if (same_nocase(bare, guid) && (!root || is_sep(text.back()))) {
      out = entry.second;
      return true;
    }
  }
  return false;
}

}  // namespace

void add(char letter, const drive_map_n::volume_image_s& image) {
  letter = static_cast<char>(std::toupper(static_cast<unsigned char>(letter)));
  volume_s volume;
  volume.letter = letter;
  volume.image = image;
  volume.guid_path = guid_for(letter, image.image);
  std::lock_guard<std::mutex> guard(table().mutex);
  table().volumes[letter] = volume;
}

void remove(char letter) {
  std::lock_guard<std::mutex> guard(table().mutex);
  table().volumes.erase(static_cast<char>(std::toupper(static_cast<unsigned char>(letter))));
}

void clear() {
  std::lock_guard<std::mutex> guard(table().mutex);
  table().volumes.clear();
}

bool find_letter(char letter, volume_s& out) {
  std::lock_guard<std::mutex> guard(table().mutex);
  auto it = table().volumes.find(static_cast<char>(std::toupper(static_cast<unsigned char>(letter))));
  if (it == table().volumes.end()) return false;
  out = it->second;
  return true;
}

bool find_device(LPCWSTR path, volume_s& out) { return find(path, false, out); }

bool find_root(LPCWSTR path, volume_s& out) { return find(path, true, out); }

bool record_total_sectors(char letter, uint64_t total) {
  std::lock_guard<std::mutex> guard(table().mutex);
  auto it = table().volumes.find(letter);
  if (it == table().volumes.end()) return false;
  it->second.total_sectors = total;
  return true;
}

uint64_t total_bytes(const volume_s& volume) {
  if (volume.total_sectors != 0) return volume.total_sectors * volume.image.bytes_per_sector;
  struct stat st;
  if (sys_calls().stat(volume.image.image.c_str(), &st) != 0) return 0;
  return static_cast<uint64_t>(st.st_size);
}

const wchar_t* linux_fs_name(unsigned long type) {
  switch (type) {
    case 0xEF53:
      return L"ext4";
    case 0x01021994:
      return L"tmpfs";
    case 0x9123683E:
      return L"btrfs";
    case 0x58465342:
      return L"xfs";
    case 0x794C7630:
      return L"overlay";
    case 0x6969:
      return L"nfs";
    case 0xFF534D42:
    case 0xFE534D42:
      return L"cifs";
    case 0x4D44:
      return L"vfat";
    case 0x5346544E:
      return L"ntfs3";
    default:
      return L"unknown";
  }
}

}  // namespace posix_volumes_n
