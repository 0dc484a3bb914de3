# Compiles the help file from its sources with chmcmd:
#   cmake -DSOURCE_DIR=docs/help -DWORK_DIR=<scratch folder> -DOUTPUT=<path>/Songferry.CHM -P BuildHelp.cmake
# The pages stay UTF-8 (they say so themselves); the project and contents files are read by the
# viewer in the help's own code page, Shift-JIS.
cmake_minimum_required(VERSION 3.25)
include(${CMAKE_CURRENT_LIST_DIR}/ShiftJis.cmake)

file(REMOVE_RECURSE "${WORK_DIR}")
file(MAKE_DIRECTORY "${WORK_DIR}")
file(GLOB pages "${SOURCE_DIR}/*.html" "${SOURCE_DIR}/*.css")
file(COPY ${pages} DESTINATION "${WORK_DIR}")
file(GLOB project_files "${SOURCE_DIR}/*.hhp" "${SOURCE_DIR}/*.hhc")
foreach(project_file IN LISTS project_files)
  get_filename_component(name "${project_file}" NAME)
  songferry_to_shift_jis("${project_file}" "${WORK_DIR}/${name}")
endforeach()

execute_process(COMMAND chmcmd Songferry.hhp WORKING_DIRECTORY "${WORK_DIR}" OUTPUT_VARIABLE log ERROR_VARIABLE log
                RESULT_VARIABLE failed)
if(failed OR NOT EXISTS "${WORK_DIR}/Songferry.CHM" OR log MATCHES "[Ee]rror")
  message(FATAL_ERROR "chmcmd failed:\n${log}")
endif()
file(COPY_FILE "${WORK_DIR}/Songferry.CHM" "${OUTPUT}")
