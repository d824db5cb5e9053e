# What `cmake --install` puts where (GNUInstallDirs), in three components that
# become the three .deb packages:
#   gearloft     the programs, skins, help file, desktop entry, icon,
#                AppStream metainfo and man pages
#   runtime      libtessera.so.1 and its versioned file
#   development  tessera.h, libtessera.so, the CMake package and tessera.pc
#
# Installed, the program finds its data through the same relative layout
# (app/CMakeLists.txt), so the tree works wherever it is put.

include(CMakePackageConfigHelpers)

# The executable targets defined in `dir` and the folders below it.
function(gearloft_executables_under dir result)
    set(found)
    get_directory_property(targets DIRECTORY ${dir} BUILDSYSTEM_TARGETS)
    foreach(target ${targets})
        get_target_property(type ${target} TYPE)
        if(type STREQUAL "EXECUTABLE")
            list(APPEND found ${target})
        endif()
    endforeach()
    get_directory_property(subdirs DIRECTORY ${dir} SUBDIRECTORIES)
    foreach(subdir ${subdirs})
        gearloft_executables_under(${subdir} below)
        list(APPEND found ${below})
    endforeach()
    set(${result} ${found} PARENT_SCOPE)
endfunction()

# The shipped skins' modules are compiled code, so the skins folder lies with
# the libraries; the descriptions sit beside the modules they name.
set(GEARLOFT_SKINS_INSTALL_DIR ${CMAKE_INSTALL_LIBDIR}/gearloft/skins)

# --- Tessera: the library and its development files ---

install(TARGETS tessera EXPORT TesseraTargets
    LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
        COMPONENT runtime
        NAMELINK_COMPONENT development)
install(FILES ${PROJECT_SOURCE_DIR}/chunkfile/tessera.h
    DESTINATION ${CMAKE_INSTALL_INCLUDEDIR} COMPONENT development)

set(TESSERA_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/Tessera)
install(EXPORT TesseraTargets NAMESPACE Tessera::
    DESTINATION ${TESSERA_CMAKE_DIR} COMPONENT development)
configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/TesseraConfig.cmake.in
    ${PROJECT_BINARY_DIR}/install/TesseraConfig.cmake
    INSTALL_DESTINATION ${TESSERA_CMAKE_DIR})
write_basic_package_version_file(${PROJECT_BINARY_DIR}/install/TesseraConfigVersion.cmake
    VERSION 1.4.0 COMPATIBILITY SameMajorVersion)
install(FILES
    ${PROJECT_BINARY_DIR}/install/TesseraConfig.cmake
    ${PROJECT_BINARY_DIR}/install/TesseraConfigVersion.cmake
    DESTINATION ${TESSERA_CMAKE_DIR} COMPONENT development)

# tessera.pc names its folders relative to its own place (${pcfiledir}), so it
# stays right when the tree is installed under another prefix or DESTDIR.
set(TESSERA_PC_DIR ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
file(RELATIVE_PATH TESSERA_PC_TO_PREFIX
    /prefix/${TESSERA_PC_DIR} /prefix)
configure_file(${PROJECT_SOURCE_DIR}/cmake/tessera.pc.in
    ${PROJECT_BINARY_DIR}/install/tessera.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/install/tessera.pc
    DESTINATION ${TESSERA_PC_DIR} COMPONENT development)

# --- Gearloft: the programs and their data ---

if(GEARLOFT_APP)
    install(TARGETS gearloft RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT gearloft)
    # The command-line programs "tessera" and "gearloft-cli", when this tree
    # builds them: the executables under tools/ whose file is so named
    # (the library's own target is called tessera, so the tool's target may
    # carry another name with OUTPUT_NAME tessera).
    gearloft_executables_under(${PROJECT_SOURCE_DIR}/tools gearloft_tool_targets)
    foreach(tool ${gearloft_tool_targets})
        get_target_property(file_name ${tool} OUTPUT_NAME)
        if(NOT file_name)
            set(file_name ${tool})
        endif()
        if(file_name STREQUAL "tessera" OR file_name STREQUAL "gearloft-cli")
            install(TARGETS ${tool} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR}
                COMPONENT gearloft)
        endif()
    endforeach()

    install(FILES ${PROJECT_SOURCE_DIR}/resources/gearloft.html
        DESTINATION ${CMAKE_INSTALL_DOCDIR} COMPONENT gearloft)

    # The installed skins folder always exists: it is also how the program
    # knows it is installed (app/app_paths.h). Skin descriptions built into
    # the programs' folder go there, and so do the skin modules that add
    # themselves to the global property GEARLOFT_SKIN_MODULES.
    install(DIRECTORY DESTINATION ${GEARLOFT_SKINS_INSTALL_DIR} COMPONENT gearloft)
    install(DIRECTORY ${CMAKE_RUNTIME_OUTPUT_DIRECTORY}/
        DESTINATION ${GEARLOFT_SKINS_INSTALL_DIR} COMPONENT gearloft
        FILES_MATCHING PATTERN "*.skn")
    get_property(gearloft_skin_modules GLOBAL PROPERTY GEARLOFT_SKIN_MODULES)
    if(gearloft_skin_modules)
        install(TARGETS ${gearloft_skin_modules}
            LIBRARY DESTINATION ${GEARLOFT_SKINS_INSTALL_DIR} COMPONENT gearloft)
    endif()

    install(FILES ${PROJECT_SOURCE_DIR}/resources/linux/org.gearloft.Gearloft.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications COMPONENT gearloft)
    install(FILES ${PROJECT_SOURCE_DIR}/resources/linux/org.gearloft.Gearloft.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo COMPONENT gearloft)
    install(FILES ${PROJECT_SOURCE_DIR}/resources/icon/128.png
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/32x32/apps
        RENAME org.gearloft.Gearloft.png COMPONENT gearloft)

    # Man pages of the command-line programs, compressed as installed
    # manuals are.
    file(GLOB gearloft_man_pages CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/doc/man/*.[1-9])
    set(gearloft_compressed_man_pages)
    foreach(page ${gearloft_man_pages})
        get_filename_component(name ${page} NAME)
        string(REGEX REPLACE ".*\\.([1-9])$" "\\1" section ${name})
        set(compressed ${PROJECT_BINARY_DIR}/man/${name}.gz)
        add_custom_command(OUTPUT ${compressed}
            COMMAND ${CMAKE_COMMAND} -E make_directory ${PROJECT_BINARY_DIR}/man
            COMMAND gzip -9nc ${page} > ${compressed}
            DEPENDS ${page} VERBATIM)
        list(APPEND gearloft_compressed_man_pages ${compressed})
        install(FILES ${compressed} DESTINATION ${CMAKE_INSTALL_MANDIR}/man${section}
            COMPONENT gearloft)
    endforeach()
    if(gearloft_compressed_man_pages)
        add_custom_target(gearloft_man_pages ALL DEPENDS ${gearloft_compressed_man_pages})
    endif()
endif()
