# Lays out the Windows SDK from the 32-bit and the 64-bit Windows builds, and packs it:
#   <OUT>/fpmodule-sdk-<VERSION>-windows/ {x86,x64}/{bin,lib}, include/, lib/cmake/fpmodule/,
#   the documents and the examples; <OUT>/fpmodule-sdk-<VERSION>-windows.zip with ZIP=ON.
# cmake -DX86=<build dir> -DX64=<build dir> -DOUT=<dir> -DVERSION=<x.y.z> [-DZIP=ON]
#       -P WindowsSdk.cmake
# Either build may be left out: the SDK then has that one folder only.
set(name fpmodule-sdk-${VERSION}-windows)
set(sdk ${OUT}/${name})
file(REMOVE_RECURSE ${sdk})

set(arches "")
foreach(arch X86 X64)
  if(NOT ${arch})
    continue()
  endif()
  string(TOLOWER ${arch} folder)
  list(APPEND arches ${folder})
  # Each build installs into its own folder; the header goes to the one include/ beside
  # them (the packages' include path is relative to their folder).
  execute_process(COMMAND ${CMAKE_COMMAND} --install ${${arch}} --prefix ${sdk}/${folder}
                  OUTPUT_QUIET RESULT_VARIABLE rc)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "installing ${${arch}} failed")
  endif()
  file(COPY ${sdk}/${folder}/include DESTINATION ${sdk})
  file(REMOVE_RECURSE ${sdk}/${folder}/include)
  file(GLOB documents ${sdk}/${folder}/*.md ${sdk}/${folder}/LICENSE ${sdk}/${folder}/examples
       ${sdk}/${folder}/html)
  file(COPY ${documents} DESTINATION ${sdk})
  file(REMOVE_RECURSE ${documents})
  # The package's include path: <folder>/include, redirected to the shared one.
  file(GLOB targets ${sdk}/${folder}/lib/cmake/fpmodule/fpmoduleTargets.cmake)
  file(READ ${targets} text)
  string(REPLACE "\${_IMPORT_PREFIX}/include" "\${_IMPORT_PREFIX}/../include" text "${text}")
  file(WRITE ${targets} "${text}")
  file(GLOB pkgconfig ${sdk}/${folder}/lib/pkgconfig/fpmodule.pc)
  if(pkgconfig)
    file(READ ${pkgconfig} text)
    string(REPLACE "\${prefix}/include" "\${prefix}/../include" text "${text}")
    file(WRITE ${pkgconfig} "${text}")
  endif()
endforeach()
if(NOT arches)
  message(FATAL_ERROR "give the 32-bit build as X86, the 64-bit one as X64, or both")
endif()

# find_package(fpmodule) with CMAKE_PREFIX_PATH=<sdk>: the consumer's pointer size picks
# the folder.
set(package ${sdk}/lib/cmake/fpmodule)
file(WRITE ${package}/fpmoduleConfig.cmake [=[
# The fpmodule SDK holds a 32-bit (x86) and a 64-bit (x64) build: a program takes the one
# of its own pointer size, as a process loads only a DLL of that size.
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  set(_fpmodule_folder x64)
else()
  set(_fpmodule_folder x86)
endif()
set(_fpmodule_config "${CMAKE_CURRENT_LIST_DIR}/../../../${_fpmodule_folder}/lib/cmake/fpmodule/fpmoduleConfig.cmake")
if(NOT EXISTS "${_fpmodule_config}")
  set(fpmodule_FOUND FALSE)
  set(fpmodule_NOT_FOUND_MESSAGE "this fpmodule SDK has no ${_fpmodule_folder} build")
  return()
endif()
include("${_fpmodule_config}")
unset(_fpmodule_config)
unset(_fpmodule_folder)
]=])
include(CMakePackageConfigHelpers)
write_basic_package_version_file(${package}/fpmoduleConfigVersion.cmake VERSION ${VERSION}
                                 COMPATIBILITY SameMajorVersion ARCH_INDEPENDENT)

if(ZIP)
  execute_process(COMMAND ${CMAKE_COMMAND} -E tar cf ${name}.zip --format=zip ${name} WORKING_DIRECTORY ${OUT}
                  RESULT_VARIABLE rc)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "packing ${name}.zip failed")
  endif()
  file(SHA256 ${OUT}/${name}.zip sum)
  file(WRITE ${OUT}/${name}.zip.sha256 "${sum}  ${name}.zip\n")
endif()
message(STATUS "SDK (${arches}): ${sdk}")
