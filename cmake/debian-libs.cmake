# zlib, libpng and giflib compiled from Debian's sources of the versions the
# native zevart tool links (scripts/debian-sources fetches them into
# build/debian-src/), for the builds that have no such libraries of their own:
# the Windows cross builds (Debian has no MinGW builds of them) and the web
# viewer's WebAssembly module. Static libraries, also known by the names their
# find modules give them: ZLIB::ZLIB, PNG::PNG, GIF::GIF.
set(ZEVART_DEBIAN_SOURCES ${PROJECT_SOURCE_DIR}/build/debian-src CACHE PATH
    "Debian's sources of zlib, libpng and giflib (scripts/debian-sources)")
set(zlib_dir ${ZEVART_DEBIAN_SOURCES}/zlib)
set(png_dir ${ZEVART_DEBIAN_SOURCES}/libpng1.6)
set(gif_dir ${ZEVART_DEBIAN_SOURCES}/giflib)
foreach(dir ${zlib_dir} ${png_dir} ${gif_dir})
  if(NOT EXISTS ${dir})
    message(FATAL_ERROR "${dir} is missing: scripts/debian-sources (run by scripts/setup) fetches Debian's sources")
  endif()
endforeach()

# The libraries as their own builds compile them, without their warnings.
add_library(debian_zlib STATIC
  ${zlib_dir}/adler32.c ${zlib_dir}/compress.c ${zlib_dir}/crc32.c ${zlib_dir}/deflate.c
  ${zlib_dir}/inffast.c ${zlib_dir}/inflate.c ${zlib_dir}/inftrees.c ${zlib_dir}/trees.c
  ${zlib_dir}/uncompr.c ${zlib_dir}/zutil.c)
target_include_directories(debian_zlib PUBLIC ${zlib_dir})
target_compile_options(debian_zlib PRIVATE -w)

set(png_conf ${CMAKE_BINARY_DIR}/debian-libs/png)
configure_file(${png_dir}/scripts/pnglibconf.h.prebuilt ${png_conf}/pnglibconf.h COPYONLY)
add_library(debian_png STATIC
  ${png_dir}/png.c ${png_dir}/pngerror.c ${png_dir}/pngget.c ${png_dir}/pngmem.c
  ${png_dir}/pngset.c ${png_dir}/pngtrans.c ${png_dir}/pngwio.c ${png_dir}/pngwrite.c
  ${png_dir}/pngwtran.c ${png_dir}/pngwutil.c ${png_dir}/pngread.c ${png_dir}/pngrio.c
  ${png_dir}/pngrtran.c ${png_dir}/pngrutil.c ${png_dir}/pngpread.c)
target_include_directories(debian_png PUBLIC ${png_dir} ${png_conf})
target_link_libraries(debian_png PUBLIC debian_zlib)
target_compile_options(debian_png PRIVATE -w)

add_library(debian_gif STATIC
  ${gif_dir}/dgif_lib.c ${gif_dir}/egif_lib.c ${gif_dir}/gif_err.c ${gif_dir}/gif_hash.c
  ${gif_dir}/gifalloc.c ${gif_dir}/quantize.c ${gif_dir}/openbsd-reallocarray.c)
target_include_directories(debian_gif PUBLIC ${gif_dir})
target_compile_options(debian_gif PRIVATE -w)

add_library(ZLIB::ZLIB ALIAS debian_zlib)
add_library(PNG::PNG ALIAS debian_png)
add_library(GIF::GIF ALIAS debian_gif)
