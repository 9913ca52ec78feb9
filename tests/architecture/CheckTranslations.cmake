# cmake -DLUPDATE=... -DARGUMENTS=... -DTS_FILE=... -DWORK=... -P CheckTranslations.cmake
# Runs lupdate over a copy of the translation file and fails when the copy comes out different:
# a text added, changed or dropped in the sources without `update_translations`.
file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK})
get_filename_component(name ${TS_FILE} NAME)
set(copy ${WORK}/${name})
file(COPY_FILE ${TS_FILE} ${copy})
execute_process(COMMAND ${LUPDATE} ${ARGUMENTS} -ts ${copy}
  RESULT_VARIABLE status OUTPUT_VARIABLE output ERROR_VARIABLE output TIMEOUT 50)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "lupdate failed (${status}):\n${output}")
endif()
file(READ ${TS_FILE} committed)
file(READ ${copy} updated)
if(NOT committed STREQUAL updated)
  execute_process(COMMAND diff -u ${TS_FILE} ${copy} OUTPUT_VARIABLE difference)
  message(FATAL_ERROR "${name} is not what the sources say; run the update_translations "
                      "target and translate what it added:\n${difference}")
endif()
