# Writes the Registry rows of Marlet's COM classes for the MSI packages
# (a WiX include) from the one table marlet.exe /regserver writes them from:
#   cmake -DSOURCE=com/com_classes_win32.cpp "-DPROGID_SOURCES=header;..." -DOUTPUT=com-classes.wxi -P com_classes.cmake
# The table names each ProgID by its constant (constexpr const char* kXProgID =
# "..."), defined in one of PROGID_SOURCES.
# For each class: its ProgID (description, CLSID) and its CLSID (description,
# ProgID, LocalServer32: the installed marlet.exe in quotes).
file(READ ${SOURCE} code)

# const CLSID CLSID_Name = {0x15B42DA8, 0x7878, 0x4EE2, {0xB4, 0xB7, ...}};
string(REGEX MATCHALL "const CLSID CLSID_[A-Za-z0-9_]+ = {[^;]*}};" definitions "${code}")
foreach(d ${definitions})
  string(REGEX MATCH "CLSID_([A-Za-z0-9_]+) = " m "${d}")
  set(name ${CMAKE_MATCH_1})
  string(REGEX MATCHALL "0x[0-9A-Fa-f]+" numbers "${d}")
  list(LENGTH numbers count)
  if(NOT count EQUAL 11)
    message(FATAL_ERROR "com_classes.cmake: cannot read ${d}")
  endif()
  set(text "")
  set(i 0)
  foreach(part ${numbers})
    string(SUBSTRING "${part}" 2 -1 part)
    if(i EQUAL 0)
      set(width 8)
    elseif(i LESS 3)
      set(width 4)
    else()
      set(width 2)
    endif()
    string(LENGTH "${part}" length)
    while(length LESS width)
      set(part "0${part}")
      math(EXPR length "${length} + 1")
    endwhile()
    string(APPEND text "${part}")
    if(i LESS 3 OR i EQUAL 4)
      string(APPEND text "-")
    endif()
    math(EXPR i "${i} + 1")
  endforeach()
  string(TOUPPER "${text}" text)
  set(clsid_${name} "{${text}}")
endforeach()

foreach(header ${PROGID_SOURCES})
  file(READ ${header} text)
  string(REGEX MATCHALL "constexpr const char\\* k[A-Za-z0-9_]*ProgID = \"[^\"]+\"" found "${text}")
  foreach(f ${found})
    string(REGEX MATCH "(k[A-Za-z0-9_]*ProgID) = \"([^\"]+)\"" m "${f}")
    set(progid_${CMAKE_MATCH_1} "${CMAKE_MATCH_2}")
  endforeach()
endforeach()

# {kListenerProgID, L"Marlet QuickBooks menu listener", &CLSID_QBMenuListener, createListener},
string(REGEX MATCHALL "{k[A-Za-z0-9_]*ProgID, L\"[^\"]+\", &CLSID_[A-Za-z0-9_]+," rows "${code}")
if(NOT rows)
  message(FATAL_ERROR "com_classes.cmake: no classes found in ${SOURCE}")
endif()
set(out "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<!-- Made by com_classes.cmake from ${SOURCE} -->\n<Include>\n")
foreach(row ${rows})
  string(REGEX MATCH "{(k[A-Za-z0-9_]*ProgID), L\"([^\"]+)\", &CLSID_([A-Za-z0-9_]+)," m "${row}")
  set(progid ${progid_${CMAKE_MATCH_1}})
  if(NOT progid)
    message(FATAL_ERROR "com_classes.cmake: ${CMAKE_MATCH_1} is not defined in ${PROGID_SOURCES}")
  endif()
  set(description ${CMAKE_MATCH_2})
  set(clsid ${clsid_${CMAKE_MATCH_3}})
  if(NOT clsid)
    message(FATAL_ERROR "com_classes.cmake: CLSID_${CMAKE_MATCH_3} is not defined in ${SOURCE}")
  endif()
  foreach(value
      "${progid}|${description}"
      "${progid}\\CLSID|${clsid}"
      "CLSID\\${clsid}|${description}"
      "CLSID\\${clsid}\\ProgID|${progid}"
      "CLSID\\${clsid}\\LocalServer32|@quote@[#MarletExe]@quote@")
    string(REGEX MATCH "^([^|]*)[|](.*)$" m "${value}")
    set(key "${CMAKE_MATCH_1}")
    string(REPLACE "@quote@" "&quot;" data "${CMAKE_MATCH_2}")
    string(APPEND out "  <RegistryValue Root=\"HKCR\" Key=\"${key}\" Type=\"string\" Value=\"${data}\"/>\n")
  endforeach()
endforeach()
string(APPEND out "</Include>\n")
file(WRITE ${OUTPUT}.new "${out}")
file(COPY_FILE ${OUTPUT}.new ${OUTPUT} ONLY_IF_DIFFERENT)
file(REMOVE ${OUTPUT}.new)
