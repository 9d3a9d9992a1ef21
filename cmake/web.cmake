# The WebAssembly build, configured with emcmake (make web): the program for the page (and the
# site around it), and the same program in stream mode for Node (the smoke test).
#
# The games block (Sleep, _getch, number reads, "pause") and a page must not: ASYNCIFY turns
# every wait into an unwind of the program's stack to the page's event loop and a rewind when
# it is over. It instruments every function that may be on the stack then, and counts every
# indirect call as one that may wait; asyncify-remove.txt names the functions that make such
# calls but never wait (the text path's and the key state's virtual calls, the C library's
# printf, operator new's handler), which keeps the games' drawing code out of the
# instrumentation. Exceptions: Exit unwinds the games to the one place that catches it
# (con::run_attached, by its mangled name; it is never put inline); catching is compiled in there
# alone, since every function that may catch pays a call through JavaScript for each call it
# makes.
set(GAMEBOX_BROWSER ${CMAKE_SOURCE_DIR}/src/console/backends/browser)
set(GAMEBOX_CATCH
    "-sEXCEPTION_CATCHING_ALLOWED=[_ZN3con12run_attachedERNS_7BackendERKNSt3__28functionIFivEEEPNS_8ObserverE]")

target_compile_options(gamebox_lib PUBLIC -flto ${GAMEBOX_CATCH})

set(GAMEBOX_WASM_LINK
    -flto
    ${GAMEBOX_CATCH}
    -sASYNCIFY
    "-sASYNCIFY_IMPORTS=[gamebox_page_wait]"
    -sASYNCIFY_REMOVE=@${GAMEBOX_BROWSER}/asyncify-remove.txt
    -sALLOW_MEMORY_GROWTH
    "SHELL:--js-library ${GAMEBOX_BROWSER}/library_browser.js"
    "SHELL:--js-library ${CMAKE_SOURCE_DIR}/src/console/backends/stream/library_node.js")
set(GAMEBOX_WASM_DEPENDS
    ${GAMEBOX_BROWSER}/library_browser.js ${GAMEBOX_BROWSER}/asyncify-remove.txt
    ${CMAKE_SOURCE_DIR}/src/console/backends/stream/library_node.js)

add_executable(gamebox_page src/launcher/main_web.cpp)
target_link_libraries(gamebox_page PRIVATE gamebox_lib)
set_target_properties(gamebox_page PROPERTIES OUTPUT_NAME gamebox SUFFIX .js
                                              LINK_DEPENDS "${GAMEBOX_WASM_DEPENDS}")
target_link_options(gamebox_page PRIVATE ${GAMEBOX_WASM_LINK} -sENVIRONMENT=web -sMODULARIZE
                    -sEXPORT_NAME=createGamebox -sEXIT_RUNTIME)

add_executable(gamebox_node src/launcher/main_web.cpp)
target_link_libraries(gamebox_node PRIVATE gamebox_lib)
set_target_properties(gamebox_node PROPERTIES OUTPUT_NAME gamebox-node SUFFIX .js
                                              LINK_DEPENDS "${GAMEBOX_WASM_DEPENDS}")
target_link_options(gamebox_node PRIVATE ${GAMEBOX_WASM_LINK} -sENVIRONMENT=node -sEXIT_RUNTIME
                    -sWASM_ASYNC_COMPILATION=0)

# The site: build-web/site/ with the page, the program, the terminal and the font.
set(GAMEBOX_SITE ${CMAKE_BINARY_DIR}/site)
set(GAMEBOX_WEB ${CMAKE_SOURCE_DIR}/web)
set(GAMEBOX_XTERM ${GAMEBOX_WEB}/node_modules/@xterm/xterm)
if(NOT EXISTS ${GAMEBOX_XTERM}/lib/xterm.mjs)
  message(FATAL_ERROR "No xterm.js in ${GAMEBOX_WEB}/node_modules: run 'npm ci' in web/ (make web does)")
