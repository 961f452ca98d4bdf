# The binary mesh writers fed a synthetic surface stream, one variant per
# process so that peak memory shows per writer. Included by bench/CMakeLists.txt;
# bench/run-mesh-writers-bench.sh runs it.
add_executable(bench_mesh_writers ${CMAKE_CURRENT_LIST_DIR}/bench_mesh_writers.cpp)
target_link_libraries(bench_mesh_writers PRIVATE morvale_core)
