# Writes INPUT's bytes as a C++ array named IDENTIFIER into OUTPUT.
file(READ "${INPUT}" hex HEX)
string(LENGTH "${hex}" digits)
math(EXPR size "${digits} / 2")
string(REGEX REPLACE "([0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f])" "\\1\n" hex "${hex}")
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
get_filename_component(name "${INPUT}" NAME)
file(WRITE "${OUTPUT}"
  "// Generated from ${name}; do not edit.\n"
  "namespace tavrel::pictures\n{\n"
  "extern const unsigned char ${IDENTIFIER}[];\nextern const int ${IDENTIFIER}Size;\n\n"
  "const unsigned char ${IDENTIFIER}[] = {\n${bytes}\n};\n\n"
  "const int ${IDENTIFIER}Size = ${size};\n}\n")
