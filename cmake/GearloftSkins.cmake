# The skin kit: builds a skin module from a folder of pictures and a template.
#
# gearloft_add_skin(NAME <name>
#                   [ART <folder>]            pictures as bitmap/<id>.png
#                   [TEMPLATE <file.ui>]      the layout, taken as dialog/103.ui
#                                             (default: <ART>/dialog/103.ui if present)
#                   [DESCRIPTION <file.skn>]  copied beside the module
#                   [SOURCES <files...>]      code of the module (an InitSkin export)
#                   [LIBS <targets...>]       what that code links
#                   [OUTPUT_DIRECTORY <dir>]) default: the program's folder (build/bin)
#
# The module is <name>.so (no "lib" prefix), so a description names it as
# Module=<name>.so. Its resources register under :/skin/ when it loads.
function(gearloft_add_skin)
    cmake_parse_arguments(ARG "" "NAME;ART;TEMPLATE;DESCRIPTION;OUTPUT_DIRECTORY"
        "SOURCES;LIBS" ${ARGN})
    if(NOT ARG_NAME)
        message(FATAL_ERROR "gearloft_add_skin: NAME is required")
    endif()
    set(target ${ARG_NAME})
    if(NOT ARG_OUTPUT_DIRECTORY)
        # A skin beside the program is one the program ships: it is installed
        # with it (cmake/GearloftInstall.cmake).
        set(ARG_OUTPUT_DIRECTORY ${CMAKE_RUNTIME_OUTPUT_DIRECTORY})
        set_property(GLOBAL APPEND PROPERTY GEARLOFT_SKIN_MODULES ${target})
    endif()

    # A module needs one source of its own even when it only carries pictures.
    set(stub ${CMAKE_CURRENT_BINARY_DIR}/${target}_module.cpp)
    if(NOT EXISTS ${stub})
        file(WRITE ${stub} "// The skin module ${target}: its resources are all it carries.\n")
    endif()
    add_library(${target} MODULE ${stub} ${ARG_SOURCES})
    target_link_libraries(${target} PRIVATE Qt6::Core ${ARG_LIBS})
    set_target_properties(${target} PROPERTIES
        PREFIX ""
        LIBRARY_OUTPUT_DIRECTORY ${ARG_OUTPUT_DIRECTORY}
        CXX_VISIBILITY_PRESET hidden
        VISIBILITY_INLINES_HIDDEN ON)

    set(files)
    if(ARG_ART)
        file(GLOB pictures CONFIGURE_DEPENDS ${ARG_ART}/bitmap/*.png)
        list(SORT pictures)
        list(APPEND files ${pictures})
        if(NOT ARG_TEMPLATE AND EXISTS ${ARG_ART}/dialog/103.ui)
            set(ARG_TEMPLATE ${ARG_ART}/dialog/103.ui)
        endif()
    endif()
    if(ARG_TEMPLATE)
        get_filename_component(template ${ARG_TEMPLATE} ABSOLUTE)
        set_source_files_properties(${template} PROPERTIES QT_RESOURCE_ALIAS dialog/103.ui)
        list(APPEND files ${template})
    endif()
    if(files)
        if(ARG_ART)
            qt_add_resources(${target} "${target}_skin" PREFIX "/skin" BASE ${ARG_ART}
                FILES ${files})
        else()
            qt_add_resources(${target} "${target}_skin" PREFIX "/skin" FILES ${files})
        endif()
    endif()

    if(ARG_DESCRIPTION)
        get_filename_component(description_name ${ARG_DESCRIPTION} NAME)
        add_custom_command(TARGET ${target} POST_BUILD
            COMMAND ${CMAKE_COMMAND} -E copy_if_different ${ARG_DESCRIPTION}
                ${ARG_OUTPUT_DIRECTORY}/${description_name}
            VERBATIM)
    endif()
endfunction()
