// The base of every configuration object: an object id and the operations each kind provides.
#ifndef STATS_MNG_XMC_CONF_H
#define STATS_MNG_XMC_CONF_H

#include <cstdint>

class xml_item_c;
class xmc_validity_c;

class conf_c {
 public:
  explicit conf_c(uint32_t id = 0) : m_id(id) {}
  virtual ~conf_c() = default;
  conf_c(const conf_c&) = delete;
  conf_c& operator=(const conf_c&) = delete;

  // The object's content as a new item the caller owns; none in the base.
  virtual xml_item_c* build_item() { return nullptr; }
  // Whether the settings make sense; findings go to the collector (which may be null). The item is
  // the content the configuration was made from, where the class reads it again.
  virtual bool check_xmc_validity(xmc_validity_c* validity, const xml_item_c* item) {
    (void)validity;
    (void)item;
    return false;
  }
  // Whether the content is well formed.
  virtual bool check_consistency(xmc_validity_c* validity, const xml_item_c* item) {
    (void)validity;
    (void)item;
    return false;
  }
  // Reserved: 0 in every class of the library.
  virtual int64_t reserved() { return 0; }
  virtual bool same_id(const conf_c& other) const { return other.m_id == m_id; }

  uint32_t id() const { return m_id; }
  void set_id(uint32_t id) { m_id = id; }

 private:
  uint32_t m_id;
};

#endif
