// The stats-mng commands about the scenario configuration model.
#include "commands.h"

#include "platform/thl/mix.h"
#include "platform/trc/zqtr.h"
#include "xmc/generic_conf.h"
#include "xmc/generic_template.h"
#include "xmc/xmc_enum.h"
#include "xmc/xmc_item.h"
#include "xmc/xmc_value.h"

namespace stats_mng_tool_n {

int print_fits(const std::string& type, const std::string& text, const std::string* label, std::ostream& out,
               std::ostream& err) {
  ZQTR_SCOPE(tr, "stats_mng_tool_n::print_fits", "stats-mng");
  uint32_t enum_index = ENUM_NONE;
  const uint32_t type_code = xmc_enum_c::value_type(type.c_str(), &enum_index);
  if (type_code == TYPE_NONE) {
    err << "stats-mng: '" << type << "' is neither a value type nor an enumeration (names are case-sensitive: "
        << "Number, Bool, String, Text, FullPath, DefFullPath, IPAddr, IPAdrMask, Date, MultiEntry, or an "
        << "enumeration such as Product)\n";
    return 2;
  }
  xmc_item_c item("data");
  if (label != nullptr) item.set_attr("label", label->c_str());
  const bool fits =
      xmc_enum_c::data_fits_type(text.c_str(), type_code, enum_index, label != nullptr ? &item : nullptr);
  tr.print(ZQTR_PROGRESS, __LINE__, "\"%s\" %s %s\n", text.c_str(), fits ? "fits" : "does not fit", type.c_str());
  if (fits) {
    out << "fits\n";
    return 0;
  }
  // The value conversion says why, where it has a reason to give.
  xmc_value_c value(text.c_str());
  if (type_code == TYPE_ENUM && enum_index != ENUM_BANDWIDTH && enum_index != ENUM_NONE) {
    value.as_enum(enum_index);
  } else if (type_code == TYPE_NUMBER) {
    value.as_int64();
  }
  out << "does not fit";
  if (type_code == TYPE_ANY || (type_code == TYPE_ENUM && enum_index == ENUM_NONE)) {
    // Any and Enum alone name no rule a text could meet.
    out << ": no text fits " << type << (type_code == TYPE_ENUM ? " without an enumeration" : "");
  }
  if (value.error_text()[0] != '\0') out << ": " << value.error_text();
  out << '\n';
  return 1;
}

int print_template(std::ostream& out) {
  utl_stream_c text;
  generic_template_n::join(text);
  out.write(text.c_str(), static_cast<std::streamsize>(text.length()));
  return 0;
}

int print_default_object(const std::string& tag_text, const std::string* product, const std::string* application,
                         bool assured_recovery, std::ostream& out, std::ostream& err) {
  ZQTR_SCOPE(tr, "stats_mng_tool_n::print_default_object", "stats-mng");
  uint32_t tag = conf_tables_n::tag_of_label(tag_text.c_str());
  int64_t number = 0;
  if (tag == TAG_NOT_FOUND && !tag_text.empty() && tag_text.find_first_not_of("0123456789") == std::string::npos &&
      mix_n::parse_formatted_integer_string(tag_text.c_str(), number) && number >= 0 &&
      number < static_cast<int64_t>(k_object_tag_count)) {
    tag = static_cast<uint32_t>(number);
  }
  if (tag == TAG_NOT_FOUND) {
    err << "stats-mng: '" << tag_text << "' is no object tag (a label such as Switchover or RootDir, or 0 to "
        << k_object_tag_count - 1 << ")\n";
    return 2;
  }
  struct choice_s {
    const std::string* text;
    uint32_t index;
    uint32_t value;
  } choices[] = {{product, ENUM_PRODUCT, PRODUCT_NONE}, {application, ENUM_APPLICATION, APPLICATION_NONE}};
  for (choice_s& c : choices) {
    if (c.text == nullptr) continue;
    const long position = xmc_enum_c::position_of(c.index, c.text->c_str());
    if (position < 0) {
      err << "stats-mng: '" << *c.text << "' is no item of " << xmc_enum_c::enum_name(c.index) << " (";
      for (uint32_t i = 0; i < xmc_enum_c::item_count(c.index); ++i) {
        err << (i > 0 ? ", " : "") << xmc_enum_c::item_text(c.index, i);
      }
      err << ")\n";
      return 2;
    }
    c.value = static_cast<uint32_t>(position);
  }
  if (generic_conf_instance == nullptr) {
    err << "stats-mng: the generic configurator could not be built (see the trace log)\n";
    return 1;
  }
  xmc_item_c* object =
      generic_conf_instance->new_default_object(tag, choices[0].value, choices[1].value, assured_recovery);
  if (object == nullptr) {
    err << "stats-mng: the template holds no default object for " << object_tag_table[tag].label << "\n";
    return 1;
  }
  mixed_xmc_xml_tree_c tree;
  tree.set_version("1.0");
  tree.attach(object, nullptr, true);
  utl_stream_c text;
  tree.write_to_stream(text, true);
  out.write(text.c_str(), static_cast<std::streamsize>(text.length()));
  tr.print(ZQTR_PROGRESS, __LINE__, "Default object %s printed\n", object_tag_table[tag].label);
  return 0;
}

}  // namespace stats_mng_tool_n
