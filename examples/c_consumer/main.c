/* Asks the library about a scenario directory, as another process of the engine would. */
#include <stats_mng/stats_mng.h>

#include <stdio.h>

int main(int argc, char** argv) {
  static const char* const names[] = {"Running", "Stop", "Sync", "Unknown"};
  unsigned int index = 3;
  bool read;
  if (argc != 2) {
    fprintf(stderr, "usage: %s SCENARIO_DIR\n", argv[0]);
    return 2;
  }
  set_trc_file_log_path(NULL, NULL);
  read = get_scenario_state_index(argv[1], &index);
  printf("active=%s synced=%s state=%s read=%s\n", is_engine_active_for_scenario(argv[1]) ? "true" : "false",
         is_sync_replicated(argv[1]) ? "true" : "false", names[index > 3 ? 3 : index], read ? "true" : "false");
  return read ? 0 : 1;
}
