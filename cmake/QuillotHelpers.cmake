# quillot_library(NAME SOURCES ... DEPS ...)
#   One static library per folder; its public headers live in the folder itself and
#   are included as "folder/Header.h" from the repository root.
function(quillot_library name)
    cmake_parse_arguments(ARG "" "" "SOURCES;DEPS;PRIVATE_DEPS" ${ARGN})
    add_library(${name} STATIC ${ARG_SOURCES})
    target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
    target_link_libraries(${name} PUBLIC ${ARG_DEPS} PRIVATE ${ARG_PRIVATE_DEPS})
endfunction()

# quillot_test(NAME SOURCES ... DEPS ... [LABELS unit|e2e|gui] [SERIAL])
#   One GoogleTest program per folder under tests/, each test case registered with CTest.
#   SERIAL: the program's tests keep real time (sound through a real server) and run
#   alone, with no other test loading the machine.
function(quillot_test name)
    cmake_parse_arguments(ARG "SERIAL" "" "SOURCES;DEPS;LABELS" ${ARGN})
    if(NOT ARG_LABELS)
        set(ARG_LABELS unit)
    endif()
    add_executable(${name} ${ARG_SOURCES})
    target_link_libraries(${name} PRIVATE ${ARG_DEPS} platform_testing GTest::gtest GTest::gmock
                          GTest::gtest_main)
    # Shared test helpers are included as "tests/common/Header.h".
    target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR})
    target_compile_definitions(${name} PRIVATE
        QUILLOT_TEST_DATA="${PROJECT_SOURCE_DIR}/tests/data"
        QUILLOT_BUILD_DIR="${PROJECT_BINARY_DIR}")
    # Tests on a real display share its pointer, keyboard focus and screen: they run alone.
    set(serial FALSE)
    if("gui" IN_LIST ARG_LABELS OR ARG_SERIAL)
        set(serial TRUE)
    endif()
    gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST
        PROPERTIES LABELS "${ARG_LABELS}" RUN_SERIAL ${serial})
endfunction()

# quillot_add_subfolders([PATTERNS ...])
#   Adds every subfolder of the current source folder that has a CMakeLists.txt, in
#   name order (tools/, bench/, fuzz/ and tests/ keep one folder per area).
function(quillot_add_subfolders)
    set(patterns ${ARGN})
    if(NOT patterns)
        set(patterns */CMakeLists.txt)
    endif()
    list(TRANSFORM patterns PREPEND ${CMAKE_CURRENT_SOURCE_DIR}/)
    file(GLOB children RELATIVE ${CMAKE_CURRENT_SOURCE_DIR} CONFIGURE_DEPENDS ${patterns})
    list(SORT children)
    foreach(child ${children})
        get_filename_component(dir ${child} DIRECTORY)
        add_subdirectory(${dir})
    endforeach()
endfunction()

# quillot_resources(TARGET script.rc)
#   Runs rescomp at build time and adds the generated source to TARGET. Files named in
#   the script are dependencies of the generated source (through a depfile).
function(quillot_resources target script)
    get_filename_component(abs ${script} ABSOLUTE)
    set(out ${CMAKE_CURRENT_BINARY_DIR}/${target}_resources.cpp)
    set(dep ${CMAKE_CURRENT_BINARY_DIR}/${target}_resources.d)
    add_custom_command(
        OUTPUT ${out}
        COMMAND rescomp ${abs} ${out} --depfile ${dep}
        DEPENDS rescomp ${abs}
        DEPFILE ${dep}
        COMMENT "Compiling resources ${script}"
        VERBATIM)
    target_sources(${target} PRIVATE ${out})
endfunction()

# quillot_media_glyphs(TARGET)
#   Compiles the media button bar's 27 glyphs as BITMAP resources "EN_MPPLAY" ...
#   "CL_MPEJECT" into TARGET. artgen draws them into generated/glyphs of the build folder
#   with media/MediaGlyphs.rc copied beside them (target media_glyphs). For a static
#   library the resources are linked into every program that uses the library: a
#   resource table that no code names would otherwise be left out of the link.
function(quillot_media_glyphs target)
    set(script ${PROJECT_BINARY_DIR}/generated/glyphs/MediaGlyphs.rc)
    get_target_property(type ${target} TYPE)
    if(type STREQUAL "STATIC_LIBRARY")
        set(objects ${target}_glyph_resources)
        add_library(${objects} OBJECT)
        target_link_libraries(${objects} PRIVATE platform)
        quillot_resources(${objects} ${script})
        add_dependencies(${objects} media_glyphs)
        target_sources(${target} INTERFACE $<TARGET_OBJECTS:${objects}>)
    else()
        quillot_resources(${target} ${script})
        add_dependencies(${target} media_glyphs)
    endif()
endfunction()
