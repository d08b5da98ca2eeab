// The stats-mng commands about the scenario configuration model.
#include "commands.h"

#include "platform/trc/zqtr.h"
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
  if (type_code == TYPE_ENUM && enum_index != ENUM_BANDWIDTH) {
    value.as_enum(enum_index);
  } else if (type_code == TYPE_NUMBER) {
    value.as_int64();
  }
  out << "does not fit";
  if (value.error_text()[0] != '\0') out << ": " << value.error_text();
  out << '\n';
  return 1;
}

}  // namespace stats_mng_tool_n
