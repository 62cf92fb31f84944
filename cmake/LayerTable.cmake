# Reads the rows of cmake/Layers.cmake into global properties, for the build (cmake/Quorvane.cmake)
# and for the include check (cmake/CheckLayers.cmake) alike:
#   QV_LAYERS                    the layer folders, in table order
#   QV_LAYER_<folder>_SEES       the folder and every layer it may use, nearest first
#   QV_LAYER_<folder>_USES       the layers its row names
#   QV_LAYER_<folder>_LIBS       the system libraries its row names
#   QV_TEST_HELPERS              tests/ helper folders; QV_TEST_HELPER_<name>_SEES as above
#   QV_TOOLS                     tools/ program folders; QV_TOOL_<name>_SEES and _USES as above

# The library a layer folder builds: qv_ and the folder's last name.
function(qv_layer_library folder out)
    get_filename_component(name ${folder} NAME)
    set(${out} qv_${name} PARENT_SCOPE)
endfunction()

function(qv_layer_sees_all uses out)
    set(sees "")
    foreach(used IN LISTS uses)
        get_property(known GLOBAL PROPERTY QV_LAYERS)
        if(NOT used IN_LIST known)
            message(FATAL_ERROR "cmake/Layers.cmake: `${used}` is not a row above the one that uses it")
        endif()
        get_property(used_sees GLOBAL PROPERTY QV_LAYER_${used}_SEES)
        list(APPEND sees ${used_sees})
    endforeach()
    list(REMOVE_DUPLICATES sees)
    set(${out} "${sees}" PARENT_SCOPE)
endfunction()

function(qv_record_layer folder)
    cmake_parse_arguments(ARG "" "" "USES;LIBS" ${ARGN})
    if(ARG_UNPARSED_ARGUMENTS)
        message(FATAL_ERROR "cmake/Layers.cmake: row ${folder}: unknown words ${ARG_UNPARSED_ARGUMENTS}")
    endif()
    if(NOT IS_DIRECTORY ${QV_SOURCE_ROOT}/src/${folder})
        message(FATAL_ERROR "cmake/Layers.cmake: the layer folder src/${folder} does not exist")
    endif()
    file(GLOB_RECURSE code ${QV_SOURCE_ROOT}/src/${folder}/*.h ${QV_SOURCE_ROOT}/src/${folder}/*.cpp)
    if(NOT code)
        message(FATAL_ERROR "cmake/Layers.cmake: the layer folder src/${folder} holds no code")
    endif()
    get_property(known GLOBAL PROPERTY QV_LAYERS)
    if(folder IN_LIST known)
        message(FATAL_ERROR "cmake/Layers.cmake: src/${folder} has two rows")
    endif()
    qv_layer_sees_all("${ARG_USES}" sees)
    set_property(GLOBAL APPEND PROPERTY QV_LAYERS ${folder})
    set_property(GLOBAL PROPERTY QV_LAYER_${folder}_SEES ${folder} ${sees})
    set_property(GLOBAL PROPERTY QV_LAYER_${folder}_USES ${ARG_USES})
    set_property(GLOBAL PROPERTY QV_LAYER_${folder}_LIBS ${ARG_LIBS})
endfunction()

# A folder outside src/ that uses layers without being one: a test helper under tests/ or a
# program under tools/. Records the layers it may see under QV_<KIND>_<name>_SEES.
function(qv_record_user kind dir name)
    cmake_parse_arguments(ARG "" "" "USES" ${ARGN})
    if(ARG_UNPARSED_ARGUMENTS)
        message(FATAL_ERROR "cmake/Layers.cmake: ${dir}/${name}: unknown words ${ARG_UNPARSED_ARGUMENTS}")
    endif()
    if(NOT IS_DIRECTORY ${QV_SOURCE_ROOT}/${dir}/${name})
        message(FATAL_ERROR "cmake/Layers.cmake: the folder ${dir}/${name} does not exist")
    endif()
    qv_layer_sees_all("${ARG_USES}" sees)
    set_property(GLOBAL APPEND PROPERTY QV_${kind}S ${name})
    set_property(GLOBAL PROPERTY QV_${kind}_${name}_SEES ${sees})
    set_property(GLOBAL PROPERTY QV_${kind}_${name}_USES ${ARG_USES})
endfunction()

function(qv_test_helper name)
    qv_record_user(TEST_HELPER tests ${name} ${ARGN})
endfunction()

function(qv_tool name)
    qv_record_user(TOOL tools ${name} ${ARGN})
endfunction()
