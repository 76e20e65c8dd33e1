# Writes a C++ source that holds PNG files as byte arrays, for the GTK window's icons.
#   cmake -DOUTPUT=icons.cpp -DICON_DIR=dir -DSIZES="16;32;48" -P embed_icons.cmake
# reads dir/veloplot-SIZE.png for every size.
set(arrays "")
set(table "")
foreach(size IN LISTS SIZES)
  file(READ "${ICON_DIR}/veloplot-${size}.png" hex HEX)
  string(LENGTH "${hex}" digits)
  math(EXPR length "${digits} / 2")
  string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
  string(REPEAT "0x[0-9a-f][0-9a-f]," 16 row)
  string(REGEX REPLACE "(${row})" "\\1\n    " bytes "${bytes}")
  string(APPEND arrays "const unsigned char kIcon${size}[${length}] = {\n    ${bytes}\n};\n")
  string(APPEND table "    {${size}, kIcon${size}, sizeof kIcon${size}},\n")
endforeach()
list(LENGTH SIZES count)
file(WRITE "${OUTPUT}.new"
  "// Made by cmake/embed_icons.cmake from the icons that scripts/make_icons.py draws.\n"
  "#include \"app/gtk_about.h\"\n\nnamespace {\n${arrays}}  // namespace\n\n"
  "const EmbeddedIcon kProgramIcons[] = {\n${table}};\n"
  "const std::size_t kProgramIconCount = ${count};\n")
file(RENAME "${OUTPUT}.new" "${OUTPUT}")
