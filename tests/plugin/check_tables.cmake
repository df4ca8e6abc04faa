# Checks IMAGE.DLL's export and import tables from `objdump -p`:
#  - it exports exactly the contract's entry points and procedures, by undecorated name, each
#    with its fixed ordinal, and nothing by ordinal alone;
#  - it imports only from Windows system DLLs and from the host's KORVEX.DLL and TALMOR.DLL,
#    whose functions it imports by undecorated name.
# cmake -DOBJDUMP=<objdump> -DDLL=<IMAGE.DLL> -P check_tables.cmake
cmake_minimum_required(VERSION 3.21)

# name:ordinal. Procedures of later commands join this list as they land.
set(expected_exports
  ZQ_ImgLib_Version:2 ZQ_ImgLib_Init:3 ZQ_ImgLib_ImageActivate:4 ZQ_ImgLib_MenuInit:5
  ZQ_ImgLib_MenuHandler:6 ZQ_ImgLib_HelpHandler:7 ZQ_ImgLib_QueryExit:8 ZQ_ImgLib_Exit:9
  ZQ_ImgLib_Icon:10 CropProc:14 CRP_ClassProc:15 COL_ChooseColorProc:18 COL_ColorCtrlProc:19 STA_StatColorCtrlProc:20
  COL_ChooseColor:26 WEP:27 RotateProc:12 ScaleProc:11
  TIL_TileProc:16 MAS_MaskProc:17
  FRM_AlignProc:22 IMG_FrameDIB:23 FRA_ChooseFont:24 FRA_ChooseAlign:25 FrameProc:13
  FRM_StaticHookProc:21)
set(allowed_imports
  kernel32.dll user32.dll gdi32.dll comdlg32.dll advapi32.dll shell32.dll comctl32.dll msvcrt.dll
  korvex.dll talmor.dll)

execute_process(COMMAND ${OBJDUMP} -p ${DLL} OUTPUT_VARIABLE dump RESULT_VARIABLE failed)
if(failed)
  message(FATAL_ERROR "${OBJDUMP} -p ${DLL} failed")
endif()
string(REPLACE "\n" ";" lines "${dump}")

set(errors "")
set(base "")
set(section "")
set(actual_exports "")
set(address_entries 0)
set(imports "")
set(dll "")
foreach(line IN LISTS lines)
  if(line MATCHES "^Ordinal Base[ \t]+([0-9]+)")
    set(base ${CMAKE_MATCH_1})
  elseif(line MATCHES "^Export Address Table -- ")
    set(section addresses)
  elseif(line MATCHES "^\\[Ordinal/Name Pointer\\] Table")
    set(section names)
  elseif(line MATCHES "^[ \t]*DLL Name: (.+)$")
    set(section imports)
    string(TOLOWER "${CMAKE_MATCH_1}" dll)
    list(APPEND imports ${dll})
  elseif(line MATCHES "^[ \t]*$")
    if(NOT section STREQUAL "imports")
      set(section "")
    endif()
  elseif(section STREQUAL "addresses" AND line MATCHES "^[ \t]*\\[ *[0-9]+\\] \\+base")
    math(EXPR address_entries "${address_entries} + 1")
  elseif(section STREQUAL "names" AND line MATCHES "^[ \t]*\\[ *([0-9]+)\\] (.+)$")
    math(EXPR ordinal "${CMAKE_MATCH_1} + ${base}")
    list(APPEND actual_exports "${CMAKE_MATCH_2}:${ordinal}")
  elseif(section STREQUAL "imports" AND dll MATCHES "^(korvex|talmor)\\.dll$"
         AND line MATCHES "^\t[0-9a-f]+\t +[0-9]+  (.*)$")
    if(NOT CMAKE_MATCH_1 MATCHES "^[A-Za-z][A-Za-z_]*$")
      string(APPEND errors "  ${dll} function imported under a decorated or missing name: '${CMAKE_MATCH_1}'\n")
    endif()
  endif()
endforeach()

list(SORT expected_exports)
list(SORT actual_exports)
if(NOT actual_exports STREQUAL expected_exports)
  string(APPEND errors "  exports differ:\n    expected ${expected_exports}\n    actual   ${actual_exports}\n")
endif()
list(LENGTH expected_exports named)
if(NOT address_entries EQUAL named)
  string(APPEND errors "  ${address_entries} exported addresses for ${named} names: something is exported by ordinal only\n")
endif()
foreach(dll IN LISTS imports)
  if(NOT dll IN_LIST allowed_imports)
    string(APPEND errors "  imports from ${dll}, which is neither a system DLL nor the host's\n")
  endif()
endforeach()
foreach(needed korvex.dll talmor.dll)
  if(NOT needed IN_LIST imports)
    string(APPEND errors "  does not import from ${needed}\n")
  endif()
endforeach()

if(errors)
  message(FATAL_ERROR "${DLL}:\n${errors}")
endif()
list(JOIN actual_exports " " shown)
message(STATUS "${DLL}: exports ${shown}; imports ${imports}")
