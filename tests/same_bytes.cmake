# Builds the program again from the same sources in another folder (of another length)
# and checks that the shipped files come out byte for byte as this build's.
# The second build is configured as a release is (the "release" preset).
# -D SOURCE_DIR, BUILT_DIR (this build's bin), WORK_DIR, FILES (the shipped files).
file(REMOVE_RECURSE "${WORK_DIR}")
execute_process(COMMAND ${CMAKE_COMMAND} -S "${SOURCE_DIR}" --preset release -B "${WORK_DIR}"
    OUTPUT_QUIET RESULT_VARIABLE failed)
if(NOT failed)
    execute_process(COMMAND ${CMAKE_COMMAND} --build "${WORK_DIR}" --target Sorvagenta
        OUTPUT_QUIET RESULT_VARIABLE failed)
endif()
if(failed)
    message(FATAL_ERROR "the second build failed")
endif()
foreach(file IN LISTS FILES)
    file(SHA256 "${BUILT_DIR}/${file}" first)
    file(SHA256 "${WORK_DIR}/bin/${file}" second)
    message("${file}: ${first} ${second}")
    if(NOT first STREQUAL second)
        message(SEND_ERROR "${file} differs between the two builds")
    endif()
endforeach()
file(REMOVE_RECURSE "${WORK_DIR}")
