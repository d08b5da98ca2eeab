// A change of a scenario configuration written into the file's own text: only the bytes of the
// values that changed are replaced (for a list field, its entries), so that the declaration,
// comments, CDATA sections, attribute order and quoting, indentation, line ends and the spelling of
// every other value stay as they were.
#ifndef STATS_MNG_XMC_SCENARIO_TEXT_EDIT_H
#define STATS_MNG_XMC_SCENARIO_TEXT_EDIT_H

#include "xml/xml_item.h"
#include "xmc/scenario_conf.h"

#include <string>

namespace scenario_text_edit_n {

// source is the text a configuration was loaded from and scenario its Scenario item, changed
// since. out becomes source with each attribute value that differs replaced by the new value
// (escaped as the library writes it), and the children of an item whose children changed (a list
// field's entries) written anew between the item's tags, each entry on a line of its own with the
// indentation and line ends of the file (an entry that only changed a value keeps its other bytes).
// False, with why, when the change cannot be written so (an attribute added or removed, a name or
// text changed, an element whose end the text does not show).
bool edit(const std::string& source, const xml_item_c* scenario, std::string& out, std::string& why);

// edit of conf's tree, then checked: out must load (as a scenario file loads) into a configuration
// whose tree is conf's, written the same. False, with why, otherwise: then nothing may be written.
bool edited_text(scenario_conf_c& conf, const std::string& source, std::string& out, std::string& why);

}  // namespace scenario_text_edit_n

#endif
