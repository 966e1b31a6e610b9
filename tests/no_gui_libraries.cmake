# Fails when one of FILES (a ;-list) loads a GUI library: qtor-ctl and the core and link tests
# must run where there is no display and no widget toolkit.
foreach(file ${FILES})
  execute_process(COMMAND ldd ${file} OUTPUT_VARIABLE libs RESULT_VARIABLE rc)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "ldd ${file} failed")
  endif()
  string(REGEX MATCHALL "lib(Qt6Widgets|Qt6Gui|Qt6OpenGL|qcustomplot)[^ ]*" gui "${libs}")
  if(gui)
    message(FATAL_ERROR "${file} links GUI libraries: ${gui}")
  endif()
  message(STATUS "${file}: no GUI library")
endforeach()
