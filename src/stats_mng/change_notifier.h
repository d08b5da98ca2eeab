// The system's change notification on directories, as a watcher of scenarios needs it: inotify on
// Linux (change_notifier_posix.cpp), directory change notifications on Windows
// (change_notifier_win32.cpp). It only says where something changed; what changed is read again.
#ifndef STATS_MNG_STATS_MNG_CHANGE_NOTIFIER_H
#define STATS_MNG_STATS_MNG_CHANGE_NOTIFIER_H

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

class change_notifier_c {
 public:
  enum watch_kind_e {
    // Entries that come and go (a directory made, removed or renamed in it, a state directory
    // appearing), and the directory itself going.
    WATCH_ENTRIES,
    // A state directory: besides its entries, files replaced by a rename, written and closed after
    // writing (also by a process that dies holding them), emptied, or given other attributes.
    WATCH_STATE,
  };
  struct event_s {
    std::string directory;  // as it was given to add
    std::string name;       // the entry; empty when the system does not say (look at every entry)
    bool entry_may_be_directory = true;  // false when the entry is known to be no directory
    bool directory_gone = false;         // the watched directory itself was removed or renamed
    bool overflow = false;  // the system dropped events: everything must be read again
  };
  enum add_result_e { ADDED, MISSING, EXHAUSTED, REFUSED };

  // The notifier of this system; null, with why, when there is none (no inotify, too many instances).
  static std::unique_ptr<change_notifier_c> create(std::string& why);
  virtual ~change_notifier_c() = default;

  // Watches a directory (adding the kind to an earlier watch of it). MISSING when it does not exist
  // (or is no directory); EXHAUSTED when the system's limit of watches is reached; REFUSED for any
  // other reason. why says which.
  virtual add_result_e add(const std::string& directory, watch_kind_e kind, std::string& why) = 0;
  // Stops watching a directory (nothing when it is not watched).
  virtual void remove(const std::string& directory) = 0;
  // Waits up to timeout_ms (negative: until something happens) and appends what happened, in the
  // order it happened. False, with why, when waiting itself failed.
  virtual bool wait(long long timeout_ms, std::vector<event_s>& events, std::string& why) = 0;
  // The directories watched.
  virtual size_t count() const = 0;
};

#endif
