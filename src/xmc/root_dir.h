// A root directory a host replicates, with its filters (file-name patterns, directory-name
// patterns, directory paths relative to the root); and the same bound to a RootDir object of a
// configuration tree, keeping the tree in step as it changes.
#ifndef STATS_MNG_XMC_ROOT_DIR_H
#define STATS_MNG_XMC_ROOT_DIR_H

#include "utl/array.h"
#include "utl/utl_stream.h"
#include "xmc/xmc_conf.h"

#include <cstddef>
#include <cstdint>
#include <string>

class root_dir_c {
 public:
  enum filter_kind_e : uint32_t { FILE_FILTER = 0, DIR_FILTER = 1, PATH_FILTER = 2, ALL_FILTERS = 3 };

  // Entries of one kind; they exclude by default.
  class filter_c : public string_array_c {
   public:
    explicit filter_c(uint32_t kind = FILE_FILTER) : kind(kind) {}
    filter_c(const filter_c& other) : string_array_c(other), kind(other.kind), exclude(other.exclude) {}
    // Kind, exclude flag, count and every entry in order.
    bool operator==(const filter_c& other) const;
    bool operator!=(const filter_c& other) const { return !(*this == other); }
    // Kind, exclude flag and entries of the other.
    void assign(const filter_c& other);
    // "Exclude FileRegExpr Filter: {a, b}" or "Include DirPath Filter is Empty", appended to out.
    const char* print(utl_stream_c& out) const;

    uint32_t kind;
    bool exclude = true;
  };

  root_dir_c() = default;
  root_dir_c(const root_dir_c&) = delete;
  root_dir_c& operator=(const root_dir_c&) = delete;

  // Sets has_filters when any filter (file, directory, path, temporary) holds entries; returns the
  // count of the first that does, or 0.
  virtual size_t update_filter_flag();
  // Copies the filter of that kind (all three for ALL_FILTERS) from the other.
  virtual void copy_filters(uint32_t kind, const root_dir_c& other);
  // The root path in standard directory form; null or empty clears it.
  virtual void set_path(const char* text);
  // Appends the text, in standard form, to the given path.
  virtual void set_given_path(const char* text);
  virtual void set_auto_created(bool on);
  virtual void set_match_all_kids_volume(bool on);
  virtual void set_id(uint32_t id);
  virtual void set_exclude(uint32_t kind, bool exclude);
  // Adds a pattern or (PATH_FILTER) a directory below the root, stored relative to it; true when
  // the filter holds it afterwards.
  virtual bool add_expression(uint32_t kind, const char* text);
  // Removes an entry (a full path below the root removes its relative part); true when one went.
  virtual bool remove_expression(uint32_t kind, const char* text);
  virtual ~root_dir_c();
  // The printed form, appended to out.
  virtual const char* print(utl_stream_c& out) const;

  // The part of path below the root; false when path does not lie below it (rest is then empty).
  bool relative_part(const char* path, std::string& rest) const;
  filter_c* filter(uint32_t kind);
  const filter_c* filter(uint32_t kind) const;

  bool case_sensitive = false;
  bool has_filters = false;
  bool auto_created = false;
  bool match_all_kids_volume = true;
  uint32_t id = 0;
  const char* path() const { return m_path; }
  uint64_t path_length() const { return m_path_length; }
  const utl_stream_c& given_path() const { return m_given_path; }
  filter_c file_filter{FILE_FILTER};
  filter_c dir_filter{DIR_FILTER};
  filter_c path_filter{PATH_FILTER};
  // An extra filter that is printed and counted but never read from a tree; owned.
  filter_c* temporary_filter = nullptr;

 protected:
  bool _add_rel_path_filt(const char* text);

 private:
  char* m_path = nullptr;
  utl_stream_c m_given_path;
  uint64_t m_path_length = 0;
};

// A root directory read from a RootDir object; every change is written back into the object.
class xmc_root_dir_c : public root_dir_c, public xmc_conf_c {
 public:
  explicit xmc_root_dir_c(xmc_item_c* root_dir_item);

  // The root directory's id (the configuration's own object id stays conf_c::id()).
  using root_dir_c::id;

  size_t update_filter_flag() override;
  void copy_filters(uint32_t kind, const root_dir_c& other) override;
  void set_path(const char* text) override;
  void set_auto_created(bool on) override;
  void set_match_all_kids_volume(bool on) override;
  void set_id(uint32_t id) override;
  void set_exclude(uint32_t kind, bool exclude) override;
  bool add_expression(uint32_t kind, const char* text) override;
  bool remove_expression(uint32_t kind, const char* text) override;

  xmc_item_c* item() const { return m_item; }

 private:
  void _set_filter_content(uint32_t kind, xmc_item_c* object);
  // The filter's ListFilters item rewritten from the filter's entries.
  void _write_entries(uint32_t kind);
  void _set_val(xmc_item_c* item, const char* text);

  xmc_item_c* m_item;
  xmc_item_c* m_path_item = nullptr;
  xmc_item_c* m_id_item = nullptr;
  xmc_item_c* m_db_dir_item = nullptr;
  xmc_item_c* m_match_item = nullptr;
  xmc_item_c* m_filter_items[3] = {};   // FileRegExpr, DirRegExpr, DirPath objects
  xmc_item_c* m_exclude_items[3] = {};  // their ExcludeFilter data items
  xmc_item_c* m_list_items[3] = {};     // their ListFilters data items
};

#endif
