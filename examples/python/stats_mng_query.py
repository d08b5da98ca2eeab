#!/usr/bin/env python3
"""Asks the library about a scenario directory through ctypes.

Usage: stats_mng_query.py LIBRARY SCENARIO_DIR   (LIBRARY: the path of libstats_mng.so)
"""
import ctypes
import sys

STATE_NAMES = ["Running", "Stop", "Sync", "Unknown"]


def main():
    if len(sys.argv) != 3:
        print(__doc__, file=sys.stderr)
        return 2
    library = ctypes.CDLL(sys.argv[1])
    for name in ("is_engine_active_for_scenario", "is_sync_replicated"):
        getattr(library, name).argtypes = [ctypes.c_char_p]
        getattr(library, name).restype = ctypes.c_bool
    library.get_scenario_state_index.argtypes = [ctypes.c_char_p, ctypes.POINTER(ctypes.c_uint)]
    library.get_scenario_state_index.restype = ctypes.c_bool
    library.set_trc_file_log_path.argtypes = [ctypes.c_char_p, ctypes.c_char_p]
    library.set_trc_file_log_path.restype = ctypes.c_bool

    directory = sys.argv[2].encode("utf-8")
    library.set_trc_file_log_path(None, None)
    index = ctypes.c_uint(99)
    read = library.get_scenario_state_index(directory, ctypes.byref(index))
    active = library.is_engine_active_for_scenario(directory)
    synced = library.is_sync_replicated(directory)
    print("active=%s synced=%s state=%s read=%s" % (
        str(active).lower(), str(synced).lower(), STATE_NAMES[min(index.value, 3)], str(read).lower()))
    return 0 if read else 1


if __name__ == "__main__":
    sys.exit(main())
