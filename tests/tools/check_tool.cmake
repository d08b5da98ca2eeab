# Runs the stats-mng tool on the documented path examples and compares its output.
set(run ${TOOL})
if(EMULATOR)
  set(run ${EMULATOR} ${TOOL})
endif()
execute_process(COMMAND ${run} path "C:\\Data\\\\Sub\\" "\\\\?\\C:\\Data" "C:\\a\\.\\b\\..\\c" "\\\\server\\share\\dir\\"
  OUTPUT_VARIABLE out ERROR_VARIABLE err RESULT_VARIABLE rc)
string(REPLACE "\r\n" "\n" out "${out}")
set(expected "C:/Data/Sub\nC:/Data\nC:/a/c\n\\\\server\\share/dir\n")
if(NOT rc EQUAL 0 OR NOT out STREQUAL expected)
  message(FATAL_ERROR "stats-mng path gave rc=${rc}\n[${out}]\nexpected\n[${expected}]\nstderr: ${err}")
endif()

execute_process(COMMAND ${run} path "C:/ok" "\\" OUTPUT_VARIABLE out ERROR_VARIABLE err RESULT_VARIABLE rc)
string(REPLACE "\r\n" "\n" out "${out}")
if(rc EQUAL 0 OR NOT out STREQUAL "C:/ok\n" OR NOT err MATCHES "has no standard form")
  message(FATAL_ERROR "a failed normalisation must be reported and exit non-zero: rc=${rc} out=[${out}] err=[${err}]")
endif()

execute_process(COMMAND ${run} --version OUTPUT_VARIABLE out RESULT_VARIABLE rc)
if(NOT rc EQUAL 0 OR NOT out MATCHES "^stats-mng [0-9]+\\.[0-9]+")
  message(FATAL_ERROR "--version printed [${out}] rc=${rc}")
endif()

execute_process(COMMAND ${run} path --wide "C:\\Data\\Sub\\" "\\\\srv\\share\\d" "rel/dir"
  OUTPUT_VARIABLE out ERROR_VARIABLE err RESULT_VARIABLE rc)
string(REPLACE "\r\n" "\n" out "${out}")
set(expected "\\\\?\\C:\\Data\\Sub\n\\\\?\\UNC\\srv\\share\\d\nrel\\dir\n")
if(NOT rc EQUAL 0 OR NOT out STREQUAL expected)
  message(FATAL_ERROR "stats-mng path --wide gave rc=${rc}\n[${out}]\nexpected\n[${expected}]\nstderr: ${err}")
endif()
