# Install rules, the CMake package and the pkg-config file. The Debian packages are built from debian/
# (scripts/package).
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

set(CADCONS_DATADIR ${CMAKE_INSTALL_DATADIR}/cadcons)

# The programs find the library and each other's files relative to themselves, so the installed tree
# also works unpacked somewhere else (dpkg -x into a scratch root, a tarball).
file(RELATIVE_PATH cadcons_bin_to_lib /${CMAKE_INSTALL_BINDIR} /${CMAKE_INSTALL_LIBDIR})
set_target_properties(cadcons-db cadcons-service cadcons-host PROPERTIES
    INSTALL_RPATH "$ORIGIN/${cadcons_bin_to_lib}")
target_compile_definitions(cadcons-host PRIVATE CADCONS_BIN_TO_LIB="${cadcons_bin_to_lib}")

set_target_properties(cadconsumidor PROPERTIES
    VERSION ${PROJECT_VERSION} SOVERSION ${PROJECT_VERSION_MAJOR}
    PUBLIC_HEADER ${PROJECT_SOURCE_DIR}/src/module/cadconsumidor.h)
target_include_directories(cadconsumidor INTERFACE $<INSTALL_INTERFACE:${CMAKE_INSTALL_INCLUDEDIR}/cadcons>)

install(TARGETS cadconsumidor EXPORT cadconsTargets
    LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
    PUBLIC_HEADER DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/cadcons)
install(TARGETS cadcons-db cadcons-service cadcons-host RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(DIRECTORY ${PROJECT_SOURCE_DIR}/db/schema ${PROJECT_SOURCE_DIR}/db/seed
    DESTINATION ${CADCONS_DATADIR}/db)
install(FILES ${PROJECT_SOURCE_DIR}/tests/data/PARAMETROSKIV.CDS ${PROJECT_SOURCE_DIR}/tests/data/Cad_Cliente.cds
    DESTINATION ${CADCONS_DATADIR}/demo)
install(PROGRAMS ${PROJECT_SOURCE_DIR}/scripts/cadcons-demo-host DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${PROJECT_SOURCE_DIR}/examples/c-host/main.c ${PROJECT_SOURCE_DIR}/examples/c-host/CMakeLists.txt
    DESTINATION ${CMAKE_INSTALL_DOCDIR}/examples/c-host)
install(FILES ${PROJECT_SOURCE_DIR}/README.md DESTINATION ${CMAKE_INSTALL_DOCDIR})

# find_package(cadcons) gives cadcons::cadconsumidor.
set(cadcons_cmake_dir ${CMAKE_INSTALL_LIBDIR}/cmake/cadcons)
install(EXPORT cadconsTargets NAMESPACE cadcons:: DESTINATION ${cadcons_cmake_dir})
configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/cadconsConfig.cmake.in
    ${PROJECT_BINARY_DIR}/cadconsConfig.cmake INSTALL_DESTINATION ${cadcons_cmake_dir})
write_basic_package_version_file(${PROJECT_BINARY_DIR}/cadconsConfigVersion.cmake
    COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/cadconsConfig.cmake ${PROJECT_BINARY_DIR}/cadconsConfigVersion.cmake
    DESTINATION ${cadcons_cmake_dir})

# pkg-config --cflags --libs cadcons; the prefix is found from the file's own place, so an unpacked
# package works where it lies.
file(RELATIVE_PATH cadcons_pc_to_prefix /${CMAKE_INSTALL_LIBDIR}/pkgconfig /)
string(REGEX REPLACE "/$" "" cadcons_pc_to_prefix "${cadcons_pc_to_prefix}")
configure_file(${PROJECT_SOURCE_DIR}/cmake/cadcons.pc.in ${PROJECT_BINARY_DIR}/cadcons.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/cadcons.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
