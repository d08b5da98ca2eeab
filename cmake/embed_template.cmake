# Turns the configuration template (an XML file) into one C string the library reads at load: a
# string literal per line (its line feed included), which the compiler joins into one array. The
# text needs no relocation when the library loads (a table of pointers to the lines needed one per
# line) and no joining of lines.
# Usage: cmake -DINPUT=template.xml -DOUTPUT=lines.cpp -P embed_template.cmake
file(READ "${INPUT}" text)
if(text MATCHES "\r")
  message(FATAL_ERROR "${INPUT}: carriage returns are not allowed (the lines end with a line feed)")
endif()
if(NOT text MATCHES "\n$")
  message(FATAL_ERROR "${INPUT}: the last line must end with a line feed")
endif()
string(REGEX REPLACE "\n$" "" text "${text}")
# The joined text: every line and its line feed (string(LENGTH) counts bytes).
string(LENGTH "${text}" joined_length)
math(EXPR joined_length "${joined_length} + 1")
string(REPLACE "\\" "\\\\" text "${text}")
string(REPLACE "\"" "\\\"" text "${text}")
string(REPLACE "\t" "\\t" text "${text}")
string(REGEX MATCHALL "\n" line_ends "${text}")
list(LENGTH line_ends count)
math(EXPR count "${count} + 1")
string(REPLACE "\n" "\\n\"\n    \"" text "${text}")
file(WRITE "${OUTPUT}.tmp"
  "// Generated from ${INPUT} by embed_template.cmake: do not edit.\n"
  "#include \"xmc/generic_template.h\"\n\n"
  "const size_t generic_template_line_count = ${count};\n"
  "const size_t generic_template_length = ${joined_length};\n\n"
  "const char generic_template_text[${joined_length} + 1] =\n    \"${text}\\n\";\n")
file(COPY_FILE "${OUTPUT}.tmp" "${OUTPUT}" ONLY_IF_DIFFERENT)
file(REMOVE "${OUTPUT}.tmp")
