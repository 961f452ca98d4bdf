add_executable(bench_attributes ${CMAKE_CURRENT_LIST_DIR}/bench_attributes.cpp)
target_link_libraries(bench_attributes PRIVATE morvale_core)
target_include_directories(bench_attributes PRIVATE ${CMAKE_SOURCE_DIR}/tests/reference)
