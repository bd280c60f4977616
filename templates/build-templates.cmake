# Converts the generated .fods templates in WORK_DIR to .xls in OUT_DIR with a headless LibreOffice that uses
# a profile of its own (PROFILE_DIR), so neither the user's profile nor a running office is involved.
# Run with: cmake -DSOFFICE=... -DWORK_DIR=... -DOUT_DIR=... -DPROFILE_DIR=... -P build-templates.cmake
file(GLOB sources ${WORK_DIR}/*.fods)
if(NOT sources)
  message(FATAL_ERROR "no .fods template in ${WORK_DIR}")
endif()
file(MAKE_DIRECTORY ${OUT_DIR})
# Stale outputs would hide a failed conversion (soffice exits 0 even then).
foreach(source ${sources})
  get_filename_component(name ${source} NAME_WE)
  file(REMOVE ${OUT_DIR}/${name}.xls)
endforeach()
# A UTF-8 character type, or the office writes accented build folders in the bytes of the build's locale.
execute_process(
  COMMAND ${CMAKE_COMMAND} -E env LC_ALL=C.UTF-8
          ${SOFFICE} -env:UserInstallation=file://${PROFILE_DIR} --headless --norestore --nolockcheck
          --nologo --convert-to "xls:MS Excel 97" --outdir ${OUT_DIR} ${sources}
  RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err
  TIMEOUT 300)
foreach(source ${sources})
  get_filename_component(name ${source} NAME_WE)
  if(NOT EXISTS ${OUT_DIR}/${name}.xls)
    message(FATAL_ERROR "LibreOffice did not produce ${name}.xls (exit ${rc})\n${out}\n${err}")
  endif()
endforeach()
