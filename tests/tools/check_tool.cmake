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

execute_process(COMMAND ${run} message ig00221 OUTPUT_VARIABLE out RESULT_VARIABLE rc)
string(REPLACE "\r\n" "\n" out "${out}")
if(NOT rc EQUAL 1 OR NOT out STREQUAL "Message not found\n")
  message(FATAL_ERROR "stats-mng message without a file gave rc=${rc} [${out}]")
endif()
execute_process(COMMAND ${run} message ig00221 --messages ${SAMPLES}/messages.txt OUTPUT_VARIABLE out RESULT_VARIABLE rc)
string(REPLACE "\r\n" "\n" out "${out}")
if(NOT rc EQUAL 0 OR NOT out STREQUAL "Scenario is running.\n")
  message(FATAL_ERROR "stats-mng message with the sample file gave rc=${rc} [${out}]")
endif()

# fits: the configuration model's type rules, with the exit status saying the verdict.
foreach(check
    "1|does not fit|IPAddr|0.0.0.0"
    "0|fits|IPAddr|0.0.0.0|--label|Data_IP"
    "0|fits|Date|29 Feb ANY"
    "1|does not fit|Date|29 Feb 2021"
    "1|does not fit: Unable to convert \"HA\" to Product|Product|HA"
    "0|fits|Bandwidth|1544.0"
    "2|-|Colour|red")
  string(REPLACE "|" ";" parts "${check}")
  list(POP_FRONT parts want_rc want_out)
  if(want_out STREQUAL "-")
    set(want_out "")
  endif()
  execute_process(COMMAND ${run} fits ${parts} OUTPUT_VARIABLE out ERROR_VARIABLE err RESULT_VARIABLE rc)
  string(REPLACE "\r\n" "\n" out "${out}")
  string(STRIP "${out}" out)
  if(NOT rc EQUAL want_rc OR NOT out STREQUAL want_out)
    message(FATAL_ERROR "stats-mng fits ${parts} gave rc=${rc} [${out}] (wanted ${want_rc} [${want_out}]) ${err}")
  endif()
endforeach()
