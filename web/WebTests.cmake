# The core's GoogleTest programs compiled with emscripten, to run under node
# (scripts/test-web): the same sources as tests/CMakeLists.txt lists for the
# native build, each program one unity unit as there. They read the real
# recordings and write their scratch files through node's file system.
set(gtest_disable_pthreads ON CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
# The core's tests use GoogleTest alone, not its mocking library.
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
add_subdirectory(${TREMOLUX_GTEST_SOURCE} googletest EXCLUDE_FROM_ALL)

set(TREMOLUX_SAMPLES_DIR "${TREMOLUX_ROOT}/../shared/c3d-samples"
    CACHE PATH "Folder of real C3D files used by tests when present")
set(_tests ${TREMOLUX_ROOT}/tests)

add_library(tremolux_testsupport STATIC
  ${_tests}/support/C3dWriter.cpp ${_tests}/support/HandFilledC3d.cpp
  ${_tests}/support/HostileFiles.cpp ${_tests}/support/ReferenceResample.cpp)
target_link_libraries(tremolux_testsupport PUBLIC tremolux_c3d tremolux_sound PRIVATE tremolux_warnings)

set(TREMOLUX_WEB_TEST_PROGRAMS "")
function(tremolux_web_gtest name)
  cmake_parse_arguments(T "" "" "SOURCES;LIBS" ${ARGN})
  list(TRANSFORM T_SOURCES PREPEND ${_tests}/)
  add_executable(${name} ${T_SOURCES})
  set_target_properties(${name} PROPERTIES UNITY_BUILD ON UNITY_BUILD_BATCH_SIZE 16 SUFFIX .js)
  target_link_libraries(${name} PRIVATE tremolux_testsupport ${T_LIBS} gtest_main tremolux_warnings)
  target_compile_definitions(${name} PRIVATE
    TREMOLUX_SAMPLES_DIR="${TREMOLUX_SAMPLES_DIR}"
    TREMOLUX_DEMO_C3D="${CMAKE_BINARY_DIR}/demo/demo.c3d"
    TREMOLUX_BUILD_DIR="${CMAKE_BINARY_DIR}")
  target_link_options(${name} PRIVATE -sNODERAWFS=1 -sENVIRONMENT=node -sEXIT_RUNTIME=1
                      -sALLOW_MEMORY_GROWTH=1 -sMAXIMUM_MEMORY=4GB)
  set(TREMOLUX_WEB_TEST_PROGRAMS ${TREMOLUX_WEB_TEST_PROGRAMS} ${name} PARENT_SCOPE)
endfunction()

tremolux_web_gtest(tremolux_c3d_tests LIBS tremolux_c3d
  SOURCES core/AllocationCounter.cpp
          core/test_c3d_data.cpp core/test_c3d_formats.cpp core/test_c3d_header.cpp core/test_c3d_stream_load.cpp
          core/test_c3d_hostile.cpp core/test_c3d_lifetime.cpp core/test_c3d_long_frames.cpp
          core/test_c3d_numbers.cpp core/test_c3d_parameters.cpp core/test_c3d_queries.cpp
          core/test_c3d_real_files.cpp core/test_c3d_robustness.cpp core/test_c3d_writer.cpp
          core/test_c3d_file_summary.cpp core/test_c3d_extremes.cpp core/test_c3d_trial_events.cpp
          core/test_number_text.cpp)
tremolux_web_gtest(tremolux_sound_tests LIBS tremolux_sound
  SOURCES core/AllocationCounter.cpp
          core/test_play_checks.cpp core/test_sound_level.cpp core/test_wave_format.cpp
          core/test_reference_resample.cpp core/test_wave_choices.cpp core/test_wave_encoder.cpp
          core/test_wave_synthesis.cpp core/test_wave_ticks.cpp)
tremolux_web_gtest(tremolux_soundgen_tests LIBS tremolux_sound
  SOURCES core/test_auto_real_files.cpp core/test_auto_sound.cpp
          core/test_filters.cpp core/test_pitch_tone.cpp core/test_speed.cpp)
tremolux_web_gtest(tremolux_plot_tests LIBS tremolux_plot
  SOURCES core/test_plot_geometry.cpp core/test_plot_summary.cpp)
add_custom_target(web-tests DEPENDS ${TREMOLUX_WEB_TEST_PROGRAMS})
