// What a byte may be in an XML name as this library reads and writes names: shared by the reader's
// name check and by what scans a document's bytes without the reader.
#ifndef STATS_MNG_XML_XML_NAME_BYTES_H
#define STATS_MNG_XML_XML_NAME_BYTES_H

// 2: a name's first byte (a letter or '_'); 1: a byte of a name after its first (also a digit, '-',
// '.', ':', '[' or ']'); 0: no name byte (bytes past ASCII included).
constexpr unsigned char xml_name_byte_kind(int c) {
  return ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_') ? 2
         : ((c >= '0' && c <= '9') || c == '-' || c == '.' || c == ':' || c == '[' || c == ']') ? 1
                                                                                                 : 0;
}

#endif
