# What `cmake --install` lays out (GNUInstallDirs): the library, its header, fpmodule.pc,
# the CMake package (fpmodule::fpmodule), and on Linux the tool, its man page and the
# udev rule. The Windows SDK (scripts/windows-sdk.sh, cmake/WindowsSdk.cmake) holds this
# layout of the 32-bit and of the 64-bit build in x86/ and x64/, around one include/.
include(CMakePackageConfigHelpers)

# The libraries a caller can link: the product, and the virtual drop-in library
# (libfpmodule-virtual.so / fpmodule-virtual.dll) that installs exactly as it does.
set(FPM_INSTALL_LIBRARIES fpmodule fpmodule_virtual_shared)
set(FPM_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/fpmodule)

install(TARGETS ${FPM_INSTALL_LIBRARIES} EXPORT fpmoduleTargets
        RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT runtime
        LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT runtime NAMELINK_COMPONENT development
        ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT development)
install(FILES ${PROJECT_SOURCE_DIR}/include/fpmodule.h DESTINATION ${CMAKE_INSTALL_INCLUDEDIR} COMPONENT development)
if(FPM_MSVC_IMPORT_LIB)
  install(FILES ${FPM_MSVC_IMPORT_LIB} DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT development)
endif()

install(EXPORT fpmoduleTargets NAMESPACE fpmodule:: DESTINATION ${FPM_CMAKE_DIR} COMPONENT development)
configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/fpmoduleConfig.cmake.in
                              ${PROJECT_BINARY_DIR}/fpmoduleConfig.cmake INSTALL_DESTINATION ${FPM_CMAKE_DIR})
# A new major version breaks callers, so only the same major version satisfies a request.
write_basic_package_version_file(${PROJECT_BINARY_DIR}/fpmoduleConfigVersion.cmake
                                 COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/fpmoduleConfig.cmake ${PROJECT_BINARY_DIR}/fpmoduleConfigVersion.cmake
        DESTINATION ${FPM_CMAKE_DIR} COMPONENT development)

# pkg-config: paths relative to the file, so a moved or unpacked tree still works.
file(RELATIVE_PATH FPM_PC_TO_PREFIX /${CMAKE_INSTALL_LIBDIR}/pkgconfig /)
string(REGEX REPLACE "/$" "" FPM_PC_TO_PREFIX "${FPM_PC_TO_PREFIX}")
foreach(dir LIBDIR INCLUDEDIR)
  if(IS_ABSOLUTE "${CMAKE_INSTALL_${dir}}")
    set(FPM_PC_${dir} "${CMAKE_INSTALL_${dir}}")
  else()
    set(FPM_PC_${dir} "\${prefix}/${CMAKE_INSTALL_${dir}}")
  endif()
endforeach()
configure_file(${PROJECT_SOURCE_DIR}/packaging/fpmodule.pc.in ${PROJECT_BINARY_DIR}/fpmodule.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/fpmodule.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig COMPONENT development)

if(FPM_BUILD_TOOLS)
  install(TARGETS fpmodule_cli RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT tools)
  if(NOT WIN32)
    # The page names the version, which comes from project() as everywhere else.
    configure_file(${PROJECT_SOURCE_DIR}/packaging/man/fpmodule.1.in ${PROJECT_BINARY_DIR}/fpmodule.1 @ONLY)
    install(FILES ${PROJECT_BINARY_DIR}/fpmodule.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT tools)
  endif()
endif()

if(WIN32)
  # The SDK's documents, at the top of the tree beside bin/, include/ and lib/.
  set(FPM_DOC_DESTINATION .)
else()
  set(FPM_DOC_DESTINATION ${CMAKE_INSTALL_DOCDIR})
  # udev reads rules from <prefix>/lib/udev/rules.d whatever the library folder is.
  set(FPM_UDEV_RULES_DIR lib/udev/rules.d CACHE STRING "Where the udev rule is installed")
  install(FILES ${PROJECT_SOURCE_DIR}/packaging/udev/70-fpmodule.rules DESTINATION ${FPM_UDEV_RULES_DIR}
          COMPONENT runtime)
endif()
install(FILES ${PROJECT_SOURCE_DIR}/README.md ${PROJECT_SOURCE_DIR}/CHANGELOG.md ${PROJECT_SOURCE_DIR}/LICENSE
        DESTINATION ${FPM_DOC_DESTINATION} COMPONENT development)
install(DIRECTORY ${PROJECT_SOURCE_DIR}/examples DESTINATION ${FPM_DOC_DESTINATION} COMPONENT development)
# The HTML reference, when the docs target has been built.
if(FPM_DOCS_OUTPUT)
  install(DIRECTORY ${FPM_DOCS_OUTPUT}/html/ DESTINATION ${FPM_DOC_DESTINATION}/html OPTIONAL
          COMPONENT development)
endif()

# The package of the top-level project only: CPack belongs to whoever builds the whole.
if(NOT FPM_TOP_LEVEL)
  return()
endif()
set(CPACK_PACKAGE_NAME fpmodule)
set(CPACK_PACKAGE_VENDOR "fpmodule developers")
if(WIN32)
  # One pointer size; the SDK (scripts/windows-sdk.sh) holds both.
  if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    set(CPACK_PACKAGE_FILE_NAME fpmodule-${PROJECT_VERSION}-windows-x64)
  else()
    set(CPACK_PACKAGE_FILE_NAME fpmodule-${PROJECT_VERSION}-windows-x86)
  endif()
else()
  set(CPACK_PACKAGE_FILE_NAME fpmodule-${PROJECT_VERSION}-${CMAKE_SYSTEM_NAME})
endif()
set(CPACK_GENERATOR ZIP)
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_PACKAGE_CHECKSUM SHA256)
include(CPack)
