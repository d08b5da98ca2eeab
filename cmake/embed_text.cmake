# Turns a text file into a C++ source defining one constant C string with its content.
# Usage: cmake -DINPUT=file.txt -DOUTPUT=file.cpp -DNAME=identifier -P embed_text.cmake
file(READ "${INPUT}" text)
if(text MATCHES "\\)embedded\"")
  message(FATAL_ERROR "${INPUT}: the text may not hold )embedded\"")
endif()
file(WRITE "${OUTPUT}.tmp"
  "// Generated from ${INPUT} by embed_text.cmake: do not edit.\n"
  "extern const char* const ${NAME};\n"
  "const char* const ${NAME} = R\"embedded(${text})embedded\";\n")
file(COPY_FILE "${OUTPUT}.tmp" "${OUTPUT}" ONLY_IF_DIFFERENT)
file(REMOVE "${OUTPUT}.tmp")
