# Delay-loaded import libraries for mingw-w64: the DLL is loaded at the first
# call into it, not when the process starts. Under Wine every user32, ole32 or
# oleaut32 loaded at start costs as much as the whole bare program, and most
# starts of marlet.exe (read options, write them back) need none of them.
#   marlet_delay_import_libraries(OUT_VAR dll...)
# With MSVC the linker's own /DELAYLOAD does the same.
function(marlet_delay_import_libraries out)
  set(libs)
  if(MSVC)
    foreach(dll ${ARGN})
      add_library(${dll}_delay INTERFACE IMPORTED GLOBAL)
      set_target_properties(${dll}_delay PROPERTIES
        INTERFACE_LINK_LIBRARIES "${dll};delayimp" INTERFACE_LINK_OPTIONS "/DELAYLOAD:${dll}.dll")
      list(APPEND libs ${dll}_delay)
    endforeach()
    set(${out} ${libs} PARENT_SCOPE)
    return()
  endif()
  find_program(MINGW_NM NAMES ${MINGW_PREFIX}-nm REQUIRED)
  find_program(MINGW_DLLTOOL NAMES ${MINGW_PREFIX}-dlltool REQUIRED)
  set(x86_32 OFF)
  set(kill_at)
  # 32-bit x86 only: ld drops the code section of an import-library member
  # when nothing calls its symbol directly, taking it for an unused
  # "jmp *__imp_x" stub. Calls through __declspec(dllimport) go through
  # __imp_x, so in a delay-import library ld would drop the thunk that x's
  # address slot starts out pointing at, and the first call would jump to 0.
  # Renamed to a data section that still lands in .text, the thunks are kept.
  if(CMAKE_SIZEOF_VOID_P EQUAL 4)
    set(x86_32 ON)
    set(kill_at -k)
    find_program(MINGW_OBJCOPY NAMES ${MINGW_PREFIX}-objcopy REQUIRED)
  endif()
  foreach(dll ${ARGN})
    set(import_lib /usr/${MINGW_PREFIX}/lib/lib${dll}.a)
    set(def ${CMAKE_CURRENT_BINARY_DIR}/delay/${dll}.def)
    set(lib ${CMAKE_CURRENT_BINARY_DIR}/delay/lib${dll}_delay.a)
    set(keep_thunks)
    if(x86_32)
      set(keep_thunks COMMAND ${MINGW_OBJCOPY} --rename-section .text=.text$delay,contents,alloc,load,readonly,data ${lib})
    endif()
    add_custom_command(
      OUTPUT ${lib}
      COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_CURRENT_BINARY_DIR}/delay
      COMMAND ${CMAKE_COMMAND} -DNM=${MINGW_NM} -DIMPORT_LIB=${import_lib} -DDLL=${dll}.dll -DDEF=${def}
              -DSTRIP_UNDERSCORE=${x86_32} -P ${CMAKE_SOURCE_DIR}/cmake/write-def.cmake
      COMMAND ${MINGW_DLLTOOL} ${kill_at} -d ${def} -y ${lib}
      ${keep_thunks}
      DEPENDS ${import_lib} ${CMAKE_SOURCE_DIR}/cmake/write-def.cmake
      VERBATIM)
    add_custom_target(delay_${dll} DEPENDS ${lib})
    add_library(${dll}_delay STATIC IMPORTED GLOBAL)
    set_target_properties(${dll}_delay PROPERTIES IMPORTED_LOCATION ${lib})
    add_dependencies(${dll}_delay delay_${dll})
    list(APPEND libs ${dll}_delay)
  endforeach()
  set(${out} ${libs} PARENT_SCOPE)
endfunction()
