# The tile set benchmark's cutter (bench/run-tiles-bench.sh).
add_executable(cut_grid_tiles ${CMAKE_CURRENT_LIST_DIR}/cut_grid_tiles.cpp)
target_link_libraries(cut_grid_tiles PRIVATE morvale_core)
