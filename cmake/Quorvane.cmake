# One static library per source folder. Sources are picked up by glob so that adding a file to a
# folder needs no build edit; the link list names the only layers the folder may use.
function(qv_add_library name)
    cmake_parse_arguments(ARG "" "" "DEPS" ${ARGN})
    file(GLOB_RECURSE sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
    if(NOT sources)
        # A folder whose headers stand alone so far.
        add_library(${name} INTERFACE)
        target_include_directories(${name} INTERFACE ${PROJECT_SOURCE_DIR}/src ${PROJECT_BINARY_DIR}/src)
        target_link_libraries(${name} INTERFACE ${ARG_DEPS})
        return()
    endif()
    add_library(${name} STATIC ${sources})
    target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR}/src ${PROJECT_BINARY_DIR}/src)
    target_link_libraries(${name} PUBLIC ${ARG_DEPS})
endfunction()

# One test program per test folder, every *Test.cpp in it; each GoogleTest case becomes a CTest
# test carrying the folder's label.
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
