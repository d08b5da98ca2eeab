// The change notifier on Linux: one inotify instance, a watch per directory.
#include "stats_mng/change_notifier.h"

#include <cerrno>
#include <cstring>
#include <map>
#include <set>

#include <poll.h>
#include <sys/inotify.h>
#include <unistd.h>

namespace {

constexpr uint32_t k_entry_events = IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO | IN_DELETE_SELF | IN_MOVE_SELF;
// Writers replace a state file by a rename (IN_MOVED_TO); an engine's lock file is emptied when it is
// taken (IN_MODIFY) and closed after writing when its holder lets go or dies (IN_CLOSE_WRITE). Opens
// and closes of readers (our own probes and reads among them) are not asked for: they change nothing.
constexpr uint32_t k_state_events = k_entry_events | IN_CLOSE_WRITE | IN_MODIFY | IN_ATTRIB;

class inotify_notifier_c : public change_notifier_c {
 public:
  explicit inotify_notifier_c(int fd) : m_fd(fd) {}
  ~inotify_notifier_c() override { ::close(m_fd); }

  add_result_e add(const std::string& directory, watch_kind_e kind, std::string& why) override {
    const uint32_t mask = (kind == WATCH_STATE ? k_state_events : k_entry_events) | IN_ONLYDIR | IN_MASK_ADD;
    const int wd = inotify_add_watch(m_fd, directory.c_str(), mask);
    if (wd < 0) {
      const int error = errno;
      why = "cannot watch " + directory + ": " + std::strerror(error);
      if (error == ENOSPC) {
        why = "cannot watch " + directory + ": the limit of inotify watches is reached (fs.inotify.max_user_watches)";
        return EXHAUSTED;
      }
      if (error == ENOMEM) return EXHAUSTED;
      return error == ENOENT || error == ENOTDIR ? MISSING : REFUSED;
    }
    // One directory reached under two names (a link) is one watch: both names hear of it.
    auto known = m_paths.find(directory);
    if (known != m_paths.end() && known->second != wd) _forget(directory);
    m_paths[directory] = wd;
    m_names[wd].insert(directory);
    return ADDED;
  }

  void remove(const std::string& directory) override {
    auto known = m_paths.find(directory);
    if (known == m_paths.end()) return;
    const int wd = known->second;
    _forget(directory);
    if (m_names.find(wd) == m_names.end()) inotify_rm_watch(m_fd, wd);
  }

  bool wait(long long timeout_ms, std::vector<event_s>& events, std::string& why) override {
    pollfd p{m_fd, POLLIN, 0};
    const int timeout = timeout_ms < 0 ? -1 : timeout_ms > 86400000 ? 86400000 : static_cast<int>(timeout_ms);
    const int ready = ::poll(&p, 1, timeout);
    if (ready < 0) {
      if (errno == EINTR) return true;
      why = std::string("cannot wait for changes: ") + std::strerror(errno);
      return false;
    }
    if (ready == 0) return true;
    // Whatever is queued, in one or more reads (the descriptor does not block).
    alignas(inotify_event) char buffer[64 * 1024];
    for (;;) {
      const ssize_t n = ::read(m_fd, buffer, sizeof buffer);
      if (n < 0) {
        if (errno == EAGAIN || errno == EINTR) return true;
        why = std::string("cannot read the change notifications: ") + std::strerror(errno);
        return false;
      }
      if (n == 0) return true;
      for (ssize_t at = 0; at < n;) {
        const inotify_event* e = reinterpret_cast<const inotify_event*>(buffer + at);
        at += static_cast<ssize_t>(sizeof(inotify_event) + e->len);
        _translate(*e, events);
      }
      if (static_cast<size_t>(n) < sizeof buffer / 2) return true;
    }
  }

  size_t count() const override { return m_paths.size(); }

 private:
  void _forget(const std::string& directory) {
    auto known = m_paths.find(directory);
    if (known == m_paths.end()) return;
    auto names = m_names.find(known->second);
    if (names != m_names.end()) {
      names->second.erase(directory);
      if (names->second.empty()) m_names.erase(names);
    }
    m_paths.erase(known);
  }

  void _translate(const inotify_event& e, std::vector<event_s>& events) {
    if ((e.mask & IN_Q_OVERFLOW) != 0) {
      event_s overflow;
      overflow.overflow = true;
      events.push_back(overflow);
      return;
    }
    auto names = m_names.find(e.wd);
    if (names == m_names.end()) return;
    const std::set<std::string> directories = names->second;
    for (const std::string& directory : directories) {
      event_s event;
      event.directory = directory;
      if ((e.mask & (IN_DELETE_SELF | IN_MOVE_SELF | IN_IGNORED | IN_UNMOUNT)) != 0) {
        event.directory_gone = true;
      } else {
        if (e.len > 0) event.name = e.name;
        event.entry_may_be_directory = (e.mask & IN_ISDIR) != 0;
      }
      events.push_back(event);
    }
    // A removed watch is gone from the system: its names are forgotten.
    if ((e.mask & IN_IGNORED) != 0) {
      for (const std::string& directory : directories) m_paths.erase(directory);
      m_names.erase(e.wd);
    }
  }

  int m_fd;
  std::map<std::string, int> m_paths;
  std::map<int, std::set<std::string>> m_names;
};

}  // namespace

std::unique_ptr<change_notifier_c> change_notifier_c::create(std::string& why) {
  const int fd = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
  if (fd < 0) {
    why = std::string("inotify is not available: ") + std::strerror(errno);
    if (errno == EMFILE) why += " (the limit of inotify instances, fs.inotify.max_user_instances, is reached)";
    return nullptr;
  }
  return std::unique_ptr<change_notifier_c>(new inotify_notifier_c(fd));
}
