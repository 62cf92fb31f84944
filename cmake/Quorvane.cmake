set(QV_SOURCE_ROOT ${PROJECT_SOURCE_DIR})
include(${CMAKE_CURRENT_LIST_DIR}/LayerTable.cmake)

# An include root in the build tree that holds the given folders and nothing else: one symbolic
# link per folder, named as the folder is included ("platform/sql" -> src/platform/sql). Links
# that no longer belong are removed, so that dropping a use from the table hides the layer again.
function(qv_include_root name source_base)
    set(root ${PROJECT_BINARY_DIR}/include/${name})
    set(wanted "")
    foreach(folder IN LISTS ARGN)
        list(APPEND wanted ${root}/${folder})
    endforeach()
    file(GLOB present LIST_DIRECTORIES true ${root}/* ${root}/*/*)
    foreach(entry IN LISTS present)
        if(IS_SYMLINK ${entry} AND NOT entry IN_LIST wanted)
            file(REMOVE ${entry})
        endif()
    endforeach()
    foreach(folder IN LISTS ARGN)
        if(NOT IS_SYMLINK ${root}/${folder})
            get_filename_component(parent ${root}/${folder} DIRECTORY)
            file(MAKE_DIRECTORY ${parent})
            file(CREATE_LINK ${source_base}/${folder} ${root}/${folder} SYMBOLIC)
        endif()
    endforeach()
    set(QV_INCLUDE_ROOT ${root} PARENT_SCOPE)
endfunction()

# One row of cmake/Layers.cmake: one static library per layer folder, from every *.cpp under it
# (adding a file needs no build edit), linked to the layers its row uses. Its include root holds
# the layer and what it may use; the folder's own generated files (in the build tree) are seen by
# the layer alone. A CMakeLists.txt in the folder, if any, adds what else the folder builds.
function(qv_layer folder)
    qv_record_layer(${ARGV})
    qv_layer_library(${folder} name)
    get_property(sees GLOBAL PROPERTY QV_LAYER_${folder}_SEES)
    get_property(uses GLOBAL PROPERTY QV_LAYER_${folder}_USES)
    get_property(libs GLOBAL PROPERTY QV_LAYER_${folder}_LIBS)
    set(deps ${libs})
    foreach(used IN LISTS uses)
        qv_layer_library(${used} used_name)
        list(APPEND deps ${used_name})
    endforeach()
    qv_include_root(${name} ${PROJECT_SOURCE_DIR}/src ${sees})
    file(GLOB_RECURSE sources CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/src/${folder}/*.cpp)
    if(sources)
        add_library(${name} STATIC ${sources})
        target_include_directories(${name} PUBLIC ${QV_INCLUDE_ROOT} PRIVATE ${PROJECT_BINARY_DIR}/src)
        target_link_libraries(${name} PUBLIC ${deps})
    else()
        # A layer whose headers stand alone so far.
        add_library(${name} INTERFACE)
        target_include_directories(${name} INTERFACE ${QV_INCLUDE_ROOT})
        target_link_libraries(${name} INTERFACE ${deps})
    endif()
    if(EXISTS ${PROJECT_SOURCE_DIR}/src/${folder}/CMakeLists.txt)
        add_subdirectory(${PROJECT_SOURCE_DIR}/src/${folder} ${PROJECT_BINARY_DIR}/src/${folder})
    endif()
endfunction()

# A program's target from its qv_tool row in cmake/Layers.cmake: the include root of the layers
# the row uses (and what they may use), and their libraries on the link line.
function(qv_tool_target target tool)
    get_property(tools GLOBAL PROPERTY QV_TOOLS)
    if(NOT tool IN_LIST tools)
        message(FATAL_ERROR "qv_tool_target(${target} ${tool}): add a qv_tool row to cmake/Layers.cmake")
    endif()
    get_property(sees GLOBAL PROPERTY QV_TOOL_${tool}_SEES)
    get_property(uses GLOBAL PROPERTY QV_TOOL_${tool}_USES)
    set(deps "")
    foreach(used IN LISTS uses)
        qv_layer_library(${used} used_name)
        list(APPEND deps ${used_name})
    endforeach()
    qv_include_root(qv_tool_${tool} ${PROJECT_SOURCE_DIR}/src ${sees})
    target_include_directories(${target} PUBLIC ${QV_INCLUDE_ROOT})
    target_link_libraries(${target} PUBLIC ${deps})
endfunction()

# A layer's library and link line come from its row in cmake/Layers.cmake, nowhere else.
function(qv_add_library name)
    message(FATAL_ERROR "qv_add_library(${name}): add a row to cmake/Layers.cmake instead")
endfunction()

# One test program per test folder, every *Test.cpp in it; each GoogleTest case becomes a CTest
# test carrying the folder's label. It sees the layers it links and the helpers under tests/ (the
# include check keeps it to those of the layers it may use).
function(qv_add_test_dir name)
    cmake_parse_arguments(ARG "" "LABEL" "DEPS" ${ARGN})
    file(GLOB_RECURSE sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*Test.cpp)
    if(NOT sources)
        return()
    endif()
    add_executable(${name} ${sources})
    target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/tests)
    target_link_libraries(${name} PRIVATE ${ARG_DEPS} qv_testsupport GTest::gtest GTest::gtest_main)
    target_compile_definitions(${name} PRIVATE
        QV_SOURCE_DIR="${PROJECT_SOURCE_DIR}"
        QV_TEST_DATA_DIR="${CMAKE_CURRENT_SOURCE_DIR}"
        QV_FIXTURES_DIR="${PROJECT_SOURCE_DIR}/tests/fixtures")
    if(NOT ARG_LABEL)
        set(ARG_LABEL unit)
    endif()
    gtest_discover_tests(${name} PROPERTIES LABELS ${ARG_LABEL} DISCOVERY_TIMEOUT 60)
endfunction()
