#include "child_process.h"

#include <cstring>
#include <map>

namespace test_support_n {

namespace {
std::map<std::string, child_main_f>& roles() {
  static std::map<std::string, child_main_f> table;
  return table;
}
}  // namespace

child_role_registrar_s::child_role_registrar_s(const char* role, child_main_f main) { roles()[role] = main; }

bool run_child_role(int argc, char** argv, int& exit_code) {
  if (argc < 3 || std::strcmp(argv[1], "--child") != 0) return false;
  auto it = roles().find(argv[2]);
  if (it == roles().end()) {
    exit_code = 125;
    return true;
  }
  exit_code = it->second(std::vector<std::string>(argv + 3, argv + argc));
  return true;
}

}  // namespace test_support_n
