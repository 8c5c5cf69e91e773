# Writes OUTPUT, a C++ source that holds the files of PAGES_DIR named in NAMES (separated by "|")
# as byte arrays, with wertowik::web::PageFile to find them by name.
# cmake -DPAGES_DIR=... -DNAMES="index.html|app.js" -DOUTPUT=... -P EmbedPages.cmake
string(REPLACE "|" ";" names "${NAMES}")
set(arrays "")
set(table "")
set(index 0)
foreach(name IN LISTS names)
  file(READ "${PAGES_DIR}/${name}" hex HEX)
  string(LENGTH "${hex}" digits)
  math(EXPR size "${digits} / 2")
  string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
  string(APPEND arrays "const unsigned char kFile${index}[] = {${bytes}0};\n")
  string(APPEND table "    {\"${name}\", {reinterpret_cast<const char*>(kFile${index}), ${size}}},\n")
  math(EXPR index "${index} + 1")
endforeach()
file(WRITE "${OUTPUT}.new" "// Made by cmake/EmbedPages.cmake from host/web/pages/; not to be edited.
#include \"host/web/web_pages.h\"

namespace wertowik::web {

namespace {

${arrays}
const EmbeddedFile kFiles[] = {
${table}};

}  // namespace

EmbeddedFile PageFile(std::string_view name) {
    for (const EmbeddedFile& file : kFiles) {
        if (file.name == name) {
            return file;
        }
    }
    return {};
}

}  // namespace wertowik::web
")
file(COPY_FILE "${OUTPUT}.new" "${OUTPUT}" ONLY_IF_DIFFERENT)
file(REMOVE "${OUTPUT}.new")
