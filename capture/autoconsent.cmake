# The consent-dialog rule library, fetched once per build folder with `npm pack` at a pinned version and
# checked against its checksum; its content script and compact rules are built into bildoro_capture as
# resources (:/consent/...), its licence is installed with the package.
set(BILDORO_AUTOCONSENT_VERSION 16.23.0)
set(BILDORO_AUTOCONSENT_SHA256 b61907d0cae6f1f26679533c9951fe56573ca8038e12addfee5cb3f58de5fccc)
set(autoconsent_dir ${CMAKE_BINARY_DIR}/autoconsent)
set(autoconsent_tgz ${autoconsent_dir}/duckduckgo-autoconsent-${BILDORO_AUTOCONSENT_VERSION}.tgz)
if(NOT EXISTS ${autoconsent_tgz})
  find_program(NPM_PROGRAM npm)
  if(NOT NPM_PROGRAM)
    message(FATAL_ERROR "npm is needed to fetch @duckduckgo/autoconsent ${BILDORO_AUTOCONSENT_VERSION} "
                        "(apt-get install npm, or ./dev.sh build), or place the file that "
                        "'npm pack @duckduckgo/autoconsent@${BILDORO_AUTOCONSENT_VERSION}' writes at "
                        "${autoconsent_tgz}")
  endif()
  file(MAKE_DIRECTORY ${autoconsent_dir})
  execute_process(COMMAND ${NPM_PROGRAM} pack --silent @duckduckgo/autoconsent@${BILDORO_AUTOCONSENT_VERSION}
                  WORKING_DIRECTORY ${autoconsent_dir} RESULT_VARIABLE npm_result ERROR_VARIABLE npm_error
                  OUTPUT_QUIET)
  if(NOT npm_result EQUAL 0 OR NOT EXISTS ${autoconsent_tgz})
    message(FATAL_ERROR "npm pack @duckduckgo/autoconsent@${BILDORO_AUTOCONSENT_VERSION} failed: ${npm_error}\n"
                        "Without access to the npm registry: on a machine that has it, run\n"
                        "  npm pack @duckduckgo/autoconsent@${BILDORO_AUTOCONSENT_VERSION}\n"
                        "and copy the file it writes to ${autoconsent_tgz}, then configure again "
                        "(a proxy is taken from npm's own settings: npm config set proxy URL).")
  endif()
endif()
file(SHA256 ${autoconsent_tgz} autoconsent_sha256)
if(NOT autoconsent_sha256 STREQUAL BILDORO_AUTOCONSENT_SHA256)
  file(REMOVE ${autoconsent_tgz})
  message(FATAL_ERROR "${autoconsent_tgz} has the checksum ${autoconsent_sha256}, expected "
                      "${BILDORO_AUTOCONSENT_SHA256}; the file was removed")
endif()

file(ARCHIVE_EXTRACT INPUT ${autoconsent_tgz} DESTINATION ${autoconsent_dir}/unpacked
     PATTERNS package/dist/autoconsent.playwright.js package/rules/compact-rules.json package/LICENSE)
set(BILDORO_AUTOCONSENT_LICENSE ${autoconsent_dir}/unpacked/package/LICENSE CACHE INTERNAL "")
qt_add_resources(bildoro_capture autoconsent PREFIX /consent BASE ${autoconsent_dir}/unpacked/package
                 FILES ${autoconsent_dir}/unpacked/package/dist/autoconsent.playwright.js
                       ${autoconsent_dir}/unpacked/package/rules/compact-rules.json)
