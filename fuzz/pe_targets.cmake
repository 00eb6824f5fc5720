# libFuzzer target of the PE analysis (included by fuzz/CMakeLists.txt).
vermilax_fuzz_target(pe_fuzz pe_fuzz.cpp)
