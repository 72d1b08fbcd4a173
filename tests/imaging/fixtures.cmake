# The picture generators of the imaging tests: a library of their own, which
# the imaging tests and the fuzzers' seed programs both link.
if(NOT TARGET trimbrel_imaging_fixtures)
  add_library(trimbrel_imaging_fixtures STATIC ${CMAKE_CURRENT_LIST_DIR}/fixtures.cpp)
  target_link_libraries(trimbrel_imaging_fixtures PUBLIC trimbrel_imaging JPEG::JPEG PNG::PNG ZLIB::ZLIB)
  target_include_directories(trimbrel_imaging_fixtures PUBLIC ${PROJECT_SOURCE_DIR})
endif()
