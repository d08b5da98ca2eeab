// Loads arbitrary documents as scenario configurations and runs both checks on them: nothing may
// crash, leak or run away, and the checks must agree with themselves.
#include "platform/trc/zqtr.h"
#include "xmc/scenario_conf.h"

#include <cstdint>
#include <cstdlib>
#include <string>

namespace {

void require(bool condition) {
  if (!condition) std::abort();
}

std::string texts(xmc_validity_c& validity) {
  utl_stream_c out;
  validity.to_text(out, 0, "|");
  return out.c_str();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  scenario_conf_c conf;
  utl_stream_c reason;
  if (!conf.load_text(text.c_str(), &reason)) {
    require(reason.length() > 0);  // a refusal says why
    return 0;
  }
  xmc_validity_c consistency;
  const bool consistent = conf.check_consistency(&consistency);
  require(consistency.count() == 0 || !consistent);
  xmc_validity_c first, second;
  const bool valid = conf.check_xmc_validity(&first);
  require(first.count() == 0 || !valid);
  // The checks change nothing: a second run finds the same.
  require(conf.check_xmc_validity(&second) == valid);
  require(texts(first) == texts(second));
  // Every finding names where it is.
  for (uint64_t i = 0; i < first.count(); ++i) require(first.at(i)->path.length() > 0);
  return 0;
}
