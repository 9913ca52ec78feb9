# Install layout and the helper that builds and installs a program of the project.
#
# Every folder below is relative to the install prefix, so an installed tree works from any
# prefix and under any DESTDIR, and can be moved whole:
#
#   ${CMAKE_INSTALL_BINDIR}          the programs (tarvenik, ...) and their demo launchers
#   ${TARVENIK_INSTALL_PRIVATEDIR}   the real module pair, libhidsvc.so and libsetupsvc.so
#   ${TARVENIK_INSTALL_DEMODIR}      the programs again, beside the virtual module pair
#   ${TARVENIK_INSTALL_UDEVRULESDIR} the udev rule that opens the unit to the logged-in user
#
# The HID code looks for the modules beside the program file first, then through the dynamic
# loader (docs/hid-modules.md). A program in bin carries a RUNPATH relative to $ORIGIN that names
# the private folder, so the loader's search finds the real pair there; a demo copy finds the
# virtual pair beside itself, and the virtual libhidsvc.so finds its libsetupsvc.so through its
# own $ORIGIN.
# On Windows the tree is one folder: the programs at its top, the demo in demo\ beside them; the
# HID modules are the system's.
if(WIN32)
  set(CMAKE_INSTALL_BINDIR "." CACHE PATH "Folder of the programs, relative to the install prefix")
  set(TARVENIK_INSTALL_PRIVATEDIR "." CACHE STRING "Unused on Windows: the system's modules")
  set(TARVENIK_INSTALL_DEMODIR "demo" CACHE STRING
      "Folder of the demo programs and the virtual module pair, relative to the install prefix")
  # Each program carries an icon, a version record and a manifest (windres).
  enable_language(RC)
endif()
include(GNUInstallDirs)

set(TARVENIK_INSTALL_PRIVATEDIR "${CMAKE_INSTALL_LIBDIR}/tarvenik" CACHE STRING
    "Folder of the real HID module pair, relative to the install prefix")
set(TARVENIK_INSTALL_DEMODIR "${TARVENIK_INSTALL_PRIVATEDIR}/demo" CACHE STRING
    "Folder of the demo programs and the virtual module pair, relative to the install prefix")
# udev reads /usr/lib/udev/rules.d (and /etc/udev/rules.d); under another prefix the rule lands
# where udev does not look, and packaging/README.md says how to put it in place.
set(TARVENIK_INSTALL_UDEVRULESDIR "lib/udev/rules.d" CACHE STRING
    "Folder of the udev rule, relative to the install prefix")

foreach(folder CMAKE_INSTALL_BINDIR TARVENIK_INSTALL_PRIVATEDIR TARVENIK_INSTALL_DEMODIR
               TARVENIK_INSTALL_UDEVRULESDIR)
  if(IS_ABSOLUTE "${${folder}}")
    message(FATAL_ERROR "${folder} must be relative to the install prefix "
                        "(the installed programs find their modules relative to themselves)")
  endif()
endforeach()

# Every program of tarvenik_add_program with its demo copy: what `make install` builds, besides
# the icons, before it installs.
add_custom_target(programs)

# tarvenik_path_from_bin(<out var> <folder>): <folder>, relative to the prefix, as seen from
# ${CMAKE_INSTALL_BINDIR}.
function(tarvenik_path_from_bin out folder)
  file(RELATIVE_PATH relative "/prefix/${CMAKE_INSTALL_BINDIR}" "/prefix/${folder}")
  set(${out} "${relative}" PARENT_SCOPE)
endfunction()

# The Windows programs' icons, the panel's and (orange) the demo copies', rendered from the SVGs
# by rsvg-convert and packed by icotool (Debian: librsvg2-bin, icoutils); one target, for the
# resource files of every program.
if(WIN32)
  find_program(RSVG_CONVERT rsvg-convert REQUIRED)
  find_program(TARVENIK_ICOTOOL icotool REQUIRED)
  set(TARVENIK_WINDOWS_ICON ${CMAKE_BINARY_DIR}/windows-icon/tarvenik.ico)
  set(TARVENIK_WINDOWS_DEMO_ICON ${CMAKE_BINARY_DIR}/windows-icon/tarvenik-demo.ico)
  foreach(icon tarvenik tarvenik-demo)
    set(svg ${PROJECT_SOURCE_DIR}/packaging/icons/${icon}.svg)
    set(icon_pngs)
    foreach(size 16 24 32 48 64 256)
      set(png ${CMAKE_BINARY_DIR}/windows-icon/${icon}-${size}.png)
      add_custom_command(OUTPUT ${png}
        COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/windows-icon
        COMMAND ${RSVG_CONVERT} -w ${size} -h ${size} -o ${png} ${svg}
        DEPENDS ${svg}
        VERBATIM)
      list(APPEND icon_pngs ${png})
    endforeach()
    # The largest size is kept as PNG inside the icon, as Windows expects it.
    list(POP_BACK icon_pngs largest)
    set(ico ${CMAKE_BINARY_DIR}/windows-icon/${icon}.ico)
    add_custom_command(OUTPUT ${ico}
      COMMAND ${TARVENIK_ICOTOOL} -c -o ${ico} ${icon_pngs} -r ${largest}
      DEPENDS ${icon_pngs} ${largest}
      VERBATIM)
    list(APPEND icons ${ico})
  endforeach()
  add_custom_target(windows_icon DEPENDS ${icons})
