# The browser edition: the same core, built by Emscripten into vorlith.js and
# vorlith.wasm, with the web port in place of SDL2 and libopenmpt. Nothing
# else of the program (capture, tests, benchmarks, the asset generator) is
# built here; the pack comes from a native build.

# The core is the layered libraries of the top CMakeLists.txt; the web port
# stands where the window does, on the driver and everything below it.
add_executable(vorlith_web src/platform/web/web_port.cpp)
target_link_libraries(vorlith_web PRIVATE vorlith_driver)
set_target_properties(vorlith_web PROPERTIES OUTPUT_NAME vorlith SUFFIX .js)
# An ES module that makes instances on demand; the page hands over the pack's
# files and drives every frame, so there is no main() and no file system.
target_link_options(vorlith_web PRIVATE
  --no-entry
  -sMODULARIZE=1 -sEXPORT_ES6=1 -sEXPORT_NAME=createVorlith
  -sENVIRONMENT=web
  -sALLOW_MEMORY_GROWTH=1 -sINITIAL_MEMORY=33554432
  "-sEXPORTED_RUNTIME_METHODS=[HEAPU8,UTF8ToString,ccall]")

# The native build's tests of the kernels' forms, built for Node, so that the
# SIMD128 forms are held to the plain forms' bytes as the x86 ones are.
# GoogleTest is built from the sources Debian's googletest package installs.
option(VORLITH_WEB_TESTS "Build the kernel tests for Node" ON)
set(GTEST_SOURCE_DIR /usr/src/googletest)
if(VORLITH_WEB_TESTS AND EXISTS ${GTEST_SOURCE_DIR}/CMakeLists.txt)
  set(gtest_disable_pthreads ON CACHE BOOL "" FORCE)
  set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  add_subdirectory(${GTEST_SOURCE_DIR} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
  add_executable(vorlith_kernel_tests tests/test_light_rays.cpp tests/test_light_field.cpp tests/test_raster.cpp)
  target_link_libraries(vorlith_kernel_tests PRIVATE vorlith_driver gtest_main)
  target_link_options(vorlith_kernel_tests PRIVATE -sENVIRONMENT=node -sALLOW_MEMORY_GROWTH=1 -sEXIT_RUNTIME=1)
endif()
