# libtiff is opened by its versioned name when a TIFF is written
# (imaging/tiff_library.hpp) rather than linked: TRIMBREL_TIFF_FILE is the
# library found, TRIMBREL_TIFF_SONAME the name it is opened by.
if(TIFF_LIBRARY_RELEASE)
  set(TRIMBREL_TIFF_FILE ${TIFF_LIBRARY_RELEASE})
else()
  set(TRIMBREL_TIFF_FILE ${TIFF_LIBRARY})
endif()
execute_process(COMMAND ${CMAKE_OBJDUMP} -p ${TRIMBREL_TIFF_FILE}
  OUTPUT_VARIABLE _trimbrel_tiff_headers ERROR_QUIET RESULT_VARIABLE _trimbrel_tiff_status)
if(NOT _trimbrel_tiff_status EQUAL 0 OR NOT _trimbrel_tiff_headers MATCHES "SONAME +([^ \n]+)")
  message(FATAL_ERROR "cannot read the SONAME of ${TRIMBREL_TIFF_FILE} (objdump: '${CMAKE_OBJDUMP}')")
endif()
set(TRIMBREL_TIFF_SONAME ${CMAKE_MATCH_1})
