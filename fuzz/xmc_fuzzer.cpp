// Feeds arbitrary texts to the configuration model's type rules and value conversions, and
// arbitrary documents to its item rules, checking what must hold whatever the input.
#include "utl/utl.h"
#include "xmc/xmc_conf.h"
#include "xmc/xmc_enum.h"
#include "xmc/xmc_value.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

void require(bool condition) {
  if (!condition) std::abort();
}

void check_value(const std::string& text, uint32_t type, uint32_t enum_index, bool labelled) {
  xmc_item_c item("data");
  if (labelled) item.set_attr("label", "Data_IP");
  const bool fits = xmc_enum_c::data_fits_type(text.c_str(), type, enum_index, labelled ? &item : nullptr);
  xmc_date_s date;
  const bool is_date = xmc_enum_c::parse_date(text.c_str(), date);
  if (is_date) {
    require(date.day == -1 || (date.day >= 1 && date.day <= 31));
    require(date.month == -1 || (date.month >= 1 && date.month <= 12));
    require(date.year == -1 || date.year >= 1901);
  }
  // An item of an enumeration is what the value's getter finds.
  if (type == TYPE_ENUM && enum_index < ENUM_NONE && enum_index != ENUM_BANDWIDTH && fits) {
    xmc_value_c item_value(text.c_str());
    require(item_value.as_enum(enum_index) < xmc_enum_c::item_count(enum_index) && !item_value.error());
  }
  if (type > TYPE_MULTI_ENTRY) require(!fits);

  xmc_value_c value(text.c_str());
  value.as_bool();
  value.as_char();
  value.as_short();
  value.as_unsigned_short();
  value.as_int();
  value.as_long();
  value.as_unsigned_long();
  value.as_int64();
  value.as_uint64();
  for (uint32_t e = 0; e <= ENUM_NONE; ++e) value.as_enum(e);
  // A text that fits Number is a number one of the 64-bit reads takes.
  xmc_value_c as_signed(text.c_str()), as_unsigned(text.c_str());
  as_signed.as_int64();
  as_unsigned.as_uint64();
  if (type == TYPE_NUMBER && fits) require(!as_signed.error() || !as_unsigned.error());
  // An address that fits IPAddr (not the zero one) is what the unsigned reads fall back to, for a
  // text that begins with a digit.
  if (type == TYPE_IP_ADDR && fits && !text.empty() && text[0] >= '0' && text[0] <= '9') {
    const uint32_t address = utl_n::string_to_ip(text.c_str());
    xmc_value_c read(text.c_str());
    const unsigned int n = read.as_unsigned_int();
    require(address == 0 || (!read.error() && n == address));
  }
  xmc_value_c copy(value);
  require(copy.is_equal(value));
  value.add_entry(text.c_str());
  value.add_entry("x");
  require(std::strlen(value.as_string()) == std::strlen(text.c_str()) + 3);
}

// Checks every item below item: the rules that the attributes set, plain content below externals.
void check_items(const xml_item_c* item, bool below_external, xmc_conf_c& conf, xmc_validity_c& validity) {
  for (const xml_item_c* child = item->first_item(); child != nullptr; child = child->next_item()) {
    const xmc_item_c* typed = xmc_item_c::cast(const_cast<xml_item_c*>(child));
    require((typed == nullptr) == below_external);
    if (typed != nullptr) {
      if (typed->is_data()) {
        uint32_t enum_index = 0;
        const uint32_t type = xmc_enum_c::value_type(xmc_item_c::attr_text(typed, "type"), &enum_index);
        require(type == typed->value_type() && enum_index == typed->enum_index());
        data_content_s found;
        conf._check_data_content(&validity, typed, true, found);
      } else if (typed->is_object()) {
        uint32_t id = 0;
        bool ok = true;
        conf._check_object_content_get_name(typed, &validity, id, ok);
      }
    }
    check_items(child, below_external || (typed != nullptr && typed->is_external()), conf, validity);
  }
}

void check_document(const std::string& text) {
  xmc_conf_c conf;
  if (!conf.tree()->load_from_str(text.c_str()) || conf.tree()->root == nullptr) return;
  xmc_item_c* root = conf.tree()->root;
  xmc_validity_c validity;
  check_items(root, root->is_external(), conf, validity);
  utl_stream_c findings;
  validity.to_text(findings);

  // A deep copy is an equal tree; so is what its written form loads back to.
  xmc_conf_c copy;
  copy.tree()->set_version(conf.tree()->version());
  copy.tree()->set_encoding(conf.tree()->encoding());
  copy.tree()->set_style_sheet(conf.tree()->style_sheet());
  copy.tree()->attach(new xmc_item_c(*root, true), nullptr, true);
  require(copy.tree()->is_equal(*conf.tree()));
  utl_stream_c written;
  conf.tree()->write_to_stream(written, true);
  xmc_conf_c reloaded;
  require(reloaded.tree()->load_from_str(written.c_str()));
  utl_stream_c again;
  reloaded.tree()->write_to_stream(again, true);
  require(std::strcmp(written.c_str(), again.c_str()) == 0);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 3) return 0;
  const std::string text(reinterpret_cast<const char*>(data) + 3, size - 3);
  if (data[0] & 1) {
    check_document(text);
  } else {
    check_value(text, data[1] % 16u, data[2] % 20u, (data[0] & 2) != 0);
  }
  return 0;
}
