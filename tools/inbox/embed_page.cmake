# Writes OUTPUT, a C++ source holding each of FILES as a byte array, found by
# its file name through pushnote::inbox::FindPageAsset (page_assets.h).
# FILES separates the paths by '|'.
string(REPLACE "|" ";" FILES "${FILES}")
set(body "#include \"page_assets.h\"\n\nnamespace pushnote::inbox {\nnamespace {\n")
set(table "")
set(index 0)
foreach(file IN LISTS FILES)
    get_filename_component(name ${file} NAME)
    file(READ ${file} hex HEX)
    string(LENGTH "${hex}" hex_length)
    math(EXPR size "${hex_length} / 2")
    string(REGEX REPLACE "([0-9a-f][0-9a-f])" "'\\\\x\\1'," bytes "${hex}")
    string(APPEND body "constexpr char kAsset${index}[] = {${bytes}0};\n")
    string(APPEND table "        {\"/${name}\", std::string_view(kAsset${index}, ${size})},\n")
    math(EXPR index "${index} + 1")
endforeach()
string(APPEND body "}  // namespace\n\nconst PageAsset* FindPageAsset(std::string_view path) {\n"
       "    static constexpr PageAsset kAssets[] = {\n${table}    };\n"
       "    for (const PageAsset& asset : kAssets) {\n"
       "        if (asset.path == path) return &asset;\n    }\n    return nullptr;\n}\n\n"
       "}  // namespace pushnote::inbox\n")
file(WRITE ${OUTPUT}.partial "${body}")
file(RENAME ${OUTPUT}.partial ${OUTPUT})
