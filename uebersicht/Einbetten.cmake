# Writes the page into a C++ source as bytes: cmake -DEIN=seite.html -DAUS=Seite.cpp -P Einbetten.cmake
file(READ ${EIN} hex HEX)
string(LENGTH "${hex}" laenge)
math(EXPR bytes "${laenge} / 2")
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," hex "${hex}")
string(REGEX REPLACE "(0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,)" "\\1\n" hex "${hex}")
file(WRITE ${AUS}.neu "// Made by Einbetten.cmake from seite.html: edit that file.\n#include \"uebersicht/Seite.h\"\n\nnamespace vrd4::uebersicht {\nnamespace {\nconst unsigned char kSeite[] = {\n${hex}0};\n}  // namespace\n\nstd::string_view seite() { return {reinterpret_cast<const char*>(kSeite), ${bytes}}; }\n\n}  // namespace vrd4::uebersicht\n")
file(COPY_FILE ${AUS}.neu ${AUS} ONLY_IF_DIFFERENT)
file(REMOVE ${AUS}.neu)
