# SPDX-License-Identifier: GPL-3.0-or-later
# Sound measurements: one program that times whole processes (CPU, latency,
# loop gap, memory); it needs no Google Benchmark, only the test helpers that
# write MIDI and MP3 files.
add_executable(bench_sound ${CMAKE_CURRENT_LIST_DIR}/bench_sound.cpp)
target_link_libraries(bench_sound PRIVATE quorvel_testsupport)
set_target_properties(bench_sound PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bench)
add_dependencies(benchmarks bench_sound)
target_compile_definitions(bench_sound PRIVATE QUORVEL_GAME_DIR="${QUORVEL_GAME_DIR}")

# Measurements through a real sound server (bench/sound-pulse.sh).
add_executable(bench_pulse ${CMAKE_CURRENT_LIST_DIR}/bench_pulse.cpp)
target_link_libraries(bench_pulse PRIVATE quorvel_testsupport)
set_target_properties(bench_pulse PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bench)
add_dependencies(benchmarks bench_pulse)
