# The terrain simplifier against the comparison simplifier (bench/run-simplify-bench.sh).
add_executable(bench_simplify ${CMAKE_CURRENT_LIST_DIR}/bench_simplify.cpp)
target_link_libraries(bench_simplify PRIVATE morvale_core)
