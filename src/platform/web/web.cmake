# The browser edition: the same core, built by Emscripten into vorlith.js and
# vorlith.wasm, with the web port in place of SDL2 and libopenmpt. Nothing
# else of the program (capture, tests, benchmarks, the asset generator) is
# built here; the pack comes from a native build.

# WebAssembly's 128-bit SIMD (every current browser has it) for the kernels'
# SIMD forms and the compiler's own vectorising; lane-wise arithmetic rounds
# as the scalar code does, so the frames stay the same bytes.
add_compile_options(-msimd128)

file(GLOB CORE_SOURCES CONFIGURE_DEPENDS
  src/image/*.cpp src/math/*.cpp src/effects/*.cpp src/driver/*.cpp src/music/*.cpp)
add_library(vorlith_core STATIC ${CORE_SOURCES})
target_include_directories(vorlith_core PUBLIC src)

add_executable(vorlith_web src/platform/web/web_port.cpp)
target_link_libraries(vorlith_web PRIVATE vorlith_core)
set_target_properties(vorlith_web PROPERTIES OUTPUT_NAME vorlith SUFFIX .js)
# An ES module that makes instances on demand; the page writes the pack into
# the in-memory file system and drives every frame, so there is no main().
target_link_options(vorlith_web PRIVATE
  --no-entry
  -sMODULARIZE=1 -sEXPORT_ES6=1 -sEXPORT_NAME=createVorlith
  -sENVIRONMENT=web
  -sALLOW_MEMORY_GROWTH=1 -sINITIAL_MEMORY=33554432
  -sFORCE_FILESYSTEM=1
  "-sEXPORTED_RUNTIME_METHODS=[FS,UTF8ToString]")