endif()

# tarvenik_windows_resource(<target> <name> <description> <icon>): the icon, version record and
# manifest of a Windows program.
function(tarvenik_windows_resource target name description icon)
  if(NOT WIN32)
    return()
  endif()
  set(TARVENIK_RC_NAME ${name})
  set(TARVENIK_RC_FILE ${name}.exe)
  set(TARVENIK_RC_DESCRIPTION "${description}")
  set(TARVENIK_RC_ICON ${icon})
  set(TARVENIK_RC_MANIFEST ${PROJECT_SOURCE_DIR}/packaging/windows/tarvenik.manifest)
  set(TARVENIK_RC_VERSION_COMMAS
      "${PROJECT_VERSION_MAJOR},${PROJECT_VERSION_MINOR},0,0")
  set(rc ${CMAKE_BINARY_DIR}/windows-resources/${target}.rc)
  configure_file(${PROJECT_SOURCE_DIR}/cmake/windows-program.rc.in ${rc} @ONLY)
  target_sources(${target} PRIVATE ${rc})
  set_source_files_properties(${rc} TARGET_DIRECTORY ${target} PROPERTIES
    OBJECT_DEPENDS "${icon};${TARVENIK_RC_MANIFEST}")
  add_dependencies(${target} windows_icon)
endfunction()

