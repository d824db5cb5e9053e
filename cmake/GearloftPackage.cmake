# Debian packages from the install components (scripts/package runs cpack):
#   gearloft        the program with its skins, help, desktop entry, icon,
#                   metainfo, the command-line programs and their man pages
#   libtessera1     the runtime library
#   libtessera-dev  header, link, CMake package and pkg-config file
# Dependencies on system libraries are computed by dpkg-shlibdeps.

set(GEARLOFT_PACKAGE_DOC_DIR ${PROJECT_BINARY_DIR}/package-doc)

# Every package carries its copyright and changelog in /usr/share/doc/<name>.
function(gearloft_package_docs component package)
    set(dir ${GEARLOFT_PACKAGE_DOC_DIR}/${package})
    file(MAKE_DIRECTORY ${dir})
    configure_file(${PROJECT_SOURCE_DIR}/resources/linux/copyright ${dir}/copyright COPYONLY)
    # A native package's changelog: changelog.gz, compressed without a time
    # stamp so the package is the same on every build.
    string(TIMESTAMP now "%a, %d %b %Y %H:%M:%S +0000" UTC)
    file(WRITE ${dir}/changelog
        "${package} (${PROJECT_VERSION}) stable; urgency=medium\n\n"
        "  * Release ${PROJECT_VERSION}.\n\n"
        " -- The Gearloft developers <gearloft@example.org>  ${now}\n")
    execute_process(COMMAND gzip -9nf ${dir}/changelog)
    install(FILES ${dir}/copyright ${dir}/changelog.gz
        DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/${package} COMPONENT ${component})
endfunction()

if(GEARLOFT_APP)
    gearloft_package_docs(gearloft gearloft)
endif()
gearloft_package_docs(runtime libtessera1)
gearloft_package_docs(development libtessera-dev)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME gearloft)
set(CPACK_PACKAGE_VENDOR "The Gearloft developers")
set(CPACK_PACKAGE_CONTACT "The Gearloft developers <gearloft@example.org>")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DIRECTORY ${PROJECT_BINARY_DIR}/packages)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEB_COMPONENT_INSTALL ON)
if(GEARLOFT_APP)
    set(CPACK_COMPONENTS_ALL gearloft runtime development)
else()
    set(CPACK_COMPONENTS_ALL runtime development)
endif()

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "The Gearloft developers <gearloft@example.org>")
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_ENABLE_COMPONENT_DEPENDS ON)

set(CPACK_DEBIAN_GEARLOFT_PACKAGE_NAME gearloft)
# An editor for a game's files rather than a game: "utils" (the "games"
# section is for programs installed in /usr/games).
set(CPACK_DEBIAN_GEARLOFT_PACKAGE_SECTION utils)
# The program binds the library at run time, which dpkg-shlibdeps cannot
# see, and Qt's platform plugins are plugins too.
set(CPACK_DEBIAN_GEARLOFT_PACKAGE_DEPENDS
    "libtessera1 (= ${PROJECT_VERSION}), qt6-qpa-plugins")
set(CPACK_DEBIAN_GEARLOFT_PACKAGE_RECOMMENDS "wine")
set(CPACK_COMPONENT_GEARLOFT_DESCRIPTION
    "level equipment editor for Qelmarch\n"
    "Gearloft changes the equipment a player carries in each level of the\n"
    "game Qelmarch and the number of spears the player is given, and starts\n"
    "the game on the chosen level. It finds a copy of the game installed in a\n"
    "Wine prefix and starts it through Wine.")

set(CPACK_DEBIAN_RUNTIME_PACKAGE_NAME libtessera1)
set(CPACK_DEBIAN_RUNTIME_PACKAGE_SECTION libs)
# The shlibs file tells dpkg-shlibdeps of other packages which version of
# libtessera1 their programs need; the trigger runs ldconfig once per dpkg run.
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS_POLICY ">=")
configure_file(${PROJECT_SOURCE_DIR}/resources/linux/libtessera1.triggers
    ${PROJECT_BINARY_DIR}/package-control/runtime/triggers COPYONLY)
set(CPACK_DEBIAN_RUNTIME_PACKAGE_CONTROL_EXTRA ${PROJECT_BINARY_DIR}/package-control/runtime/triggers)
set(CPACK_COMPONENT_RUNTIME_DESCRIPTION
    "chunk-file library for Qelmarch level files\n"
    "Tessera loads, decompresses, parses, edits, compiles, compresses and\n"
    "saves the chunk files that Qelmarch keeps its levels in.")

set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_NAME libtessera-dev)
set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_SECTION libdevel)
set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_DEPENDS "libtessera1 (= ${PROJECT_VERSION})")
set(CPACK_COMPONENT_DEVELOPMENT_DESCRIPTION
    "chunk-file library for Qelmarch level files (development files)\n"
    "The header tessera.h, the link to the library, a CMake package\n"
    "(find_package(Tessera) gives Tessera::tessera) and tessera.pc.")

include(CPack)
