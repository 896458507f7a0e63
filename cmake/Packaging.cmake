# Installation extras and packages. `cmake --install` puts parlino, the
# module and parlino.h in the usual folders (their rules sit beside their
# targets); this adds the README and the example publications. CPack makes
# a ZIP for Windows (Parlino.dll and parlino.exe in bin, parlino.h in
# include, the README at the top) and a .tar.gz on Linux.
if(WIN32)
    set(PARLINO_DOC_FOLDER .)
    set(PARLINO_EXAMPLES_FOLDER examples)
    set(CPACK_GENERATOR ZIP)
    set(CPACK_SYSTEM_NAME win32)
else()
    set(PARLINO_DOC_FOLDER ${CMAKE_INSTALL_DOCDIR})
    set(PARLINO_EXAMPLES_FOLDER ${CMAKE_INSTALL_DOCDIR}/examples)
    set(CPACK_GENERATOR TGZ)
endif()
install(FILES ${PROJECT_SOURCE_DIR}/README.md DESTINATION ${PARLINO_DOC_FOLDER})
install(DIRECTORY ${PROJECT_SOURCE_DIR}/examples/ DESTINATION ${PARLINO_EXAMPLES_FOLDER} FILES_MATCHING PATTERN "*.pub")

set(CPACK_PACKAGE_NAME Parlino)
set(CPACK_PACKAGE_VENDOR Parlino)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${PROJECT_DESCRIPTION} and its reference host")
set(CPACK_PACKAGE_FILE_NAME Parlino-${PROJECT_VERSION}-${CPACK_SYSTEM_NAME})
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR}/packages)
set(CPACK_STRIP_FILES ON)
include(CPack)