# tarvenik_add_program(<name> SOURCES ... [LIBS ...] [DEMO_COMMAND <command>] [GUI]
#                      [DESCRIPTION <text>])
#
# A program that talks to the unit through the module pair, built twice from one set of objects:
#   <name>        in bin/ of the build tree, beside the real pair; installed into
#                 ${CMAKE_INSTALL_BINDIR}, with a RUNPATH that finds the real pair in
#                 ${TARVENIK_INSTALL_PRIVATEDIR}.
#   <name>_demo   the same program, file name <name>, in demo/ of the build tree beside the
#                 virtual pair; installed into ${TARVENIK_INSTALL_DEMODIR}, where the virtual
#                 pair is installed too.
# Each executable gets its own unit::DemoEdition() (unit/Edition.h), true in the demo copy.
# DEMO_COMMAND installs a launcher of that name into ${CMAKE_INSTALL_BINDIR} that starts the demo
# copy from wherever the tree was installed. GUI makes a window program on Windows (no console
# beside it); DESCRIPTION names it in its Windows version record.
function(tarvenik_add_program name)
  cmake_parse_arguments(P "GUI" "DEMO_COMMAND;DESCRIPTION" "SOURCES;LIBS" ${ARGN})
  add_library(${name}_objects OBJECT ${P_SOURCES})
  target_link_libraries(${name}_objects PUBLIC ${P_LIBS})
  set_target_properties(${name}_objects PROPERTIES AUTOMOC ON)

  tarvenik_path_from_bin(to_private "${TARVENIK_INSTALL_PRIVATEDIR}")
  foreach(edition real demo)
    set(TARVENIK_EDITION_PROGRAM ${name})
    if(edition STREQUAL "demo")
      set(TARVENIK_EDITION_DEMO true)
    else()
      set(TARVENIK_EDITION_DEMO false)
    endif()
    configure_file(${PROJECT_SOURCE_DIR}/cmake/edition.cpp.in
                   ${CMAKE_BINARY_DIR}/editions/${name}_${edition}.cpp @ONLY)
  endforeach()

  add_executable(${name} ${CMAKE_BINARY_DIR}/editions/${name}_real.cpp)
  target_link_libraries(${name} PRIVATE ${name}_objects)
  set_target_properties(${name} PROPERTIES WIN32_EXECUTABLE ${P_GUI})
  tarvenik_windows_resource(${name} ${name} "${P_DESCRIPTION}" "${TARVENIK_WINDOWS_ICON}")
  # Linked with the installed RUNPATH already: otherwise CMake pads the build tree's RUNPATH
  # with empty entries to make room for it, and glibc searches an empty entry as the current
  # folder, for the program's libraries and for the modules alike. In the build tree the
  # named folder does not exist, and the modules beside the program are found first.
  set_target_properties(${name} PROPERTIES
    RUNTIME_OUTPUT_DIRECTORY ${TARVENIK_BIN_DIR}
    INSTALL_RPATH "$ORIGIN/${to_private}"
    BUILD_WITH_INSTALL_RPATH ON)
  add_dependencies(${name} real_modules)
  install(TARGETS ${name} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  add_dependencies(programs ${name})

  # The demo's virtual pair is built for Linux only so far.
  if(NOT TARGET demo_modules)
    return()
  endif()
  add_executable(${name}_demo ${CMAKE_BINARY_DIR}/editions/${name}_demo.cpp)
  target_link_libraries(${name}_demo PRIVATE ${name}_objects)
  tarvenik_windows_resource(${name}_demo ${name} "${P_DESCRIPTION} (demo)"
                            "${TARVENIK_WINDOWS_DEMO_ICON}")
  set_target_properties(${name}_demo PROPERTIES
    WIN32_EXECUTABLE ${P_GUI}
    OUTPUT_NAME ${name}
    RUNTIME_OUTPUT_DIRECTORY ${TARVENIK_DEMO_DIR})
  add_dependencies(${name}_demo demo_modules)
  install(TARGETS ${name}_demo RUNTIME DESTINATION ${TARVENIK_INSTALL_DEMODIR})
  add_dependencies(programs ${name}_demo)

  if(P_DEMO_COMMAND AND NOT WIN32)
    tarvenik_path_from_bin(TARVENIK_DEMO_FROM_BIN "${TARVENIK_INSTALL_DEMODIR}")
    set(TARVENIK_DEMO_PROGRAM ${name})
    set(launcher ${CMAKE_BINARY_DIR}/launchers/${P_DEMO_COMMAND})
    configure_file(${PROJECT_SOURCE_DIR}/cmake/demo-launcher.sh.in ${launcher} @ONLY)
    install(PROGRAMS ${launcher} DESTINATION ${CMAKE_INSTALL_BINDIR})
  endif()
endfunction()

# tarvenik_install_man(<page>): installs a manual page into section 1 with the date of its .TH
# line taken from the newest entry of debian/changelog, so that every page carries the date of
# the release it describes. Windows has no man pages: there the page becomes doc/<name>.html
# (mandoc, Debian: mandoc), which the help texts and the Start menu name; the demo launchers'
# pages describe Linux commands and are left out.
function(tarvenik_install_man page)
  get_filename_component(name ${page} NAME)
  if(WIN32 AND name MATCHES "-demo\\.1$")
    return()
  endif()
  set(changelog ${PROJECT_SOURCE_DIR}/debian/changelog)
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${changelog} ${page})
  file(STRINGS ${changelog} trailers REGEX "^ -- .*  [A-Z][a-z][a-z], [0-9]+ [A-Z][a-z][a-z] [0-9]+")
  list(GET trailers 0 newest)
  string(REGEX MATCH ", ([0-9]+) ([A-Z][a-z][a-z]) ([0-9]+)" _ "${newest}")
  set(months Jan Feb Mar Apr May Jun Jul Aug Sep Oct Nov Dec)
  list(FIND months "${CMAKE_MATCH_2}" month)
  if(month LESS 0)
    message(FATAL_ERROR "no date in the newest entry of ${changelog}")
  endif()
  math(EXPR month "${month} + 1")
  set(day ${CMAKE_MATCH_1})
  string(LENGTH "${day}" day_digits)
  if(day_digits EQUAL 1)
    set(day "0${day}")
  endif()
  if(month LESS 10)
    set(month "0${month}")
  endif()
  set(date "${CMAKE_MATCH_3}-${month}-${day}")

  file(READ ${page} text)
  string(REGEX REPLACE "\n\\.TH ([^ \n]+) ([0-9]) (\"[^\"\n]*\"|[^ \n]+)" "\n.TH \\1 \\2 ${date}"
         text "\n${text}")
  string(SUBSTRING "${text}" 1 -1 text)
  set(dated ${CMAKE_BINARY_DIR}/man/${name})
  file(WRITE ${dated}.new "${text}")
  file(COPY_FILE ${dated}.new ${dated} ONLY_IF_DIFFERENT)
  file(REMOVE ${dated}.new)
  if(NOT WIN32)
    install(FILES ${dated} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
    return()
  endif()
  # The page's Windows parts (the register windows, 0 in the source); its name line without the
  # demo launcher, a Linux command (a condition there would defeat the whatis parsers).
  string(REGEX REPLACE "\n\\.nr windows 0\n" "\n.nr windows 1\n" text "${text}")
  string(REGEX REPLACE "\n\\.SH NAME\n([^,\n]+), [^ \n]+ " "\n.SH NAME\n\\1 " text "${text}")
  file(WRITE ${dated}.windows.new "${text}")
  file(COPY_FILE ${dated}.windows.new ${dated}.windows ONLY_IF_DIFFERENT)
  file(REMOVE ${dated}.windows.new)
  set(dated ${dated}.windows)
  find_program(TARVENIK_MANDOC mandoc REQUIRED)
  get_filename_component(stem ${page} NAME_WE)
  set(html ${CMAKE_BINARY_DIR}/doc/${stem}.html)
  add_custom_command(OUTPUT ${html}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/doc
    COMMAND ${TARVENIK_MANDOC} -Thtml -Ios=Tarvenik ${dated} > ${html}
    DEPENDS ${dated}
    VERBATIM)
  add_custom_target(manual_${stem} ALL DEPENDS ${html})
  add_dependencies(programs manual_${stem})
  install(FILES ${html} DESTINATION doc)
endfunction()
