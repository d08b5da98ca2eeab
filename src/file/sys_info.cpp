#include "file/sys_info.h"

#include "platform/trc/zqtr.h"

sys_info_c::sys_info_c() { ZQTR_SCOPE(tr, "sys_info_c::sys_info_c", "sys_info"); }
