// The object configurations of a scenario's external content: the continuous data protection
// settings of a mail database (id 6789) and the database object (id 6799), with their creators.
#ifndef STATS_MNG_XMC_OBJECT_CONFS_H
#define STATS_MNG_XMC_OBJECT_CONFS_H

#include "platform/thl/thl_locks.h"
#include "xmc/conf_object.h"
#include "xmc/xmc_value.h"
#include "xml/xml_tree.h"

#include <cstdint>

class cdp_conf_c : public conf_c {
 public:
  static constexpr uint32_t k_id = 6789;
  static constexpr uint32_t k_filters_id = 6788;

  enum field_e {
    SQL_INSTANCE_NAME,
    SQL_DB_NAME,
    SPOOL_SPACE_THRESHOLD,
    FREE_SPACE_THRESHOLD,
    SPOOL_DIR,
    DB_CON_TIME_OUT_IN_SEC,
    AD_PAGE_SIZE,
    BATCH_SIZE_IN_MB,
    MAX_ATTACH_SIZE_IN_KB,
    BATCH_2_DAILY_IN_MB,
    FIELD_COUNT
  };
  static const char* const field_labels[FIELD_COUNT + 2];  // the fields, then MsgTypes, AttachFileTypes
  // The message classes written when the configuration has no list of its own.
  static const char* const default_message_classes[19];

  // The defaults; with an item, the values its data items give, found by label at any depth.
  explicit cdp_conf_c(const xml_item_c* item = nullptr);

  // An object item "cdp" (id 6789) with one data item per field, the last four inside the object
  // "Filters" (id 6788), the lists as MultiEntry items.
  xml_item_c* build_item() override;
  // SqlInstanceName and SqlDbName must be given (read from the item, or the configuration's own
  // without one); each missing one is finding 3 with its label as path.
  bool check_xmc_validity(xmc_validity_c* validity, const xml_item_c* item) override;
  bool check_consistency(xmc_validity_c* validity, const xml_item_c* item) override;

  xmc_value_c& field(field_e which) { return m_fields[which]; }
  xmc_string_array_c& message_types() { return m_message_types; }
  xmc_string_array_c& attach_file_types() { return m_attach_file_types; }

 private:
  xmc_value_c m_fields[FIELD_COUNT];
  xmc_string_array_c m_message_types;
  xmc_string_array_c m_attach_file_types;
  single_writer_multi_reader_c m_lock;
};

// An item of the database object's content.
class db_obj_c : public xml_item_c {
 public:
  explicit db_obj_c(const char* name) : xml_item_c(name) {}
  ~db_obj_c() override = default;
};

class db_conf_c : public conf_c {
 public:
  static constexpr uint32_t k_id = 6799;

  // An independent copy of the item, through an XML document; an item that is no object element
  // with id 6799 leaves the tree empty.
  explicit db_conf_c(const xml_item_c* item = nullptr);

  // An object item "db" (id 6799) holding a copy of the content.
  xml_item_c* build_item() override;
  // Any content will do.
  bool check_xmc_validity(xmc_validity_c*, const xml_item_c*) override { return true; }
  bool check_consistency(xmc_validity_c*, const xml_item_c*) override { return true; }

  xml_tree_ct<db_obj_c>& tree() { return m_tree; }

 private:
  xml_tree_ct<db_obj_c> m_tree;
};

// The two creators; each registers itself when built (the library builds one of each at load).
class cdp_conf_creator_c : public conf_object_creator_c {
 public:
  cdp_conf_creator_c();
  ~cdp_conf_creator_c() override;
  conf_c* create(const xml_item_c* item) override { return new cdp_conf_c(item); }
};

class db_conf_creator_c : public conf_object_creator_c {
 public:
  db_conf_creator_c();
  ~db_conf_creator_c() override;
  conf_c* create(const xml_item_c* item) override { return new db_conf_c(item); }
};

#endif
