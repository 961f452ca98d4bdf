# The exact "%.4f" formatter: its speed beside the library's formatters, and a
# long differential run against snprintf. Included by bench/CMakeLists.txt.
add_executable(bench_fixed_format ${CMAKE_CURRENT_LIST_DIR}/bench_fixed_format.cpp)
target_link_libraries(bench_fixed_format PRIVATE morvale_core)

add_executable(soak_fixed_format ${CMAKE_CURRENT_LIST_DIR}/soak_fixed_format.cpp)
target_link_libraries(soak_fixed_format PRIVATE morvale_core)
