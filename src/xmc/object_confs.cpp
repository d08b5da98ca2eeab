#include "xmc/object_confs.h"

#include "platform/trc/zqtr.h"
#include "xmc/xmc_conf.h"
#include "xmc/xmc_item.h"

#include <cstring>
#include <string>

namespace {

const char* k_file = "object_confs";

bool same_text(const char* a, const char* b) { return a != nullptr && b != nullptr && std::strcmp(a, b) == 0; }

// The child of the content item labelled so, or, for the fields written inside the Filters object,
// that object's child; null when neither has one.
const xml_item_c* child_labelled(const xml_item_c* item, const char* label) {
  for (const xml_item_c* child = item == nullptr ? nullptr : item->first_item(); child != nullptr;
       child = child->next_item()) {
    if (same_text(xmc_item_c::attr_text(child, "label"), label)) return child;
  }
  return nullptr;
}

const xml_item_c* find_labelled(const xml_item_c* item, const char* label) {
  const xml_item_c* direct = child_labelled(item, label);
  return direct != nullptr ? direct : child_labelled(child_labelled(item, "Filters"), label);
}

xml_item_c* new_item(const char* name, const char* label, const char* val, const char* type) {
  xml_item_c* item = new xml_item_c(name);
  item->set_attr("label", label);
  if (val != nullptr) item->set_attr("val", val);
  if (type != nullptr) item->set_attr("type", type);
  return item;
}

}  // namespace

const char* const cdp_conf_c::field_labels[FIELD_COUNT + 2] = {
    "SqlInstanceName", "SqlDbName", "SpoolSpaceThreshold", "FreeSpaceThreshold", "SpoolDir", "DbConTimeOutInSec",
    "AdPageSize",      "BatchSizeInMb", "MaxAttachSizeInKb", "Batch2DailyInMb",  "MsgTypes", "AttachFileTypes"};

const char* const cdp_conf_c::default_message_classes[19] = {
    "IPM.Activity",
    "IPM.Appointment",
    "IPM.Contact",
    "IPM.Note",
    "IPM.StickyNote",
    "IPM.Schedule.Meeting.Canceled",
    "IPM.Schedule.Meeting.Request",
    "IPM.Schedule.Meeting.Resp.Neg",
    "IPM.Schedule.Meeting.Resp.Pos",
    "IPM.Schedule.Meeting.Resp.Tent",
    "IPM.Note.Secure",
    "IPM.Note.Secure.Sign",
    "IPM.Task",
    "IPM.TaskRequest.Accept",
    "IPM.TaskRequest.Decline",
    "IPM.TaskRequest",
    "IPM.TaskRequest.Update",
    "IPM.Note.SMIME.MultipartSigned",
    "IPM.Note.SMIME"};

cdp_conf_c::cdp_conf_c(const xml_item_c* item) : conf_c(k_id) {
  m_fields[DB_CON_TIME_OUT_IN_SEC].set_text("1200");
  m_fields[AD_PAGE_SIZE].set_text("1000");
  m_fields[BATCH_SIZE_IN_MB].set_text("10");
  m_fields[MAX_ATTACH_SIZE_IN_KB].set_text("1024");
  m_fields[BATCH_2_DAILY_IN_MB].set_text("10");
  if (item == nullptr) return;
  for (size_t i = 0; i < FIELD_COUNT; ++i) {
    const char* val = xmc_item_c::attr_text(find_labelled(item, field_labels[i]), "val");
    if (val != nullptr) m_fields[i].set_text(val);
  }
  xmc_string_array_c* lists[2] = {&m_message_types, &m_attach_file_types};
  for (size_t i = 0; i < 2; ++i) {
    const xml_item_c* list = find_labelled(item, field_labels[FIELD_COUNT + i]);
    for (const xml_item_c* entry = list == nullptr ? nullptr : list->first_item(); entry != nullptr;
         entry = entry->next_item()) {
      const char* val = xmc_item_c::attr_text(entry, "val");
      if (val != nullptr) lists[i]->add(val);
    }
  }
}

xml_item_c* cdp_conf_c::build_item() {
  multi_reader_lock_c lock(m_lock);
  xml_item_c* object = new xml_item_c("object");
  object->set_attr("id", "6789");
  object->set_attr("label", "cdp");
  auto data = [this](field_e which) {
    const bool number = which >= DB_CON_TIME_OUT_IN_SEC;
    return new_item("data", field_labels[which], m_fields[which].as_string(), number ? "Number" : "String");
  };
  for (size_t i = SQL_INSTANCE_NAME; i <= BATCH_SIZE_IN_MB; ++i) object->append_child(data(static_cast<field_e>(i)));
  xml_item_c* filters = new xml_item_c("object");
  filters->set_attr("label", "Filters");
  filters->set_attr("id", "6788");
  filters->set_attr("status", "False");
  filters->append_child(data(MAX_ATTACH_SIZE_IN_KB));
  filters->append_child(data(BATCH_2_DAILY_IN_MB));
  const xmc_string_array_c* lists[2] = {&m_message_types, &m_attach_file_types};
  for (size_t i = 0; i < 2; ++i) {
    const char* label = field_labels[FIELD_COUNT + i];
    xml_item_c* list = new_item("data", label, "String", "MultiEntry");
    if (i == 0 && lists[i]->count() == 0) {
      for (const char* type : default_message_classes) list->append_child(new_item("data", label, type, "String"));
    } else {
      for (size_t e = 0; e < lists[i]->count(); ++e) {
        list->append_child(new_item("data", label, lists[i]->at(e), "String"));
      }
    }
    filters->append_child(list);
  }
  object->append_child(filters);
  return object;
}

