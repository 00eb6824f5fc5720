# Benchmark of the PE analysis over a folder of real PE files (included by bench/CMakeLists.txt).
find_package(benchmark REQUIRED)
add_executable(pe_bench ${CMAKE_CURRENT_LIST_DIR}/pe_bench.cpp)
target_link_libraries(pe_bench PRIVATE vermilax_core benchmark::benchmark)
