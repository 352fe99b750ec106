# The header carries the version for callers that compile against it; it must say what
# the project says, or a release would ship two numbers.
function(fpm_check_header_version header)
  file(READ ${header} text)
  foreach(part MAJOR MINOR PATCH)
    if(NOT text MATCHES "#define FPM_VERSION_${part} +([0-9]+)")
      message(FATAL_ERROR "${header} lacks FPM_VERSION_${part}")
    endif()
    if(NOT CMAKE_MATCH_1 EQUAL PROJECT_VERSION_${part})
      message(FATAL_ERROR "${header}: FPM_VERSION_${part} is ${CMAKE_MATCH_1}, the project version is "
                          "${PROJECT_VERSION}; change both together")
    endif()
  endforeach()
endfunction()
