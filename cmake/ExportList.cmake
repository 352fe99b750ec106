# The export names live once, in the module-definition file of the DLL; the Linux
# version script is made from it so that both libraries export the same names, plus the
# few that only Linux needs (Windows callers close a handle with CloseHandle).
set(FPM_LINUX_ONLY_EXPORTS CloseObtainedHandle)

function(fpm_export_names def_file out_var)
  file(STRINGS ${def_file} lines)
  set(names "")
  set(in_exports FALSE)
  foreach(line IN LISTS lines)
    string(STRIP "${line}" line)
    if(line STREQUAL "EXPORTS")
      set(in_exports TRUE)
    elseif(in_exports AND line MATCHES "^([A-Za-z_][A-Za-z0-9_]*)")
      list(APPEND names ${CMAKE_MATCH_1})
    endif()
  endforeach()
  set(${out_var} ${names} PARENT_SCOPE)
endfunction()

# The names sit in one version node (FPMODULE_<major>), so that a program linked against
# this major version finds them again under the same node in a later minor release.
function(fpm_version_script node def_file map_file)
  fpm_export_names(${def_file} names)
  list(APPEND names ${FPM_LINUX_ONLY_EXPORTS})
  set(body "${node} {\n  global:\n")
  foreach(name IN LISTS names)
    string(APPEND body "    ${name};\n")
  endforeach()
  string(APPEND body "  local:\n    *;\n};\n")
  file(WRITE ${map_file}.tmp "${body}")
  configure_file(${map_file}.tmp ${map_file} COPYONLY)
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${def_file})
endfunction()