bool cdp_conf_c::check_xmc_validity(xmc_validity_c* validity, const xml_item_c* item) {
  ZQTR_SCOPE(tr, "cdp_conf_c::check_xmc_validity", k_file);
  multi_reader_lock_c lock(m_lock);
  bool ok = true;
  for (field_e which : {SQL_INSTANCE_NAME, SQL_DB_NAME}) {
    const char* val = item != nullptr ? xmc_item_c::attr_text(find_labelled(item, field_labels[which]), "val")
                                      : m_fields[which].as_string();
    if (val != nullptr && val[0] != '\0') continue;
    tr.print(ZQTR_PROGRESS, __LINE__, "cdp xmc - check validity missing [%s]\n", field_labels[which]);
    if (validity != nullptr) validity->add(0, ch_data_s::k_no_entry, 3, field_labels[which], nullptr);
    ok = false;
  }
  tr.print(ok ? ZQTR_PROGRESS : ZQTR_FAIL, __LINE__, "cdp xmc - check validity [%s]\n", ok ? "OK" : "False");
  return ok;
}

bool cdp_conf_c::check_consistency(xmc_validity_c* validity, const xml_item_c* item) {
  (void)validity;
  ZQTR_SCOPE(tr, "cdp_conf_c::check_consistency", k_file);
  if (item == nullptr) {
    tr.print(ZQTR_FAIL, __LINE__, "cdp xmc - check consistency [false]\n");
    return false;
  }
  bool ok = true;
  for (field_e which : {SQL_INSTANCE_NAME, SQL_DB_NAME}) {
    const char* val = xmc_item_c::attr_text(find_labelled(item, field_labels[which]), "val");
    if (val == nullptr || val[0] == '\0') ok = false;
  }
  tr.print(ok ? ZQTR_PROGRESS : ZQTR_FAIL, __LINE__, "cdp xmc - check consistency [%s]\n", ok ? "OK" : "False");
  return ok;
}

namespace {

// A deep copy of item that keeps every element's text as well (an item's own copy leaves it out).
xml_item_c* copy_with_text(const xml_item_c* item) {
  xml_item_c* copy = new xml_item_c(*item, false);
  if (item->text() != nullptr) copy->set_text(item->text());
  for (const xml_item_c* child = item->first_item(); child != nullptr; child = child->next_item()) {
    copy->append_child(copy_with_text(child));
  }
  return copy;
}

}  // namespace

db_conf_c::db_conf_c(const xml_item_c* item) : conf_c(k_id) {
  if (item == nullptr || !same_text(item->name(), "object") || !same_text(xmc_item_c::attr_text(item, "id"), "6799")) {
    return;
  }
  // Through a document, so that nothing is shared with the item.
  xml_tree_ct<xml_item_c> source;
  source.attach(copy_with_text(item), nullptr, true);
  xml_document_c doc;
  source.to_document(doc);
  m_tree.from_document(doc);
}

xml_item_c* db_conf_c::build_item() {
  xml_item_c* object = new xml_item_c("object");
  object->set_attr("id", "6799");
  object->set_attr("label", "db");
  if (m_tree.root == nullptr) return object;
  xml_document_c doc;
  m_tree.to_document(doc);
  xml_tree_ct<xml_item_c> copy;
  copy.from_document(doc);
  // The content below the copied object element moves under the new one.
  while (copy.root != nullptr && copy.root->first_item() != nullptr) {
    xml_item_c* child = copy.root->first_item();
    child->unlink();
    object->append_child(child);
  }
  return object;
}

cdp_conf_creator_c::cdp_conf_creator_c() : conf_object_creator_c(cdp_conf_c::k_id) {
  conf_object_registry_c::instance().add(this);
}

cdp_conf_creator_c::~cdp_conf_creator_c() { conf_object_registry_c::instance().remove(this); }

db_conf_creator_c::db_conf_creator_c() : conf_object_creator_c(db_conf_c::k_id) {
  conf_object_registry_c::instance().add(this);
}

db_conf_creator_c::~db_conf_creator_c() { conf_object_registry_c::instance().remove(this); }
