# Turns a binary file into a C++ source defining zeltra::firmware::SYMBOL and SYMBOLSize.
# Usage: cmake -DIN=file.bin -DOUT=file.cpp -DSYMBOL=name -P embed_binary.cmake
file(READ ${IN} hex HEX)
string(LENGTH "${hex}" digits)
math(EXPR size "${digits} / 2")
if(size EQUAL 0)
  message(FATAL_ERROR "${IN} is empty")
endif()
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
# 16 bytes per line keeps the generated file readable.
string(REGEX REPLACE "((0x..,){16})" "\\1\n    " bytes "${bytes}")
file(WRITE ${OUT}.tmp
  "// Generated from ${IN}; do not edit.\n"
  "#include \"zeltra/nvm_burner_image.h\"\n\n"
  "namespace zeltra::firmware {\n\n"
  "const unsigned char ${SYMBOL}[] = {\n    ${bytes}\n};\n"
  "const std::size_t ${SYMBOL}Size = sizeof(${SYMBOL});\n\n"
  "}  // namespace zeltra::firmware\n")
file(RENAME ${OUT}.tmp ${OUT})
