# Writes OUTPUT, a C++ source defining zelmo::pdf::NAME (the bytes of INPUT) and NAMESize.
# Run as: cmake -DINPUT=... -DOUTPUT=... -DNAME=... -P embed_file.cmake
file(READ "${INPUT}" hex HEX)
string(LENGTH "${hex}" digits)
math(EXPR size "${digits} / 2")
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
file(WRITE "${OUTPUT}.tmp"
  "// Generated at build time from ${INPUT}; not edited by hand.\n"
  "#include <cstddef>\n"
  "namespace zelmo::pdf {\n"
  "extern const unsigned char ${NAME}[];\n"
  "extern const std::size_t ${NAME}Size;\n"
  "const unsigned char ${NAME}[] = {${bytes}};\n"
  "const std::size_t ${NAME}Size = ${size};\n"
  "}  // namespace zelmo::pdf\n")
file(RENAME "${OUTPUT}.tmp" "${OUTPUT}")
