# Fails, naming them, when a source of the product includes a header by a path with "..": the
# compiler looks for such a header beside the including file before the include folders, so it
# would reach past the folders the layer sees (an engine could include "../cli/run/console.h").
# ROOT is the source tree.
set(found "")
foreach(folder IN ITEMS dib scale rotate crop frame mask resources cli plugin controls host)
  file(GLOB_RECURSE files ${ROOT}/${folder}/*.cpp ${ROOT}/${folder}/*.h)
  foreach(file IN LISTS files)
    file(STRINGS ${file} lines REGEX "^[ \t]*#[ \t]*include[ \t]*\"[^\"]*\\.\\.[/\\\\]")
    if(lines)
      string(APPEND found "\n  ${file}: ${lines}")
    endif()
  endforeach()
endforeach()
if(found)
  message(FATAL_ERROR "headers included by a relative path, past the layer's folders:${found}")
endif()
