# Installation extras and packages. `cmake --install` puts parlino, the
# module and parlino.h in the usual folders (their rules sit beside their
# targets: on Windows parlino.exe in bin, Parlino.dll in lib, where the
# installed parlino.exe finds it, parlino.h in include); this adds the
# documents and the example publications. CPack makes the ZIP for Windows
# users, with a README of its own at the top, and a .tar.gz and a .deb on
# Linux.
# Users' guides go into both packages; the Linux one, whose README links
# to the developers' documents too, gets every document of docs/.
set(user_guides docs/authors-guide.md docs/host.md docs/publications.md)
file(GLOB user_pictures RELATIVE ${PROJECT_SOURCE_DIR} ${PROJECT_SOURCE_DIR}/docs/*.png)
if(WIN32)
    # Text files that Notepad opens with a double click.
    install(FILES ${PROJECT_SOURCE_DIR}/README-Windows.md DESTINATION . RENAME README.txt)
    install(FILES ${PROJECT_SOURCE_DIR}/LICENSE DESTINATION . RENAME LICENSE.txt)
    install(FILES ${PROJECT_SOURCE_DIR}/CHANGELOG.md DESTINATION . RENAME CHANGELOG.txt)
    set(PARLINO_EXAMPLES_FOLDER examples)
    set(PARLINO_GUIDES_FOLDER docs)
    set(CPACK_GENERATOR ZIP)
    set(CPACK_SYSTEM_NAME win32)
else()
    install(FILES README.md README-Windows.md LICENSE CHANGELOG.md DESTINATION ${CMAKE_INSTALL_DOCDIR})
    file(GLOB user_guides RELATIVE ${PROJECT_SOURCE_DIR} ${PROJECT_SOURCE_DIR}/docs/*.md)
    set(PARLINO_EXAMPLES_FOLDER ${CMAKE_INSTALL_DOCDIR}/examples)
    set(PARLINO_GUIDES_FOLDER ${CMAKE_INSTALL_DOCDIR}/docs)
    set(CPACK_GENERATOR TGZ DEB)
    set(CPACK_SYSTEM_NAME ${CMAKE_SYSTEM_NAME})
endif()
foreach(guide ${user_guides} ${user_pictures})
    install(FILES ${PROJECT_SOURCE_DIR}/${guide} DESTINATION ${PARLINO_GUIDES_FOLDER} OPTIONAL)
endforeach()
install(DIRECTORY ${PROJECT_SOURCE_DIR}/examples/ DESTINATION ${PARLINO_EXAMPLES_FOLDER} FILES_MATCHING PATTERN "*.pub" PATTERN "*.c")

set(CPACK_PACKAGE_NAME Parlino)
set(CPACK_PACKAGE_VENDOR "The Parlino authors")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${PROJECT_DESCRIPTION} and its reference host")
set(CPACK_PACKAGE_FILE_NAME Parlino-${PROJECT_VERSION}-${CPACK_SYSTEM_NAME})
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR}/packages)
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_STRIP_FILES ON)
# The .deb: parlino_VERSION_ARCH.deb, installed under /usr, its library
# dependencies worked out by dpkg-shlibdeps.
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_NAME parlino)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "The Parlino authors")
set(CPACK_DEBIAN_PACKAGE_SECTION net)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
include(CPack)
