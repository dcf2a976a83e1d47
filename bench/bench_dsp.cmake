# The FFT benchmark measures FFTW beside the library's transform; only this
# program links it.
find_package(PkgConfig REQUIRED)
pkg_check_modules(FFTW3F REQUIRED IMPORTED_TARGET fftw3f)
target_link_libraries(bench_dsp PRIVATE PkgConfig::FFTW3F)
