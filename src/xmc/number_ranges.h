// The Number fields whose values name something of a fixed width (a scenario id, a host number):
// what they may hold, which the setters, the path writes and the validity check all ask.
#ifndef STATS_MNG_XMC_NUMBER_RANGES_H
#define STATS_MNG_XMC_NUMBER_RANGES_H

#include <cstdint>

class xml_item_c;

struct number_range_s {
  const char* object;  // the label of the field's object
  const char* label;   // the field's own label
  uint64_t minimum;
  uint64_t maximum;
  const char* what;    // what a value names, for messages ("a scenario id")
};

namespace number_ranges_n {

// The range of a field by its object's label and its own; null for a Number any 64-bit number fits.
const number_range_s* of(const char* object, const char* label);
// The same for a data item, by its label and its enclosing object's.
const number_range_s* of_item(const xml_item_c* item);
// Whether text is a decimal number (digits only, blanks around allowed) within the range.
bool fits(const number_range_s& range, const char* text);
// "a scenario id is a decimal number from 0 to 4294967295": why a value does not fit.
const char* rule(const number_range_s& range, char* buffer, unsigned size);

}  // namespace number_ranges_n

#endif
