# Fails when the program PROGRAM defines a symbol of the testing API (platform::testing),
# which belongs to the platform_testing library that only tests and test tools link.
#   cmake -DNM=nm -DPROGRAM=path -P NoTestingSymbols.cmake
execute_process(COMMAND ${NM} -C --defined-only ${PROGRAM}
    OUTPUT_VARIABLE symbols RESULT_VARIABLE status)
if(NOT status EQUAL 0)
    message(FATAL_ERROR "nm could not read ${PROGRAM}")
endif()
string(REGEX MATCHALL "[^\n]*platform::testing::[^\n]*" found "${symbols}")
if(found)
    list(LENGTH found count)
    list(GET found 0 first)
    message(FATAL_ERROR "${PROGRAM} links ${count} symbols of the testing API, "
        "for example: ${first}")
endif()
