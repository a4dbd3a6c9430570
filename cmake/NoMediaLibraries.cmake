# Fails when the program PROGRAM links FFmpeg's libraries directly: they belong to the
# media module, which the program loads when it first needs it.
#   cmake -DOBJDUMP=objdump -DPROGRAM=path -P NoMediaLibraries.cmake
execute_process(COMMAND ${OBJDUMP} -p ${PROGRAM} OUTPUT_VARIABLE headers RESULT_VARIABLE status)
if(NOT status EQUAL 0)
    message(FATAL_ERROR "objdump could not read ${PROGRAM}")
endif()
string(REGEX MATCHALL "NEEDED +lib(av|sw)[a-z]*\\.so[.0-9]*" found "${headers}")
if(found)
    message(FATAL_ERROR "${PROGRAM} links FFmpeg (${found}); only the media module may")
endif()
