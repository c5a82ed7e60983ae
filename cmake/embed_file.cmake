# cmake -DINPUT=file -DOUTPUT=out.cpp -DSYMBOL=name -P embed_file.cmake
# Turns a binary file into a C++ array definition `extern const unsigned char SYMBOL[]` and
# `extern const unsigned SYMBOL_size`.
file(READ "${INPUT}" _hex HEX)
string(LENGTH "${_hex}" _len)
math(EXPR _bytes "${_len} / 2")
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," _body "${_hex}")
string(REGEX REPLACE "((0x[0-9a-f][0-9a-f],){16})" "\\1\n" _body "${_body}")
file(WRITE "${OUTPUT}.tmp" "// Generated from ${INPUT}; do not edit.\nextern const unsigned char ${SYMBOL}[] = {\n${_body}\n};\nextern const unsigned ${SYMBOL}_size = ${_bytes};\n")
file(RENAME "${OUTPUT}.tmp" "${OUTPUT}")
