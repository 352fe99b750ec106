# The layer check (run as a test): cmake -DROOT=<source folder> -P CheckLayers.cmake
#
# Fails when
# - a library file includes a file of a higher layer (docs/architecture.md, "Layers");
# - the tool includes anything but the public header, the tool interface, its own
#   files and the virtual module;
# - library code outside exports/ and tools/ calls an exported function;
# - code outside connection/module_handle.cpp writes the module handle;
# - code outside transport/cancel_flags.cpp writes a cancel flag;
# - an export's body does not begin with FPM_TRACED (the traffic trace names the export).
# Tests, fuzz targets, benchmarks, examples, the virtual module and the virtual library are
# not part of the layers.
cmake_minimum_required(VERSION 3.20)
if(NOT ROOT)
  message(FATAL_ERROR "usage: cmake -DROOT=<source folder> -P CheckLayers.cmake")
endif()

# Layer of a file, by its path below ROOT; the first matching pattern wins.
set(layer_patterns
  "^platform/|^include/"                                                    0
  "^log/"                                                                   1
  "^connection/(result|connection_state|module_handle)\\.|^worker/"        2
  "^transport/(exchange|pass_through|tick_pacer|command_row|little_endian|cancel_flags)\\."  3
  "^transport/|^image/|^vendor/|^factory/|^card/device_control\\."          4
  "^finger/(enroll|identify|verify)_commands\\.|^finger/capture_image\\."   4
  "^connection/|^finger/|^card/"                                            5
  "^exports/"                                                               6
  "^tools/"                                                                 7)

function(layer_of path out)
  set(patterns ${layer_patterns})
  while(patterns)
    list(POP_FRONT patterns pattern level)
    if(path MATCHES "${pattern}")
      set(${out} ${level} PARENT_SCOPE)
      return()
    endif()
  endwhile()
  set(${out} "" PARENT_SCOPE)
endfunction()

# The exported names, from the module-definition file.
file(STRINGS ${ROOT}/exports/fpmodule.def def_lines)
set(exported "")
foreach(line IN LISTS def_lines)
  if(line MATCHES "^[ \t]+([A-Za-z_][A-Za-z0-9_]*)")
    list(APPEND exported ${CMAKE_MATCH_1})
  endif()
endforeach()
list(LENGTH exported exported_count)
if(exported_count LESS 100)
  message(FATAL_ERROR "CheckLayers: only ${exported_count} exports read from fpmodule.def")
endif()

file(GLOB_RECURSE sources RELATIVE ${ROOT} ${ROOT}/*.h ${ROOT}/*.cpp)
list(FILTER sources EXCLUDE REGEX "^(build|tests|fuzz|bench|sim|virtual|packaging|examples|bindings)/|^\\.")
set(faults "")
set(checked 0)
foreach(file IN LISTS sources)
  layer_of(${file} own)
  if(own STREQUAL "")
    list(APPEND faults "${file}: in no layer, add it to cmake/CheckLayers.cmake")
    continue()
  endif()
  math(EXPR checked "${checked} + 1")
  file(STRINGS ${ROOT}/${file} lines)
  set(number 0)
  foreach(line IN LISTS lines)
    math(EXPR number "${number} + 1")
    if(line MATCHES "^[ \t]*#[ \t]*include[ \t]+\"([^\"]+)\"")
      set(target ${CMAKE_MATCH_1})
      if(target STREQUAL "fpmodule.h")
        set(target include/fpmodule.h)
      endif()
      if(own EQUAL 7)
        if(NOT target MATCHES "^(include/fpmodule\\.h|exports/tool_interface\\.h|tools/|sim/|CLI/|stb_)")
          list(APPEND faults "${file}:${number}: the tool includes ${target}, it may use the header and exports/tool_interface.h")
        endif()
        continue()
      endif()
      layer_of(${target} theirs)
      if(theirs STREQUAL "")
        list(APPEND faults "${file}:${number}: includes ${target}, which is in no layer")
      elseif(theirs GREATER own)
        list(APPEND faults "${file}:${number}: includes ${target} (layer ${theirs}) from layer ${own}")
      endif()
      continue()
    endif()
    # Calls and writes, with comments and string literals left out.
    string(REGEX REPLACE "//.*$" "" code "${line}")
    string(REGEX REPLACE "\"[^\"]*\"" "\"\"" code "${code}")
    if(own LESS 6 AND NOT file MATCHES "^include/")
      string(REGEX MATCHALL "[A-Za-z_][A-Za-z0-9_]*[ \t]*\\(" calls "${code}")
      foreach(call IN LISTS calls)
        string(REGEX REPLACE "[ \t]*\\($" "" name "${call}")
        if(name IN_LIST exported)
          list(APPEND faults "${file}:${number}: calls the export ${name}, call the internal function it calls")
        endif()
      endforeach()
    endif()
    if(code MATCHES "deviceHandle[ \t]*\\.[ \t]*(store|exchange|compare_exchange)|deviceHandle[ \t]*=[^=]"
       AND NOT file STREQUAL "connection/module_handle.cpp")
      list(APPEND faults "${file}:${number}: writes the module handle, use connection/module_handle.h")
    endif()
    if(code MATCHES "(cancelRequested|commandInProgress)[ \t]*\.[ \t]*(store|exchange|compare_exchange|fetch_)|(cancelRequested|commandInProgress)[ \t]*=[^=]"
       AND NOT file STREQUAL "transport/cancel_flags.cpp")
      list(APPEND faults "${file}:${number}: writes a cancel flag, use transport/cancel_flags.h")
    endif()
  endforeach()
endforeach()

# Every export definition (a second name by alias shares its body) names itself for the
# traffic trace before anything else.
file(GLOB export_sources RELATIVE ${ROOT} ${ROOT}/exports/*.cpp)
foreach(file IN LISTS export_sources)
  file(STRINGS ${ROOT}/${file} lines)
  set(number 0)
  set(pending "")
  foreach(line IN LISTS lines)
    math(EXPR number "${number} + 1")
    if(line MATCHES "^FPM_EXPORT" AND NOT line MATCHES "alias\\(")
      set(pending ${number})
    endif()
    if(pending AND line MATCHES "FPM_TRACED;")
      set(pending "")
    elseif(pending AND NOT line MATCHES "^{$" AND (line MATCHES "{" OR (NOT number EQUAL pending AND line MATCHES "[;}]")))
      # The body opened, or a statement came, before the name.
      list(APPEND faults "${file}:${pending}: the export's body must begin with FPM_TRACED;")
      set(pending "")
    endif()
  endforeach()
endforeach()

if(faults)
  list(JOIN faults "\n  " text)
  message(FATAL_ERROR "Layer check failed:\n  ${text}")
endif()
message(STATUS "Layer check: ${checked} files in order")
