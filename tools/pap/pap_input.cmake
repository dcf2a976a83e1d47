# pap.exe's input side, the script parser and the WAV reader: a library of
# its own without FFTW, so the fuzz targets link exactly what pap.exe runs.
include_guard(GLOBAL)
add_library(pap_input STATIC
  ${CMAKE_CURRENT_LIST_DIR}/script.cpp ${CMAKE_CURRENT_LIST_DIR}/wav_input.cpp)
target_include_directories(pap_input PUBLIC ${CMAKE_CURRENT_LIST_DIR})
