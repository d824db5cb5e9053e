# cmake -DOBJDUMP=<objdump> -DDLL=<Tessera.dll> -P check_exports.cmake
#
# Reads the DLL's export table as objdump -p prints it and compares it with
# the table that clients bind to: exactly 62 ordinal slots starting at 1, and
# exactly these names, each at its ordinal. Any other export, a moved ordinal
# or a missing name fails.
execute_process(COMMAND ${OBJDUMP} -p ${DLL} OUTPUT_VARIABLE dump RESULT_VARIABLE status)
if(NOT status EQUAL 0)
    message(FATAL_ERROR "${OBJDUMP} -p ${DLL} failed")
endif()

set(expected
    "1 TesseraInit" "2 LoadRifFile" "3 SaveRifFile" "4 LoadRif" "5 SaveRif" "6 ParseRif"
    "7 CompileRif" "8 CompressRif" "9 DecompressRif" "10 ReleaseBuffer"
    "20 CreateRifItem" "21 CreateRifItemFolder" "22 CreateRifItemChild" "23 DeleteRifItem"
    "24 SetRifItemName" "25 GetRifItemName" "26 SetRifItemData" "27 GetRifItemData"
    "30 IsRifItemFolder" "31 GetParentRifItem" "32 GetChildRifItem" "33 GetNextRifItem"
    "34 GetPrevRifItem"
    "40 InsertRifItem" "41 InsertRifItemFolder" "42 InsertRifItemChild" "43 RemoveRifItem"
    "50 FindFirstRifItem" "51 FindNextRifItem"
    "60 GetRebShapeData" "61 GetLightSetData" "62 GetRebEnvData")

string(REGEX MATCH "Ordinal Base ([0-9]+)" _ "${dump}")
set(base "${CMAKE_MATCH_1}")
string(REGEX MATCH "Export Address Table[ \t]+([0-9a-fA-F]+)" _ "${dump}")
math(EXPR slots "0x${CMAKE_MATCH_1}")
if(NOT base STREQUAL "1" OR NOT slots EQUAL 62)
    message(FATAL_ERROR "export table: ordinal base '${base}', ${slots} slots; want base 1, 62 slots")
endif()

# The filled slots of the address table (the empty ones have no address and
# are not printed) and the names, which objdump lists by slot index.
string(REGEX MATCHALL "\\+base\\[ *[0-9]+\\] [0-9a-fA-F]+ Export RVA" filled "${dump}")
string(REGEX MATCH "\\[Ordinal/Name Pointer\\] Table\n([^\n]+\n)+" name_table "${dump}")
string(REGEX MATCHALL "\\[ *[0-9]+\\] [A-Za-z_@0-9]+" named "${name_table}")
set(actual "")
foreach(entry IN LISTS named)
    string(REGEX MATCH "\\[ *([0-9]+)\\] (.+)" _ "${entry}")
    math(EXPR ordinal "${CMAKE_MATCH_1} + ${base}")
    list(APPEND actual "${ordinal} ${CMAKE_MATCH_2}")
endforeach()
list(SORT actual COMPARE NATURAL)
list(SORT expected COMPARE NATURAL)
list(LENGTH filled filled_count)
list(LENGTH expected expected_count)
if(NOT actual STREQUAL expected OR NOT filled_count EQUAL expected_count)
    string(REPLACE ";" "\n  " want "${expected}")
    string(REPLACE ";" "\n  " got "${actual}")
    message(FATAL_ERROR "export table of ${DLL} differs from the ordinal table "
                        "(${filled_count} filled slots)\nwant:\n  ${want}\ngot:\n  ${got}")
endif()
message(STATUS "${DLL}: ${expected_count} exports at their ordinals in 62 slots")
