# The image libraries and AGG's rasterizer headers, as the same imported targets in every build:
#   vorlo::jpeg  libjpeg-turbo (the libjpeg 6b interface)
#   vorlo::png   libpng 1.6 (brings zlib)
#   vorlo::tiff  libtiff 4 (brings vorlo::jpeg and zlib)
#   vorlo::agg   AGG 2 headers, used header-only: `#include "agg_rasterizer_scanline_aa.h"`
# The native build takes Debian's -dev packages; the Windows builds link the static libraries that
# scripts/setup cross-builds from Debian's source packages into build/third_party/<triple>/.
# Included from the top-level CMakeLists.txt after find_package(ZLIB).

set(VORLO_AGG_HEADERS /usr/include/agg2)
if(NOT EXISTS ${VORLO_AGG_HEADERS}/agg_basics.h)
  message(FATAL_ERROR "AGG headers are missing (Debian libagg-dev): run scripts/setup")
endif()

if(VORLO_WINDOWS)
  set(VORLO_THIRD_PARTY_DIR ${PROJECT_SOURCE_DIR}/build/third_party/${VORLO_MINGW_TRIPLE}
      CACHE PATH "The cross-built image libraries for this Windows target (made by scripts/setup)")
  set(tp ${VORLO_THIRD_PARTY_DIR})
  foreach(file lib/libjpeg.a lib/libpng.a lib/libtiff.a include/jpeglib.h include/png.h include/tiffio.h)
    if(NOT EXISTS ${tp}/${file})
      message(FATAL_ERROR "${tp}/${file} is missing: run scripts/setup (it cross-builds libjpeg-turbo, "
                          "libpng and libtiff for ${VORLO_MINGW_TRIPLE})")
    endif()
  endforeach()
  add_library(vorlo::jpeg STATIC IMPORTED GLOBAL)
  set_target_properties(vorlo::jpeg PROPERTIES IMPORTED_LOCATION ${tp}/lib/libjpeg.a
                        INTERFACE_INCLUDE_DIRECTORIES ${tp}/include)
  add_library(vorlo::png STATIC IMPORTED GLOBAL)
  set_target_properties(vorlo::png PROPERTIES IMPORTED_LOCATION ${tp}/lib/libpng.a
                        INTERFACE_INCLUDE_DIRECTORIES ${tp}/include
                        INTERFACE_LINK_LIBRARIES ZLIB::ZLIB)
  add_library(vorlo::tiff STATIC IMPORTED GLOBAL)
  set_target_properties(vorlo::tiff PROPERTIES IMPORTED_LOCATION ${tp}/lib/libtiff.a
                        INTERFACE_INCLUDE_DIRECTORIES ${tp}/include
                        INTERFACE_LINK_LIBRARIES "vorlo::jpeg;ZLIB::ZLIB")

  # AGG's headers reach the cross compiler through a folder of links of its own, as Boost's do:
  # adding /usr/include/agg2 itself is fine, but a folder of ours keeps the rule simple (no
  # directory of the Linux system is ever on the Windows include path).
  set(agg_dir ${CMAKE_BINARY_DIR}/third_party/agg2)
  file(GLOB_RECURSE agg_headers RELATIVE ${VORLO_AGG_HEADERS} ${VORLO_AGG_HEADERS}/*.h)
  foreach(header ${agg_headers})
    get_filename_component(sub ${header} DIRECTORY)
    file(MAKE_DIRECTORY ${agg_dir}/${sub})
    if(NOT EXISTS ${agg_dir}/${header})
      file(CREATE_LINK ${VORLO_AGG_HEADERS}/${header} ${agg_dir}/${header} SYMBOLIC)
    endif()
  endforeach()
else()
  find_package(JPEG REQUIRED)
  find_package(PNG REQUIRED)
  find_package(TIFF REQUIRED)
  add_library(vorlo::jpeg INTERFACE IMPORTED GLOBAL)
  target_link_libraries(vorlo::jpeg INTERFACE JPEG::JPEG)
  add_library(vorlo::png INTERFACE IMPORTED GLOBAL)
  target_link_libraries(vorlo::png INTERFACE PNG::PNG)
  add_library(vorlo::tiff INTERFACE IMPORTED GLOBAL)
  target_link_libraries(vorlo::tiff INTERFACE TIFF::TIFF)
  set(agg_dir ${VORLO_AGG_HEADERS})
endif()

# Header-only by decision: the four compiled files of AGG (affine matrix, curves, stroker, arcs) are
# the project's own code, so nothing here links AGG's library.
add_library(vorlo::agg INTERFACE IMPORTED GLOBAL)
set_target_properties(vorlo::agg PROPERTIES INTERFACE_INCLUDE_DIRECTORIES ${agg_dir})
