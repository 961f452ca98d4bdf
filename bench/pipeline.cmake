# The conversion benchmark (bench/run-bench.sh drives it): the plain
# implementation and the I/O floor it compares with, a runner that measures
# time and peak memory, and the long differential run of the inline "%.4f".
# Included by bench/CMakeLists.txt.
add_executable(straightforward_convert ${CMAKE_CURRENT_LIST_DIR}/straightforward_convert.cpp)
add_executable(io_floor ${CMAKE_CURRENT_LIST_DIR}/io_floor.cpp)
add_executable(measure_run ${CMAKE_CURRENT_LIST_DIR}/measure_run.cpp)
add_executable(soak_vertex_text ${CMAKE_CURRENT_LIST_DIR}/soak_vertex_text.cpp)
target_link_libraries(soak_vertex_text PRIVATE morvale_core)
