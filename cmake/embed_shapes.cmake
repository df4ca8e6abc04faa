# Writes OUTPUT, a C++ source holding every .wmf file of FOLDER as a byte array, for
# StockShapeFiles() (cli/commands/stock_shapes.h): imagetool carries the stock mask shapes, so that
# an installed program needs no source tree. Run with cmake -P at build time.
file(GLOB names RELATIVE ${FOLDER} ${FOLDER}/*.wmf)
list(SORT names)
set(arrays "")
set(entries "")
set(index 0)
foreach(name IN LISTS names)
  file(READ ${FOLDER}/${name} hex HEX)
  string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
  string(APPEND arrays "constexpr uint8_t kShape${index}[] = {${bytes}};\n")
  string(APPEND entries "    {\"${name}\", {kShape${index}, sizeof kShape${index}}},\n")
  math(EXPR index "${index} + 1")
endforeach()
file(WRITE ${OUTPUT}.new
  "// Made by cmake/embed_shapes.cmake from ${FOLDER}; not to be edited.\n"
  "#include \"cli/commands/stock_shapes.h\"\n\nnamespace {\n\n${arrays}\n"
  "const StockShapeFile kFiles[] = {\n${entries}};\n\n}  // namespace\n\n"
  "std::span<const StockShapeFile> StockShapeFiles() { return kFiles; }\n")
# An unchanged source keeps its time, so that nothing is rebuilt for it.
file(COPY_FILE ${OUTPUT}.new ${OUTPUT} ONLY_IF_DIFFERENT)
file(REMOVE ${OUTPUT}.new)
