// stats-mng: ask about and record the state of replication scenarios from the command line.
#include "arguments.h"
#include "commands.h"
#include "completion.h"
#include "shown_text.h"

#include "platform/trc/zqtr.h"
#include "stats_mng/stats_mng.h"
#include "utl/utl.h"

#include <CLI/CLI.hpp>

#include <cstdint>
#include <functional>
#include <ctime>
#include <iostream>

namespace {

// Says once, on standard error, why the trace log asked for with --log-dir is not written (a link
// or something else that is not a regular file in its place, a directory that cannot be made):
// right after the log directory is set, or when the command ends if the reason came up on the way.
// The command itself goes on either way.
class trace_log_problem_c {
 public:
  ~trace_log_problem_c() { tell(); }
  void tell() {
    if (m_told) return;
    const std::string problem = zqtr_log_problem();
    if (problem.empty()) return;
    std::cerr << "stats-mng: the trace log is not written: " << problem << "\n";
    m_told = true;
  }

 private:
  bool m_told = false;
};

}  // namespace

int main(int argc, char** argv) {
  // UTF-8 arguments on every system (on Windows from the UTF-16 command line).
  std::vector<std::string> arguments;
  std::string argument_error;
  if (!stats_mng_tool_n::command_line_arguments(argc, argv, arguments, argument_error)) {
    std::cerr << "stats-mng: " << argument_error << "\n";
    return 2;
  }
  std::vector<char*> argument_pointers;
  for (std::string& argument : arguments) argument_pointers.push_back(&argument[0]);
  argument_pointers.push_back(nullptr);
  argc = static_cast<int>(arguments.size());
  argv = argument_pointers.data();
  stats_mng_tool_n::prepare_output();
  // Standard error gets no control character from a name or a reason (a line end ends a message).
  stats_mng_tool_n::printable_lines_c printable_errors(std::cerr.rdbuf());
  std::streambuf* const error_buffer = std::cerr.rdbuf(&printable_errors);
  struct error_buffer_back_s {
    std::streambuf* buffer;
    ~error_buffer_back_s() { std::cerr.rdbuf(buffer); }
  } error_buffer_back{error_buffer};
  CLI::App app{
      "stats-mng: questions about the recorded state of replication scenarios, and the path forms the "
      "stats_mng library uses.\n"
      "Paths may use '\\' or '/' as separators."};
  // The name in usage lines (and in the manual page made from them), whatever path started it.
  app.name("stats-mng");
  app.set_version_flag("--version", std::string("stats-mng ") + STATS_MNG_VERSION);
  app.footer("Run stats-mng COMMAND --help for a command's arguments and exit status.\n"
             "Exit status: 2 for every usage error (an unknown command or option, a missing or malformed "
             "argument), with what is wrong on standard error; 0 for --help and --version.");
  app.require_subcommand(1);
  // Arguments beginning with '/' are paths, never options, on Windows too.
  app.allow_windows_style_options(false);

  std::string log_dir;
  std::string trace_settings;
  // An empty name names no directory or file: a usage error, not a log silently not written.
  const CLI::Validator named(
      [](std::string& value) {
        return value.empty() ? std::string("an empty name names no file or directory") : std::string();
      },
      "NAME");
  CLI::Option* log_dir_option =
      app.add_option("--log-dir", log_dir, "Write the library's trace log (stats_mng.log) into this directory")
          ->type_name("DIR")
          ->check(named);
  app.add_option("--trace-settings", trace_settings,
                 "Read trace settings (levels, max_size, keep) from this file; needs --log-dir")
      ->type_name("FILE")
      ->check(named)
      ->needs(log_dir_option);

  std::vector<std::string> drives;
  app.add_option("--drive", drives,
                 "Map a drive letter or \\\\server\\share to a directory of this system, as in C=/srv/c "
                 "(not on Windows, where drives are the system's own); may be repeated")
      ->type_name("NAME=DIR");

  std::vector<std::string> paths;
  bool keep_prefix = false;
  bool windows_form = false;
  CLI::App* path_cmd = app.add_subcommand("path", "Print the standard form of each path, one per line");
  path_cmd->add_option("PATH", paths, "Paths to normalise")->required();
  path_cmd->add_flag("--keep-prefix", keep_prefix, "Keep a long-path prefix \\\\?\\ instead of dropping it");
  path_cmd->add_flag("--wide", windows_form,
                     "Print the Windows form handed to the system calls instead: '\\' separators and the "
                     "long-path prefix (\\\\?\\C:\\x, \\\\?\\UNC\\server\\share\\x)");
  path_cmd->footer(
      "The standard form has '/' as its only separator, no doubled or trailing separator (a drive root keeps "
      "it: C:/) and \".\" and \"..\" resolved; a \"..\" never climbs above a root.\n"
      "With --wide: the Windows form, UTF-16 at the system calls (printed here as UTF-8).\n"
      "Exit status: 0 when every path was normalised, 1 when any was not.");

  std::string message_id;
  std::string message_file;
  CLI::App* message_cmd = app.add_subcommand("message", "Print the text of a message identifier such as IG00221");
  message_cmd->add_option("ID", message_id, "Two letters and five digits; letter case does not matter")->required();
  message_cmd->add_option("--messages", message_file,
                          "Load this message file first: UTF-8 lines \"ID text\", '#' for comments, \\n \\t \\\\ "
                          "escapes")
      ->type_name("FILE")
      ->check(named);
  message_cmd->footer(
      "The library's message store starts empty, so without --messages every identifier gives \"Message not "
      "found\". A missing identifier gives the text of EG00347 when the file has one.\n"
      "Exit status: 0 when a text was found, 1 when not, 2 when the message file cannot be read.");

  std::string scenario_dir;
  CLI::App* active_cmd = app.add_subcommand("active", "Tell whether an engine is working on a scenario");
  active_cmd->add_option("DIR", scenario_dir, "The scenario directory")->required();
  active_cmd->footer(
      "Prints \"active\" when an engine holds the scenario's lock file (DIR/.mw_zq_prefix/state.lock) open as "
      "writer, \"inactive\" otherwise. Asking opens the lock file for reading for a moment and never creates, "
      "empties or writes it; the one thing it may make is the hidden state directory, when DIR has none.\n"
      "\"unknown\" when the lock file cannot be asked (a pipe or a directory in its place, no permission), with "
      "the reason on standard error.\n"
      "Exit status: 0 active, 3 inactive, 1 unknown, 4 when DIR does not exist or is a file.");

  bool json = false;
  active_cmd->add_flag("--json", json, "Print a JSON object instead: {\"directory\": ..., \"active\": true|false}");

  CLI::App* state_cmd = app.add_subcommand("state", "Print the recorded state of a scenario");
  state_cmd->add_option("DIR", scenario_dir, "The scenario directory")->required();
  state_cmd->add_flag("--json", json, "Print a JSON object: directory, state, index (0..3), read (the state files could be read) and "
                     "recorded (one holds a state)");
  state_cmd->footer(
      "Reads DIR/.mw_zq_prefix/stats.xml and the parent directory's state file; the one with the later "
      "IsSyncReplicatedTime wins. Prints Running, Stop, Sync or Unknown.\n"
      "Exit status: 0 when a state was read, 1 when none was (Unknown: nothing recorded, or a state file that "
      "could not be read, said on standard error), 4 when DIR does not exist.");

  CLI::App* synced_cmd = app.add_subcommand("synced", "Print whether a scenario's synchronisation was replicated");
  synced_cmd->add_option("DIR", scenario_dir, "The scenario directory")->required();
  synced_cmd->add_flag("--json", json, "Print a JSON object: directory, synced and read (the state files could be read)");
  synced_cmd->footer("Prints true or false, read as `state` reads.\n"
                     "Exit status: 0 true, 3 false (or nothing recorded), 1 when a state file could not be read (the "
                     "reason on standard error), 4 when DIR does not exist.");

  stats_mng_tool_n::record_options_s record;
  std::string running_text;
  CLI::App* set_state_cmd = app.add_subcommand("set-state", "Record that a scenario is running or stopped");
  std::string state_config;
  set_state_cmd->add_option("DIR", scenario_dir, "The scenario directory (or --config)");
  // DIR is left out with --config: the one positional then is the state, checked after parsing.
  set_state_cmd->add_option("STATE", running_text, "running or stop (required)")->type_name("running|stop");
  std::string synced_text;
  int64_t sync_time = static_cast<int64_t>(std::time(nullptr));
  CLI::App* set_sync_cmd = app.add_subcommand("set-sync", "Record whether a scenario's synchronisation was replicated");
  set_sync_cmd->add_option("DIR", scenario_dir, "The scenario directory (or --config)");
  set_sync_cmd->add_option("SYNCED", synced_text, "true or false (required)")->type_name("true|false");
  set_sync_cmd->add_option("--time", sync_time, "The time recorded with it (seconds since 1970; now by default)")
      ->type_name("T");
  for (CLI::App* cmd : {set_state_cmd, set_sync_cmd}) {
    cmd->add_option("--config", state_config,
                    "A scenario file: write into every root directory of the host instead of DIR")
        ->type_name("FILE");
    cmd->add_option("--host", record.host,
                    "The host index written in a new state file; with --config, also the host whose root "
                    "directories are written (1)")
        ->type_name("N")
        ->check(CLI::Validator(stats_mng_tool_n::unsigned_validator(UINT64_MAX), "N"));
    cmd->add_option("--scenario-id", record.scenario_id, "The scenario number written in a new state file (0)")
        ->type_name("N")
        ->check(CLI::Validator(stats_mng_tool_n::unsigned_validator(UINT32_MAX), "N"));
    cmd->add_option("--name", record.name, "The scenario name written in a new state file (no byte 0xFF, no line end)")->type_name("TEXT");
    cmd->footer(
        "Writes DIR/.mw_zq_prefix/stats.xml as an engine does (the hidden directory is created when missing): "
        "the new content replaces the old in one step. A run recorded while the state is Sync keeps Sync. "
        "set-sync true records Running, false records Sync.\n"
        "With --config FILE instead of DIR, the state goes into .mw_zq_prefix/stats.xml of every root directory "
        "of host N (--host, 1 by default) of the scenario file, in the file's order; the file's ScenarioID and "
        "ScenarioName stand in for --scenario-id and --name. set-state stops at the first directory that "
        "fails, set-sync writes every directory it can.\n"
        "Exit status: 0 when the file (every file) was written, 1 when not, 2 for a name a state file cannot "
        "hold or a FILE that cannot be loaded, 4 when DIR does not exist.");
  }

  double hold_seconds = -1;  // until interrupted
  CLI::App* hold_cmd = app.add_subcommand("hold", "Hold a scenario's writer lock as an engine does, until interrupted");
  hold_cmd->add_option("DIR", scenario_dir, "The scenario directory")->required();
  hold_cmd->add_option("--seconds", hold_seconds, "Release the lock after this many seconds instead (at most 1e9)")
      ->type_name("N")
      ->check(CLI::Validator(stats_mng_tool_n::seconds_validator(), "0 to 1e9"));
  hold_cmd->footer(
      "Creates DIR/.mw_zq_prefix (hidden) and state.lock when needed, opens the lock file as writer and prints "
      "\"holding LOCKFILE\" once it is held; while it runs, `stats-mng active DIR` answers \"active\". Ctrl-C, "
      "SIGINT or SIGTERM release it.\n"
      "Exit status: 0 after releasing, 1 when another engine holds the lock, 4 when DIR does not exist.");

  std::string fits_type, fits_text, fits_label;
  CLI::App* fits_cmd = app.add_subcommand("fits", "Tell whether a text fits a configuration value type or enumeration");
  fits_cmd->add_option("TYPE", fits_type,
                       "A value type (Number, Bool, String, Text, FullPath, DefFullPath, IPAddr, IPAdrMask, Date, "
                       "MultiEntry, Any, Enum) or an enumeration (Product, Application, Bandwidth ...); case-sensitive")
      ->required();
  fits_cmd->add_option("TEXT", fits_text, "The text, as a data item's val attribute holds it")->required();
  CLI::Option* label_option =
      fits_cmd->add_option("--label", fits_label, "The data item's label (Data_IP and Out_IP may be 0.0.0.0)")
          ->type_name("LABEL");
  fits_cmd->footer(
      "Applies the configuration model's rule for the type: Bool is exactly True or False; IPAddr is four dotted "
      "parts below 256 and not 0.0.0.0 (empty fits); IPAdrMask is ADDRESS/MASK with a contiguous mask; Date is "
      "\"DAY MONTH YEAR\" (month as 1-12 or Jan..Dec) or DAY.MONTH.YEAR / DAY:MONTH:YEAR, each part a number "
      "or ANY, from 1 January 1970 to 31 December 3000 when day and month are given; Bandwidth is Unlimited or a "
      "number; MultiEntry is a type or enumeration name or a number.\n"
      "Exit status: 0 fits, 1 does not fit, 2 when TYPE is neither a type nor an enumeration.");

  CLI::App* template_cmd = app.add_subcommand("template", "Print the configuration template embedded in the library");
  template_cmd->footer("Prints the template text exactly as the library joins it at load (every line followed by a "
                       "line feed). Exit status: 0.");

  std::string object_tag, object_product, object_application;
  bool object_assured_recovery = false;
  CLI::App* default_cmd = app.add_subcommand("default-object", "Print the default of a configuration object as XML");
  default_cmd->add_option("TAG", object_tag, "An object label (Scenario, Switchover, RootDir ...) or its tag number")
      ->required();
  CLI::Option* product_option =
      default_cmd->add_option("--product", object_product, "The product whose defaults apply: Dr, Ha, Cd or Rw")
          ->type_name("P");
  CLI::Option* application_option =
      default_cmd
          ->add_option("--application", object_application,
                       "The application whose defaults apply (FileServer, Exchange, SQL, HyperV, FullSystem ...)")
          ->type_name("A");
  default_cmd->add_flag("--assured-recovery", object_assured_recovery, "Apply the defaults of Assured Recovery on");
  default_cmd->footer(
      "Copies the generic configurator's object for TAG, sets the \"variable\" values and the switch_to_set_default "
      "rows for the product, application and Assured Recovery setting, and removes what relevant and irrelevant "
      "markers rule out. Without --product or --application, markers of that kind treat it as none.\n"
      "Exit status: 0 printed, 1 when the template has no such object (e.g. Group), 2 for an unknown TAG, product "
      "or application.");

  std::string conf_file, conf_field, conf_host;
  std::vector<std::string> conf_values;
  bool conf_force = false;
  CLI::App* get_cmd = app.add_subcommand("get", "Print a field of a scenario configuration file");
  get_cmd->add_option("FILE", conf_file, "The scenario file (as `default-object Scenario` prints one)")->required();
  get_cmd->add_option("FIELD", conf_field, "Object.Label as the tables name it: Switchover.HeartbeatTimeout, Report.status")
      ->required();
  get_cmd->add_option("--host", conf_host, "A host field of this host: its number (1 the master) or manager")
      ->type_name("N|manager");
  get_cmd->add_flag("--json", json, "Print a JSON object: file, field, host, value (an array for a list) and type");
  get_cmd->footer("A scenario field without --host, a host field with it. A list field prints one entry a line.\n"
                  "Exit status: 0 read, 1 when the field cannot be read (the reason on standard error), 2 when FILE "
                  "cannot be loaded.");
  CLI::App* set_cmd = app.add_subcommand("set", "Write a field of a scenario configuration file and save it");
  set_cmd->add_option("FILE", conf_file, "The scenario file")->required();
  set_cmd->add_option("FIELD", conf_field, "Object.Label as the tables name it")->required();
  set_cmd->add_option("VALUE", conf_values, "The value; several for a list field")->required();
  set_cmd->add_option("--host", conf_host, "A host field: the host's number, manager, or all (every host that has it)")
      ->type_name("N|manager|all");
  set_cmd->add_flag("--force", conf_force, "Write a fixed field (ScenarioID, ConfigMode ...) as well");
  set_cmd->footer("The value must fit the field's type. The file is replaced in one step.\n"
                  "Exit status: 0 written, 1 refused (the reason on standard error: a fixed field, a type that does "
                  "not fit, no such field or host), 2 when FILE cannot be loaded or saved.");
  std::vector<std::string> list_roots;
  unsigned list_depth = 1;
  bool list_metrics = false;
  std::string list_write;
  CLI::App* list_cmd = app.add_subcommand("list", "List every scenario below some directories, with its state");
  list_cmd->add_option("ROOT", list_roots, "A directory holding scenario directories")->required();
  list_cmd->add_option("--depth", list_depth, "How many levels below each ROOT to look (1)")
      ->type_name("N")
      ->check(CLI::Range(1u, 64u));
  CLI::Option* list_json = list_cmd->add_flag("--json", json, "Print one JSON array, an object per scenario");
  CLI::Option* list_metrics_option =
      list_cmd->add_flag("--metrics", list_metrics, "Print the text exposition format of metrics scrapers (gauges)");
  list_json->excludes(list_metrics_option);
  list_cmd->add_option("--write", list_write,
                       "With --metrics: replace FILE with the output in one step (a new file beside it, then one "
                       "rename), so a scraper never reads half of it")
      ->type_name("FILE")
      ->needs(list_metrics_option)
      ->check(named);
  list_cmd->footer(
      "A scenario directory is one holding the hidden state directory .mw_zq_prefix. Each is listed with "
      "whether an engine holds its lock, its recorded state (Running, Stop, Sync, Unknown) and index, and "
      "whether and when its synchronisation was recorded as replicated, sorted by directory. Nothing is "
      "created, emptied or written (but FILE of --write). A scenario that cannot be read gets a note, and "
      "the others are still listed. The sync date is the sync time in UTC as ISO 8601 for the years 0001 to "
      "9999; outside them it is '-' (null in JSON) and the time alone is given.\n"
      "Exit status: 0 when every scenario was read, 1 when any was not (or the output could not be written), 4 "
      "when a ROOT is no directory.");

  std::string wait_condition;
  double wait_timeout = -1;
  CLI::App* wait_cmd = app.add_subcommand("wait", "Wait until a scenario meets a condition");
  wait_cmd->add_option("DIR", scenario_dir, "The scenario directory")->required();
  wait_cmd->add_option("--for", wait_condition,
                       "engine=active|inactive, state=Running|Stop|Sync or synced=true|false (any letter case)")
      ->type_name("COND")
      ->required()
      ->check(CLI::Validator(stats_mng_tool_n::condition_validator(), "COND"));
  wait_cmd->add_option("--timeout", wait_timeout, "Give up after this many seconds (at most 1e9; for ever by default)")
      ->type_name("SECONDS")
      ->check(CLI::Validator(stats_mng_tool_n::seconds_validator(), "0 to 1e9"));
  wait_cmd->add_flag("--json", json,
                     "Print a JSON object: directory, state, index and read as `state --json` prints them, with "
                     "active, synced, the condition and whether it was met");
  wait_cmd->footer(
      "Returns as soon as the condition holds, at once when it already does. Reads as `list` reads: nothing is "
      "created or written, the lock is asked with a momentary read-only probe. Woken by the system's change "
      "notification on the scenario's and its parent's state directories; an engine that dies holding the "
      "lock is seen at its lock file's close, and a re-check every second is the safety net. Without "
      "notification it polls (and says so on standard error). Prints what it saw last: active or inactive, the "
      "state, or true or false.\n"
      "Exit status: 0 when the condition holds, 1 when the time passed first, 2 for usage, 4 when DIR does not "
      "exist (or went away).");

  std::vector<std::string> watch_roots;
  unsigned watch_depth = 1;
  CLI::App* watch_cmd = app.add_subcommand("watch", "Print every change of the scenarios below some directories");
  watch_cmd->add_option("ROOT", watch_roots, "A directory holding scenario directories")->required();
  watch_cmd->add_option("--depth", watch_depth, "How many levels below each ROOT to look (1)")
      ->type_name("N")
      ->check(CLI::Range(1u, 64u));
  watch_cmd->add_flag("--json", json, "Print one JSON object per line (JSON Lines)");
  watch_cmd->footer(
      "First a line per scenario with its current state (change \"current\"), then one line per change, with "
      "the time it was seen: a scenario appeared or went away, its reading failed or recovered (read), an "
      "engine took or dropped it (engine), its state and index changed (state), whether or when its "
      "synchronisation was recorded as replicated changed (sync). Scenarios are found as `list` finds them and "
      "read as it reads them; nothing is written. Runs until interrupted (Ctrl-C, SIGINT, SIGTERM). Changes "
      "faster than they can be read may be seen as one.\n"
      "Exit status: 0 after an interrupt, 1 when the output cannot be written, 4 when a ROOT is no directory.");

  std::string validate_messages;
  CLI::App* validate_cmd = app.add_subcommand("validate", "Check a scenario file as an engine does before it runs it");
  validate_cmd->add_option("FILE", conf_file, "The scenario file")->required();
  validate_cmd->add_option("--messages", validate_messages,
                           "Show the findings with the texts of this message file instead of the built-in ones "
                           "(UTF-8 lines \"ID text\"; the built-in file is installed as "
                           "share/stats-mng/validation_messages.txt)")
      ->type_name("FILE")
      ->check(named);
  validate_cmd->add_flag("--json", json,
                         "Print one JSON object: file, consistent, valid, and the findings (pass, host, entry, "
                         "code, path, value, text)");
  validate_cmd->footer(
      "Runs the consistency check (is every item well formed) and then the validity check (do the settings "
      "make sense: types, limits, mandatory lists, and the rules across the hosts and their root directories), "
      "and prints every finding, one a line: where (Scenario, Master or Replica #N, a root directory's "
      "position), the field's path and value, then what is wrong.\n"
      "Exit status: 0 when both checks hold, 1 when any finding was made, 2 when FILE (or the message file) "
      "cannot be read or holds no Scenario.");

  uint64_t roots_host = 1;
  CLI::App* roots_cmd = app.add_subcommand("roots", "Print the root directories of a host of a scenario file");
  roots_cmd->add_option("FILE", conf_file, "The scenario file")->required();
  roots_cmd->add_option("--host", roots_host, "The host number (1, the master, by default)")
      ->type_name("N")
      ->check(CLI::Validator(stats_mng_tool_n::unsigned_validator(UINT32_MAX), "N"));
  roots_cmd->footer("Exit status: 0 printed, 1 when the file has no such host, 2 when FILE cannot be loaded.");

  // A shell's completion asks what may come next (every command and option is defined by now).
  if (argc > 1 && std::string(argv[1]) == stats_mng_tool_n::k_complete_option) {
    return stats_mng_tool_n::complete_command_line(app, std::vector<std::string>(argv + 2, argv + argc), std::cout);
  }

  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    // Help and version end well; every usage error (an unknown option, a number out of range ...)
    // says what is wrong and ends with 2.
    const int code = app.exit(e);
    // A pipeline that asked for JSON gets JSON for a usage error too.
    if (code != 0) {
      for (int i = 1; i < argc; ++i) {
        if (std::string(argv[i]) != "--json") continue;
        stats_mng_tool_n::print_json(std::cout, {{"error", stats_mng_tool_n::printable(e.what())}});
        break;
      }
    }
    return code == 0 ? 0 : 2;
  }

  trace_log_problem_c trace_log_problem;
  if (!log_dir.empty() || !trace_settings.empty()) {
    set_trc_file_log_path(trace_settings.c_str(), log_dir.c_str());
    trace_log_problem.tell();
  }

  if (!stats_mng_tool_n::map_drives(drives, std::cerr)) return 2;

  using stats_mng_tool_n::with_json_failure;
  using command_f = std::function<int(std::ostream&, std::ostream&)>;
  // With --json a failure prints a JSON object too, naming what the command was asked about.
  const nlohmann::ordered_json about_dir = {{"directory", scenario_dir}};
  auto json_command = [&](const nlohmann::ordered_json& subject, const command_f& command) {
    return with_json_failure(json, subject, std::cout, std::cerr, command);
  };
  if (active_cmd->parsed()) {
    return json_command(about_dir, [&](std::ostream& out, std::ostream& err) {
      return stats_mng_tool_n::ask_engine_active(scenario_dir, json, out, err);
    });
  }
  if (state_cmd->parsed()) {
    return json_command(about_dir, [&](std::ostream& out, std::ostream& err) {
      return stats_mng_tool_n::print_state(scenario_dir, json, out, err);
    });
  }
  if (synced_cmd->parsed()) {
    return json_command(about_dir, [&](std::ostream& out, std::ostream& err) {
      return stats_mng_tool_n::print_synced(scenario_dir, json, out, err);
    });
  }
  for (CLI::App* cmd : {set_state_cmd, set_sync_cmd}) {
    if (!cmd->parsed()) continue;
    std::string& value = cmd == set_state_cmd ? running_text : synced_text;
    const char* first = cmd == set_state_cmd ? "running" : "true";
    const char* second = cmd == set_state_cmd ? "stop" : "false";
    const bool with_config = cmd->count("--config") > 0;
    // With --config the single positional filled DIR: it is the state.
    if (with_config && value.empty()) std::swap(value, scenario_dir);
    if (with_config == !scenario_dir.empty() || (with_config && state_config.empty())) {
      std::cerr << "stats-mng " << cmd->get_name() << ": give either DIR or --config FILE\n"
                << "Run with --help for more information.\n";
      return 2;
    }
    if (utl_n::ascii_compare_nocase(value.c_str(), first) != 0 && utl_n::ascii_compare_nocase(value.c_str(), second) != 0) {
      std::cerr << "stats-mng " << cmd->get_name() << ": " << (cmd == set_state_cmd ? "STATE" : "SYNCED")
                << (value.empty() ? " is required" : " must be ") << (value.empty() ? "" : first)
                << (value.empty() ? "" : " or ") << (value.empty() ? "" : second) << "\n"
                << "Run with --help for more information.\n";
      return 2;
    }
    record.scenario_id_given = cmd->count("--scenario-id") > 0;
    record.name_given = cmd->count("--name") > 0;
  }
  if (set_state_cmd->parsed()) {
    const bool running = utl_n::ascii_compare_nocase(running_text.c_str(), "running") == 0;
    if (!state_config.empty()) return stats_mng_tool_n::record_config_state(state_config, running, record, std::cerr);
    return stats_mng_tool_n::record_state(scenario_dir, running, record, std::cerr);
  }
  if (set_sync_cmd->parsed()) {
    const bool synced = utl_n::ascii_compare_nocase(synced_text.c_str(), "true") == 0;
    if (!state_config.empty()) {
      return stats_mng_tool_n::record_config_sync(state_config, synced, sync_time, record, std::cerr);
    }
    return stats_mng_tool_n::record_sync(scenario_dir, synced, sync_time, record, std::cerr);
  }
  if (hold_cmd->parsed()) return stats_mng_tool_n::hold_engine_lock(scenario_dir, hold_seconds, std::cout, std::cerr);
  if (get_cmd->parsed()) {
    nlohmann::ordered_json subject = {{"file", conf_file}, {"field", conf_field}};
    if (!conf_host.empty()) subject["host"] = conf_host;
    return json_command(subject, [&](std::ostream& out, std::ostream& err) {
      return stats_mng_tool_n::print_field(conf_file, conf_field, conf_host, json, out, err);
    });
  }
  if (set_cmd->parsed()) {
    return stats_mng_tool_n::write_field(conf_file, conf_field, conf_values, conf_host, conf_force, std::cerr);
  }
  if (list_cmd->parsed()) {
    const stats_mng_tool_n::list_format_e format =
        list_metrics ? stats_mng_tool_n::LIST_METRICS : json ? stats_mng_tool_n::LIST_JSON : stats_mng_tool_n::LIST_TABLE;
    return json_command({{"roots", list_roots}}, [&](std::ostream& out, std::ostream& err) {
      return stats_mng_tool_n::list_scenarios(list_roots, list_depth, format, list_write, out, err);
    });
  }
  if (wait_cmd->parsed()) {
    return json_command(about_dir, [&](std::ostream& out, std::ostream& err) {
      return stats_mng_tool_n::wait_for_condition(scenario_dir, wait_condition, wait_timeout, json, out, err);
    });
  }
  if (watch_cmd->parsed()) {
    return json_command({{"roots", watch_roots}}, [&](std::ostream& out, std::ostream& err) {
      return stats_mng_tool_n::watch_scenarios(watch_roots, watch_depth, json, out, err);
    });
  }
  if (validate_cmd->parsed()) {
    return json_command({{"file", conf_file}}, [&](std::ostream& out, std::ostream& err) {
      return stats_mng_tool_n::validate_scenario(conf_file, validate_messages, json, out, err);
    });
  }
  if (roots_cmd->parsed()) return stats_mng_tool_n::print_roots(conf_file, roots_host, std::cout, std::cerr);
  if (template_cmd->parsed()) return stats_mng_tool_n::print_template(std::cout);
  if (default_cmd->parsed()) {
    return stats_mng_tool_n::print_default_object(
        object_tag, product_option->count() > 0 ? &object_product : nullptr,
        application_option->count() > 0 ? &object_application : nullptr, object_assured_recovery, std::cout, std::cerr);
  }
  if (fits_cmd->parsed()) {
    const int code = stats_mng_tool_n::print_fits(fits_type, fits_text, label_option->count() > 0 ? &fits_label : nullptr,
                                                  std::cout, std::cerr);
    return code;
  }
  if (message_cmd->parsed()) return stats_mng_tool_n::print_message(message_id, message_file, std::cout, std::cerr);
  if (path_cmd->parsed()) {
    if (windows_form) return stats_mng_tool_n::print_windows_paths(paths, std::cout, std::cerr);
    return stats_mng_tool_n::print_standard_paths(paths, keep_prefix, std::cout, std::cerr);
  }
  return 0;
}