endif()
file(GLOB_RECURSE GAMEBOX_TEXTS CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/src/*.cpp
     ${CMAKE_SOURCE_DIR}/src/*.hpp)

add_custom_command(
  OUTPUT ${GAMEBOX_SITE}/gamebox.js
  COMMAND ${CMAKE_COMMAND} -DXTERM=${GAMEBOX_XTERM}/lib/xterm.mjs
          -DGLUE=$<TARGET_FILE:gamebox_page> -DPAGE=${GAMEBOX_WEB}/page.js
          -DOUT=${GAMEBOX_SITE}/gamebox.js -P ${CMAKE_SOURCE_DIR}/cmake/web_bundle.cmake
  DEPENDS gamebox_page ${GAMEBOX_WEB}/page.js ${GAMEBOX_XTERM}/lib/xterm.mjs
          ${CMAKE_SOURCE_DIR}/cmake/web_bundle.cmake
  COMMENT "Joining xterm.js, the program's glue and the page script")
add_custom_command(
  OUTPUT ${GAMEBOX_SITE}/gamebox.wasm
  COMMAND ${CMAKE_COMMAND} -E copy $<TARGET_FILE_DIR:gamebox_page>/gamebox.wasm
          ${GAMEBOX_SITE}/gamebox.wasm
  DEPENDS gamebox_page)
add_custom_command(
  OUTPUT ${GAMEBOX_SITE}/gamebox.css
  COMMAND ${CMAKE_COMMAND} -E cat ${GAMEBOX_XTERM}/css/xterm.css ${GAMEBOX_WEB}/page.css
          > ${GAMEBOX_SITE}/gamebox.css
  DEPENDS ${GAMEBOX_XTERM}/css/xterm.css ${GAMEBOX_WEB}/page.css)
add_custom_command(
  OUTPUT ${GAMEBOX_SITE}/index.html
  COMMAND ${CMAKE_COMMAND} -E copy ${GAMEBOX_WEB}/index.html ${GAMEBOX_SITE}/index.html
  DEPENDS ${GAMEBOX_WEB}/index.html)
# Debian's python3: it has fontTools and brotli (a python3 of one's own may have neither).
add_custom_command(
  OUTPUT ${GAMEBOX_SITE}/gamebox.woff2
  COMMAND /usr/bin/python3 ${CMAKE_SOURCE_DIR}/tools/web_font.py ${CMAKE_SOURCE_DIR}/src
          ${GAMEBOX_SITE}/gamebox.woff2
  DEPENDS ${CMAKE_SOURCE_DIR}/tools/web_font.py ${GAMEBOX_TEXTS}
  COMMENT "The font: the glyphs of the program's texts")
# The same site in one file, build-web/gamebox.html, that plays opened from disk.
set(GAMEBOX_SITE_FILES ${GAMEBOX_SITE}/gamebox.js ${GAMEBOX_SITE}/gamebox.wasm
                       ${GAMEBOX_SITE}/gamebox.css ${GAMEBOX_SITE}/index.html ${GAMEBOX_SITE}/gamebox.woff2)
add_custom_command(
  OUTPUT ${CMAKE_BINARY_DIR}/gamebox.html
  COMMAND /usr/bin/python3 ${CMAKE_SOURCE_DIR}/tools/web_single.py ${GAMEBOX_SITE}
          ${CMAKE_BINARY_DIR}/gamebox.html
  DEPENDS ${CMAKE_SOURCE_DIR}/tools/web_single.py ${GAMEBOX_SITE_FILES}
  COMMENT "The site in one file")
add_custom_target(site ALL DEPENDS ${GAMEBOX_SITE_FILES} ${CMAKE_BINARY_DIR}/gamebox.html)

# The benchmark's page (make bench): the same page around a program that moves the parkour game
# on to its final stage, with the page's side of the timing joined to the page script.
set(GAMEBOX_BENCH_WEB ${CMAKE_SOURCE_DIR}/bench/web)
set(GAMEBOX_BENCH_SITE ${CMAKE_BINARY_DIR}/bench)
add_executable(gamebox_bench EXCLUDE_FROM_ALL ${GAMEBOX_BENCH_WEB}/parkour_stage.cpp)
target_link_libraries(gamebox_bench PRIVATE gamebox_lib)
set_target_properties(gamebox_bench PROPERTIES OUTPUT_NAME gamebox-bench SUFFIX .js
                      LINK_DEPENDS "${GAMEBOX_WASM_DEPENDS};${GAMEBOX_BENCH_WEB}/library_bench.js")
target_link_options(gamebox_bench PRIVATE ${GAMEBOX_WASM_LINK} -sENVIRONMENT=web -sMODULARIZE
                    -sEXPORT_NAME=createGamebox -sEXIT_RUNTIME
                    "SHELL:--js-library ${GAMEBOX_BENCH_WEB}/library_bench.js")
add_custom_command(
  OUTPUT ${GAMEBOX_BENCH_SITE}/gamebox.js
  COMMAND ${CMAKE_COMMAND} -DXTERM=${GAMEBOX_XTERM}/lib/xterm.mjs
          -DGLUE=$<TARGET_FILE:gamebox_bench>
          "-DPAGE=${GAMEBOX_WEB}/page.js|${GAMEBOX_BENCH_WEB}/page_bench.js"
          -DOUT=${GAMEBOX_BENCH_SITE}/gamebox.js -P ${CMAKE_SOURCE_DIR}/cmake/web_bundle.cmake
  COMMAND ${CMAKE_COMMAND} -E copy $<TARGET_FILE_DIR:gamebox_bench>/gamebox-bench.wasm
          ${GAMEBOX_BENCH_SITE}/gamebox.wasm
  COMMAND ${CMAKE_COMMAND} -E copy ${GAMEBOX_SITE}/index.html ${GAMEBOX_SITE}/gamebox.css
          ${GAMEBOX_SITE}/gamebox.woff2 ${GAMEBOX_BENCH_SITE}/
  DEPENDS gamebox_bench site ${GAMEBOX_WEB}/page.js ${GAMEBOX_BENCH_WEB}/page_bench.js
          ${CMAKE_SOURCE_DIR}/cmake/web_bundle.cmake
  COMMENT "The benchmark's page"
  VERBATIM)

# parkour_boss_bench itself, built as the page's program is, for a page that only runs it and
# prints its figures (page_bench.mjs compares them with the native build's).
add_executable(parkour_boss_bench_web EXCLUDE_FROM_ALL ${CMAKE_SOURCE_DIR}/bench/parkour_boss_bench.cpp
               ${GAMEBOX_BENCH_WEB}/keep_browser.cpp)
target_link_libraries(parkour_boss_bench_web PRIVATE gamebox_lib)
set_target_properties(parkour_boss_bench_web PROPERTIES OUTPUT_NAME boss SUFFIX .js
                      RUNTIME_OUTPUT_DIRECTORY ${GAMEBOX_BENCH_SITE}
                      LINK_DEPENDS "${GAMEBOX_WASM_DEPENDS}")
target_link_options(parkour_boss_bench_web PRIVATE ${GAMEBOX_WASM_LINK} -sENVIRONMENT=web)
add_custom_command(
  OUTPUT ${GAMEBOX_BENCH_SITE}/boss.html
  COMMAND ${CMAKE_COMMAND} -E copy ${GAMEBOX_BENCH_WEB}/boss.html ${GAMEBOX_BENCH_SITE}/boss.html
  DEPENDS parkour_boss_bench_web ${GAMEBOX_BENCH_WEB}/boss.html)
add_custom_target(bench_pages DEPENDS ${GAMEBOX_BENCH_SITE}/gamebox.js ${GAMEBOX_BENCH_SITE}/boss.html)
