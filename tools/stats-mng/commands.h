// The commands of the stats-mng tool, apart from its argument parsing.
#ifndef STATS_MNG_TOOLS_COMMANDS_H
#define STATS_MNG_TOOLS_COMMANDS_H

#include <cstdint>
#include <functional>
#include <nlohmann/json.hpp>
#include <ostream>
#include <string>
#include <vector>

class zqtr_capture_c;

namespace stats_mng_tool_n {

// What the library's failure records that a capture took say, joined with "; " (each without its
// final full stop), for a message that gives the reason itself instead of pointing at a log;
// fallback when there is none.
std::string failure_reasons(const zqtr_capture_c& capture, const std::string& fallback);

// Prints the standard form of each path, one per line. A path that has none is reported on err
// and the others are still printed. Returns the exit code: 0, or 1 when any path failed.
int print_standard_paths(const std::vector<std::string>& paths, bool keep_prefix, std::ostream& out,
                         std::ostream& err);

// Prints the Windows form of each path (UTF-16 at the system calls, printed as UTF-8): '\\'
// separators and the long-path prefix. Returns 0, or 1 when any path has none.
int print_windows_paths(const std::vector<std::string>& paths, std::ostream& out, std::ostream& err);

// Resolves a message identifier, loading the message file first when one is given. Prints the
// text; returns 0 when the identifier (or the fall-back EG00347) was found, 1 when not, 2 when the
// message file cannot be read.
int print_message(const std::string& id, const std::string& message_file, std::ostream& out, std::ostream& err);
// Why a message file cannot be read, in the system's words.
std::string unreadable_message_file(const std::string& path);

// Exit codes of the engine question, as service managers give them.
constexpr int EXIT_ACTIVE = 0;
constexpr int EXIT_INACTIVE = 3;
constexpr int EXIT_NO_SCENARIO = 4;

// The standard form of a scenario directory (a relative one made absolute). 0 when it exists; with a
// message, 2 (a usage error) for a path that cannot name a directory exactly (not UTF-8, too long, no
// standard form) and EXIT_NO_SCENARIO when it does not exist.
int existing_scenario(const std::string& given, std::string& standard, std::ostream& err);

// Asks whether an engine holds the scenario in dir; prints "active" or "inactive". Returns
// EXIT_ACTIVE, EXIT_INACTIVE, or EXIT_NO_SCENARIO (with a message on err) when dir does not exist.
int ask_engine_active(const std::string& dir, bool json, std::ostream& out, std::ostream& err);

// Takes the scenario's writer lock as an engine does and keeps it until interrupted (SIGINT,
// SIGTERM, Ctrl-C), or for the given seconds when above 0. Prints "holding LOCKFILE" once the lock
// is held. Returns 0 after releasing it, 1 when another holder refused it, 4 when dir is missing.
int hold_engine_lock(const std::string& dir, double seconds, std::ostream& out, std::ostream& err);

// Prints the recorded state (Running, Stop, Sync or Unknown; with json an object). Returns 0 when a
// state was read, 1 when none was, EXIT_NO_SCENARIO when dir does not exist.
int print_state(const std::string& dir, bool json, std::ostream& out, std::ostream& err);
// Prints whether the synchronisation was replicated ("true" or "false"; with json an object).
// Returns 0 for true, EXIT_INACTIVE for false, EXIT_NO_SCENARIO when dir does not exist.
int print_synced(const std::string& dir, bool json, std::ostream& out, std::ostream& err);

struct record_options_s {
  uint64_t host = 1;
  uint32_t scenario_id = 0;
  std::string name;
  // With a scenario file, the file's ScenarioID and ScenarioName stand in for options not given.
  bool scenario_id_given = false;
  bool name_given = false;
};
// Records a state as an engine does: running or stopped, or whether (and when) the
// synchronisation was replicated. Returns 0 when the state file was written, 1 when not, 4 when
// dir does not exist.
int record_state(const std::string& dir, bool running, const record_options_s& options, std::ostream& err);
int record_sync(const std::string& dir, bool synced, int64_t time, const record_options_s& options, std::ostream& err);

// The same into the state directory of every root directory of a host (options.host) of a
// scenario file, in the order the file lists them. A run stops at the first directory that fails,
// a synchronisation writes every directory it can. Returns 0 when every directory was written, 1
// otherwise (the host has none, or one failed), 2 when the file cannot be loaded.
int record_config_state(const std::string& file, bool running, const record_options_s& options, std::ostream& err);
int record_config_sync(const std::string& file, bool synced, int64_t time, const record_options_s& options,
                       std::ostream& err);

// A number of seconds: finite, 0 to 1e9 (a NaN, an infinity or a negative number is refused).
std::function<std::string(std::string&)> seconds_validator();
// A whole number written with digits only (no sign), at most max.
std::function<std::string(std::string&)> unsigned_validator(uint64_t max);

// Tells whether text fits a value type or an enumeration, named as a data item's type attribute
// names it; label, when given, is the data item's label. Prints "fits" or "does not fit" (with the
// value conversion's reason where it gives one). Returns 0 fits, 1 does not, 2 for an unknown type.
int print_fits(const std::string& type, const std::string& text, const std::string* label, std::ostream& out,
               std::ostream& err);

// Prints the embedded configuration template exactly as the library joins it. Returns 0.
int print_template(std::ostream& out);
// Prints the generic configurator's default object of a tag (a label of object_tag_table or its
// index) as an XML document, with the defaults of a product and an application (item texts; null:
// none) applied. Returns 0 printed, 1 when the template has no such object, 2 for an unknown tag,
// product or application.
int print_default_object(const std::string& tag, const std::string* product, const std::string* application,
                         bool assured_recovery, std::ostream& out, std::ostream& err);

// Prints a field of a scenario file ("Object.Label" as the tables name it; a host field with host:
// a number or "manager"): its text, or one entry a line (with json an object). Returns 0 read, 1
// when the lookup fails (its error text on err), 2 when the file cannot be loaded.
int print_field(const std::string& file, const std::string& field, const std::string& host, bool json,
                std::ostream& out, std::ostream& err);
// Writes a field of a scenario file (several values for a list field; host "all" for every host)
// and saves the file. Returns 0 written, 1 refused (the library's reason on err), 2 when the file
// cannot be loaded or saved.
int write_field(const std::string& file, const std::string& field, const std::vector<std::string>& values,
                const std::string& host, bool force, std::ostream& err);
// Prints each root directory of a host of a scenario file. Returns 0, 1 for no such host, 2 when
// the file cannot be loaded.
int print_roots(const std::string& file, uint64_t host, std::ostream& out, std::ostream& err);

// Checks a scenario file: its consistency, then its validity, printing every finding in its text
// form, one a line (with json one object holding both verdicts and the findings). The findings'
// texts come from message_file, or from the texts built into the tool when it is empty. Returns 0
// when both checks hold, 1 when not, 2 when the file (or the message file) cannot be read or holds
// no scenario.
int validate_scenario(const std::string& file, const std::string& message_file, bool json, std::ostream& out,
                      std::ostream& err);

enum list_format_e { LIST_TABLE, LIST_JSON, LIST_METRICS };
// Lists every scenario directory from one to depth levels below each root (one holding a hidden
// state directory), sorted, with whether an engine holds it, its state and whether and when the
// synchronisation was replicated; reads only. With write, the output replaces that file in one
// step instead of going to out. Returns 0 when every scenario was read, 1 when any was not (or the
// file could not be written), EXIT_NO_SCENARIO when a root is no directory.
int list_scenarios(const std::vector<std::string>& roots, unsigned depth, list_format_e format, const std::string& write,
                   std::ostream& out, std::ostream& err);

// stats-mng wait: waits until the scenario in dir meets a condition (engine=active|inactive,
// state=Running|Stop|Sync, synced=true|false), for at most timeout_seconds (negative: for ever), and
// prints what it saw (with json an object as `state --json` prints, with the engine and the
// synchronisation). Returns 0 when the condition holds, 1 when the time passed first, 2 for a bad
// condition or path, EXIT_NO_SCENARIO when dir does not exist (or went away while waited for).
int wait_for_condition(const std::string& dir, const std::string& condition, double timeout_seconds, bool json,
                       std::ostream& out, std::ostream& err);
// stats-mng watch: prints every scenario below the roots with its state, then a line per change
// (with json, JSON Lines) until interrupted. Returns 0 after an interrupt, 1 when the output cannot
// be written, EXIT_NO_SCENARIO when a root is no directory.
int watch_scenarios(const std::vector<std::string>& roots, unsigned depth, bool json, std::ostream& out,
                    std::ostream& err);
// A validator of wait's --for.
std::function<std::string(std::string&)> condition_validator();

// Seconds since 1970 as a UTC date, "2026-12-06T18:00:00Z"; empty for 0.
std::string utc_date(int64_t seconds);

// One JSON object on one line (texts that are not UTF-8 are replaced, not refused).
void print_json(std::ostream& out, const nlohmann::ordered_json& object);

// Runs a command that may print JSON. With json, a command that ends with a failure (exit status not
// 0) before it printed anything on out prints one JSON object there instead: subject (what it was
// asked about, such as {"directory": DIR}) with "error", the last line the command wrote on err
// without the tool's name, so that a pipeline's parser always gets JSON. Every line still reaches
// err as the command writes it. Returns the command's exit status.
int with_json_failure(bool json, const nlohmann::ordered_json& subject, std::ostream& out, std::ostream& err,
                      const std::function<int(std::ostream& out, std::ostream& err)>& command);

// Applies --drive NAME=DIR options; false (with a message on err) for a bad one.
bool map_drives(const std::vector<std::string>& mappings, std::ostream& err);

}  // namespace stats_mng_tool_n

#endif
