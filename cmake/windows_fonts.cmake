# The Windows build draws with the rasteriser and the font files the Linux build uses, so that
# zelmo-render.exe's sheets equal zelmo-render's bit for bit: Debian's FreeType source, built
# with mingw-w64 and linked in, and the fonts as files in the folder fonts beside each program
# that draws (unchanged and apart from the program: URW's are AGPL with a font exception).
set(ZELMO_FREETYPE_SOURCE ${CMAKE_BINARY_DIR}/freetype-source CACHE PATH
  "Debian's FreeType source, unpacked by cmake/freetype_source.sh")
if(NOT EXISTS ${ZELMO_FREETYPE_SOURCE}/include/freetype/freetype.h)
  execute_process(COMMAND ${CMAKE_SOURCE_DIR}/cmake/freetype_source.sh ${ZELMO_FREETYPE_SOURCE}
    RESULT_VARIABLE unpacked)
  if(NOT unpacked EQUAL 0)
    message(FATAL_ERROR "FreeType's source could not be had from Debian into ${ZELMO_FREETYPE_SOURCE}")
  endif()
endif()
# Only what the fonts need: no PNG glyphs, no shaping. Its gzip module keeps a copy of zlib of
# its own unless given one: the static zlib the PDF writer links, so that one copy is linked in.
foreach(option FT_DISABLE_BZIP2 FT_DISABLE_PNG FT_DISABLE_HARFBUZZ FT_DISABLE_BROTLI)
  set(${option} ON CACHE BOOL "" FORCE)
endforeach()
set(FT_DISABLE_ZLIB OFF CACHE BOOL "" FORCE)
find_library(ZELMO_ZLIB_STATIC NAMES libz.a REQUIRED)
set(ZLIB_LIBRARY ${ZELMO_ZLIB_STATIC} CACHE FILEPATH "" FORCE)
set(SKIP_INSTALL_ALL ON)
add_subdirectory(${ZELMO_FREETYPE_SOURCE} freetype EXCLUDE_FROM_ALL)
# Its code is its maintainers': our warnings are not its errors.
target_compile_options(freetype PRIVATE -w)
target_link_libraries(zelmo_core PRIVATE freetype)

# The same files as platform/outline_fonts.cpp opens on Linux, from the same packages
# (fonts-urw-base35, fonts-dejavu-core); Liberation is only Linux's stand-in for missing URW.
set(ZELMO_FONT_DIR /usr/share/fonts CACHE PATH "Where Debian's font packages put their files")
set(ZELMO_FONT_FILES "")
foreach(family NimbusMonoPS NimbusRoman NimbusSans)
  foreach(style Regular Bold Italic BoldItalic)
    list(APPEND ZELMO_FONT_FILES ${ZELMO_FONT_DIR}/opentype/urw-base35/${family}-${style}.otf)
  endforeach()
endforeach()
list(APPEND ZELMO_FONT_FILES ${ZELMO_FONT_DIR}/truetype/dejavu/DejaVuSansMono.ttf)
foreach(font ${ZELMO_FONT_FILES})
  if(NOT EXISTS ${font})
    message(FATAL_ERROR "${font} missing: install fonts-urw-base35 and fonts-dejavu-core")
  endif()
endforeach()
# The folders of the programs that draw sheets: zelmo-render.exe, the tests, Zelmo.exe.
set(copies "")
foreach(folder tools tests shell/win32)
  set(fonts ${CMAKE_BINARY_DIR}/${folder}/fonts)
  foreach(font ${ZELMO_FONT_FILES})
    get_filename_component(name ${font} NAME)
    add_custom_command(OUTPUT ${fonts}/${name}
      COMMAND ${CMAKE_COMMAND} -E make_directory ${fonts}
      COMMAND ${CMAKE_COMMAND} -E copy ${font} ${fonts}/${name}
      DEPENDS ${font})
    list(APPEND copies ${fonts}/${name})
  endforeach()
endforeach()
add_custom_target(zelmo_fonts ALL DEPENDS ${copies})
add_dependencies(zelmo_core zelmo_fonts)
