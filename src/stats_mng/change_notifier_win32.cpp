// The change notifier on Windows: a directory change notification per directory, waited for all at
// once. The system says only which directory changed, not which entry; a wait takes at most
// MAXIMUM_WAIT_OBJECTS handles, so more directories than that exhaust it (the watcher then polls).
#include "stats_mng/change_notifier.h"

#include "file/path_n.h"
#include "platform/win32/win32_api.h"

#include <map>
#include <vector>

namespace {

// Entries: names made, removed or renamed (not the times of the directories below, which change with
// every file written in them). A state directory: its files' sizes, times and attributes too.
constexpr DWORD k_entry_filter = FILE_NOTIFY_CHANGE_FILE_NAME | FILE_NOTIFY_CHANGE_DIR_NAME;
constexpr DWORD k_state_filter =
    k_entry_filter | FILE_NOTIFY_CHANGE_ATTRIBUTES | FILE_NOTIFY_CHANGE_SIZE | FILE_NOTIFY_CHANGE_LAST_WRITE;

class win32_notifier_c : public change_notifier_c {
 public:
  ~win32_notifier_c() override {
    for (auto& watched : m_handles) FindCloseChangeNotification(watched.second);
  }

  add_result_e add(const std::string& directory, watch_kind_e kind, std::string& why) override {
    if (m_handles.count(directory) != 0) return ADDED;
    if (m_handles.size() >= MAXIMUM_WAIT_OBJECTS) {
      why = "cannot watch " + directory + ": a wait takes at most " + std::to_string(MAXIMUM_WAIT_OBJECTS) +
            " directories";
      return EXHAUSTED;
    }
    std::vector<wchar_t> wide(PATH_BUFFER_SIZE);
    path_n::path_to_wide_char_path(directory.c_str(), wide.data(), true);
    const HANDLE handle = FindFirstChangeNotificationW(wide.data(), FALSE, kind == WATCH_STATE ? k_state_filter : k_entry_filter);
    if (handle == INVALID_HANDLE_VALUE) {
      const DWORD error = GetLastError();
      why = "cannot watch " + directory + ": error " + std::to_string(error);
      return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND || error == ERROR_DIRECTORY ? MISSING
                                                                                                         : REFUSED;
    }
    m_handles[directory] = handle;
    return ADDED;
  }

  void remove(const std::string& directory) override {
    auto known = m_handles.find(directory);
    if (known == m_handles.end()) return;
    FindCloseChangeNotification(known->second);
    m_handles.erase(known);
  }

  bool wait(long long timeout_ms, std::vector<event_s>& events, std::string& why) override {
    std::vector<HANDLE> handles;
    std::vector<std::string> names;
    for (auto& watched : m_handles) {
      handles.push_back(watched.second);
      names.push_back(watched.first);
    }
    const DWORD timeout = timeout_ms < 0 ? INFINITE : timeout_ms > 86400000 ? 86400000 : static_cast<DWORD>(timeout_ms);
    if (handles.empty()) {
      Sleep(timeout == INFINITE ? 1000 : timeout);
      return true;
    }
    DWORD result = WaitForMultipleObjects(static_cast<DWORD>(handles.size()), handles.data(), FALSE, timeout);
    if (result == WAIT_TIMEOUT) return true;
    if (result == WAIT_FAILED || result >= WAIT_OBJECT_0 + handles.size()) {
      why = "cannot wait for changes: error " + std::to_string(GetLastError());
      return false;
    }
    // Every directory signalled now, not only the first.
    for (size_t i = result - WAIT_OBJECT_0; i < handles.size(); ++i) {
      if (i != result - WAIT_OBJECT_0 && WaitForSingleObject(handles[i], 0) != WAIT_OBJECT_0) continue;
      event_s event;
      event.directory = names[i];
      events.push_back(event);
      if (!FindNextChangeNotification(handles[i])) {
        // The directory went away under its notification.
        event.directory_gone = true;
        events.push_back(event);
        remove(names[i]);
      }
    }
    return true;
  }

  size_t count() const override { return m_handles.size(); }

 private:
  std::map<std::string, HANDLE> m_handles;
};

}  // namespace

std::unique_ptr<change_notifier_c> change_notifier_c::create(std::string&) {
  return std::unique_ptr<change_notifier_c>(new win32_notifier_c);
}
