# Writes a C++ source that holds the resource script, the id header and the
# icon, so the emulated handheld can load the program's resources.
file(READ ${RC} rc_text)
file(READ ${HEADER} header_text)
file(READ ${ICON} icon_hex HEX)
string(LENGTH "${icon_hex}" hex_len)
math(EXPR icon_size "${hex_len} / 2")
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," icon_bytes "${icon_hex}")
file(WRITE ${OUT} "#include <cstddef>\n"
  "extern const char skylode_rc_script[] = R\"SKYLODE_RC(${rc_text})SKYLODE_RC\";\n"
  "extern const char skylode_resource_header[] = R\"SKYLODE_RC(${header_text})SKYLODE_RC\";\n"
  "extern const unsigned char skylode_icon[] = {${icon_bytes}};\n"
  "extern const std::size_t skylode_icon_size = ${icon_size};\n")
