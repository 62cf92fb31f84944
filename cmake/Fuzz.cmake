# The libFuzzer targets: one per parser of untrusted input, built only with -DQV_FUZZ=ON and clang
# (the `fuzz` preset: clang, AddressSanitizer and UndefinedBehaviorSanitizer). Each target is one
# row below: its name, its source under tests/, the library it exercises, its seed folders under
# tests/ (read, never written) and optionally a dictionary. Adding a target is one row.
#
# Each FUZZER builds <name>_fuzzer and a target fuzz_<name> that fuzzes for QV_FUZZ_SECONDS with
# a working corpus in the build tree; `cmake --build build/fuzz --target fuzzers` builds them all,
# and scripts/fuzz-smoke.sh runs each briefly over its seeds (what CI does).

set(QV_FUZZ_SECONDS 300 CACHE STRING "How long each fuzz_<name> target fuzzes")
set(QV_FUZZ_RSS_MB 2048 CACHE STRING "The memory limit of a fuzzer (libFuzzer's -rss_limit_mb)")
add_custom_target(fuzzers)
set(QV_FUZZ_LIST "")

# qv_fuzzer(name SOURCE file LIBS libs... SEEDS folders... [DICT file]): a new target.
# qv_fuzzer(name TARGET existing SEEDS ... [DICT file]): a target some test folder builds itself.
function(qv_fuzzer name)
    cmake_parse_arguments(ARG "" "SOURCE;TARGET;DICT" "LIBS;SEEDS" ${ARGN})
    if(ARG_SOURCE)
        set(target ${name}_fuzzer)
        add_executable(${target} ${PROJECT_SOURCE_DIR}/tests/${ARG_SOURCE})
        target_link_libraries(${target} PRIVATE ${ARG_LIBS})
        target_include_directories(${target} PRIVATE ${PROJECT_SOURCE_DIR}/tests)
        target_compile_options(${target} PRIVATE -fsanitize=fuzzer)
        target_link_options(${target} PRIVATE -fsanitize=fuzzer)
    else()
        set(target ${ARG_TARGET})
    endif()
    add_dependencies(fuzzers ${target})
    set(seeds "")
    foreach(seed IN LISTS ARG_SEEDS)
        if(NOT IS_DIRECTORY ${PROJECT_SOURCE_DIR}/tests/${seed})
            message(FATAL_ERROR "fuzzer ${name}: the seed folder tests/${seed} does not exist")
        endif()
        list(APPEND seeds ${PROJECT_SOURCE_DIR}/tests/${seed})
    endforeach()
    set(options -rss_limit_mb=${QV_FUZZ_RSS_MB} -timeout=10)
    if(ARG_DICT)
        list(APPEND options -dict=${PROJECT_SOURCE_DIR}/tests/${ARG_DICT})
    endif()
    if(NOT TARGET fuzz_${name})
        set(corpus ${PROJECT_BINARY_DIR}/fuzz-corpus/${name})
        add_custom_target(fuzz_${name}
            COMMAND ${CMAKE_COMMAND} -E make_directory ${corpus}
            COMMAND ${target} ${options} -max_total_time=${QV_FUZZ_SECONDS} ${corpus} ${seeds}
            DEPENDS ${target}
            USES_TERMINAL)
    endif()
    # One line per target for scripts/fuzz-smoke.sh: name, program, options, seed folders.
    string(REPLACE ";" " " options_text "${options}")
    string(REPLACE ";" " " seeds_text "${seeds}")
    set_property(GLOBAL APPEND PROPERTY QV_FUZZ_LINES
                 "${name}\t$<TARGET_FILE:${target}>\t${options_text}\t${seeds_text}")
endfunction()

qv_fuzzer(vbscript_parser TARGET vbscript_parser_fuzzer
          SEEDS platform/vbscript/fuzz-corpus platform/vbscript/scripts DICT platform/vbscript/fuzz/vbscript.dict)
qv_fuzzer(vbscript_run TARGET vbscript_run_fuzzer
          SEEDS platform/vbscript/fuzz-corpus platform/vbscript/scripts DICT platform/vbscript/fuzz/vbscript.dict)
qv_fuzzer(vbscript_bounds SOURCE platform/vbscript/fuzz/BoundsFuzzer.cpp LIBS qv_vbscript
          SEEDS platform/vbscript/fuzz/seeds-bounds)
qv_fuzzer(vbscript_compile SOURCE platform/vbscript/fuzz/CompileFuzzer.cpp LIBS qv_vbscript
          SEEDS platform/vbscript/fuzz/seeds-compile)
qv_fuzzer(template_blocks SOURCE template/fuzz/BlockParserFuzzer.cpp LIBS qv_template
          SEEDS template/fuzz/seeds-blocks)
qv_fuzzer(template_controls SOURCE template/fuzz/ControlFileFuzzer.cpp LIBS qv_template
          SEEDS template/fuzz/seeds-controls)
qv_fuzzer(sql_tokens SOURCE platform/sql/fuzz/TokenizerFuzzer.cpp LIBS qv_sql SEEDS platform/sql/fuzz/seeds)
qv_fuzzer(connection_string SOURCE platform/ado/fuzz/ConnectionStringFuzzer.cpp LIBS qv_ado
          SEEDS platform/ado/fuzz/seeds)
qv_fuzzer(query_check SOURCE platform/ado/fuzz/QueryCheckFuzzer.cpp LIBS qv_ado sqlite3
          SEEDS platform/ado/fuzz/seeds-queries DICT platform/ado/fuzz/queries.dict)
qv_fuzzer(registry_hive SOURCE platform/registry/fuzz/HiveFileFuzzer.cpp LIBS qv_registry
          SEEDS platform/registry/fuzz/seeds)
qv_fuzzer(project_file SOURCE project/fuzz/ProjectFileFuzzer.cpp LIBS qv_project SEEDS project/golden)

get_property(qv_fuzz_lines GLOBAL PROPERTY QV_FUZZ_LINES)
list(JOIN qv_fuzz_lines "\n" qv_fuzz_text)
file(GENERATE OUTPUT ${PROJECT_BINARY_DIR}/fuzzers.txt CONTENT "${qv_fuzz_text}\n")
