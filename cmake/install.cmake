# Installing the game box. `cmake --install build --prefix DIR` gives a tree that runs from
# anywhere: bin/gamebox, share/man/man6/gamebox.6.gz and share/doc/gamebox/. `make deb` packs
# the same tree with CPack's DEB generator, configured with CMAKE_INSTALL_BINDIR=games as
# Debian wants its games in /usr/games.
include(GNUInstallDirs)

set(GAMEBOX_MAINTAINER
    "Seed 9fba2bd9 maintainers <maintainers@users.noreply.c-seed-9fba2bd9.example>"
    CACHE STRING "Name and address of the package's maintainer")

# Installed directories are 755 whatever the umask of whoever builds the package.
set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

# The debug information names the sources relative to the tree, so no path of the build
# machine ends up in the installed program.
if(NOT MSVC)
  foreach(target gamebox_lib gamebox)
    target_compile_options(${target} PRIVATE "-ffile-prefix-map=${CMAKE_SOURCE_DIR}=."
                                             "-ffile-prefix-map=${CMAKE_BINARY_DIR}=.")
  endforeach()
endif()

install(TARGETS gamebox RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
# A stripped program (`--strip`, and the package) also loses the compiler's notes, as Debian's
# own packaging tools do it.
if(CMAKE_STRIP AND NOT WIN32)
  install(CODE "if(CMAKE_INSTALL_DO_STRIP)
    execute_process(COMMAND \"${CMAKE_STRIP}\" --remove-section=.comment --remove-section=.note
      \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/gamebox\")
  endif()")
endif()
# The package keeps the game in games/ as Debian wants it, with a link in bin/ so that the
# command is on every PATH, root's too (root's PATH has no /usr/games).
if(CMAKE_INSTALL_BINDIR STREQUAL "games" AND NOT WIN32)
  install(CODE "file(MAKE_DIRECTORY \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/bin\")
    file(CREATE_LINK ../games/gamebox \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/bin/gamebox\"
      SYMBOLIC)")
endif()
install(FILES ${CMAKE_SOURCE_DIR}/README.md ${CMAKE_SOURCE_DIR}/dist/copyright
        DESTINATION ${CMAKE_INSTALL_DOCDIR})

if(NOT WIN32)
  # The newest changelog entry gives the manual page its date; its version must be ours.
  file(STRINGS ${CMAKE_SOURCE_DIR}/dist/changelog gamebox_changelog_top LIMIT_COUNT 1)
  if(NOT gamebox_changelog_top MATCHES "^gamebox \\(${PROJECT_VERSION}\\) ")
    message(WARNING "dist/changelog starts with '${gamebox_changelog_top}', "
                    "not with an entry for ${PROJECT_VERSION}")
  endif()
  file(STRINGS ${CMAKE_SOURCE_DIR}/dist/changelog gamebox_signoff REGEX "^ -- " LIMIT_COUNT 1)
  if(gamebox_signoff MATCHES ", ([0-9][0-9]) ([A-Z][a-z][a-z]) ([0-9][0-9][0-9][0-9]) ")
    set(gamebox_months Jan Feb Mar Apr May Jun Jul Aug Sep Oct Nov Dec)
    list(FIND gamebox_months "${CMAKE_MATCH_2}" gamebox_month)
    math(EXPR gamebox_month "${gamebox_month} + 1" OUTPUT_FORMAT DECIMAL)
    if(gamebox_month LESS 10)
      set(gamebox_month "0${gamebox_month}")
    endif()
    set(GAMEBOX_DATE "${CMAKE_MATCH_3}-${gamebox_month}-${CMAKE_MATCH_1}")
  else()
    message(FATAL_ERROR "dist/changelog: no sign-off line with a date")
  endif()

  configure_file(${CMAKE_SOURCE_DIR}/dist/gamebox.6.in ${CMAKE_BINARY_DIR}/doc/gamebox.6 @ONLY)
  configure_file(${CMAKE_SOURCE_DIR}/dist/changelog ${CMAKE_BINARY_DIR}/doc/changelog COPYONLY)
  # Debian wants both gzipped at the highest level, without a name or time stamp inside. They
  # are made when CMake runs, so even a build of the program alone can be installed.
  find_program(GAMEBOX_GZIP gzip)
  set(gamebox_man ${CMAKE_BINARY_DIR}/doc/gamebox.6)
  set(gamebox_changelog ${CMAKE_BINARY_DIR}/doc/changelog)
  if(GAMEBOX_GZIP)
    execute_process(COMMAND ${GAMEBOX_GZIP} -9nkf gamebox.6 changelog
                    WORKING_DIRECTORY ${CMAKE_BINARY_DIR}/doc RESULT_VARIABLE gamebox_gzip_rc)
    if(NOT gamebox_gzip_rc EQUAL 0)
      message(FATAL_ERROR "gzip of the manual page and the changelog failed: ${gamebox_gzip_rc}")
    endif()
    string(APPEND gamebox_man .gz)
    string(APPEND gamebox_changelog .gz)
  endif()
  install(FILES ${gamebox_man} DESTINATION ${CMAKE_INSTALL_MANDIR}/man6)
  install(FILES ${gamebox_changelog} DESTINATION ${CMAKE_INSTALL_DOCDIR})

  # The installed tree and its manual page, checked from a temporary prefix. Not in the
  # sanitizer build: it is never installed, and its checks carry the sources' full paths.
  if(GAMEBOX_TESTS AND NOT CMAKE_CROSSCOMPILING AND NOT GAMEBOX_SANITIZE)
    enable_testing()
    foreach(name tree man_page)
      add_test(NAME install.${name}
               COMMAND bash ${CMAKE_SOURCE_DIR}/tests/install/${name}_test.sh ${CMAKE_COMMAND}
                       ${CMAKE_BINARY_DIR} ${CMAKE_SOURCE_DIR} $<CONFIG> ${PROJECT_VERSION})
      set_tests_properties(install.${name} PROPERTIES TIMEOUT 120 SKIP_RETURN_CODE 77)
    endforeach()
  endif()
endif()

set(CPACK_PACKAGE_NAME gamebox)
set(CPACK_PACKAGE_VENDOR "the gamebox maintainers")
set(CPACK_PACKAGE_CONTACT "${GAMEBOX_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "terminal game box with snake, parkour and a killer game")
string(CONCAT CPACK_PACKAGE_DESCRIPTION
    "A launcher menu in a frame of asterisks offers three games, all drawn as text\n"
    "with sixteen colours and played from the keyboard:\n"
    " - a snake game on a framed board;\n"
    " - a side-scrolling parkour game with monster waves, three bosses, powers\n"
    "   and talents;\n"
    " - a 15-seat killer party game against fourteen computer players.\n"
    "The games' texts are in Chinese. The terminal needs 120 x 30 cells, UTF-8\n"
    "or a GBK locale, and a font with CJK glyphs. Held arrow keys are exact in\n"
    "terminals with the kitty keyboard protocol and inferred elsewhere.")
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION games)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
if(NOT WIN32)
  set(CPACK_GENERATOR DEB)
endif()
include(CPack)
