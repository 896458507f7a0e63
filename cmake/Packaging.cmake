# Installation extras and packages. `cmake --install` puts parlino, the
# module and parlino.h in the usual folders (their rules sit beside their
# targets: on Windows parlino.exe in bin, Parlino.dll in lib, where the
# installed parlino.exe finds it, parlino.h in include); this adds the
# documents and the example publications and host. CPack makes the ZIP for
# Windows users, with a README of its own at the top, and a .tar.gz and a
# .deb on Linux.
# The guides of the packages; the Windows ZIP takes the host's guide in its
# Windows form, under the same name.
set(user_guides docs/authors-guide.md docs/host.md docs/publications.md)
set(windows_guides docs/authors-guide.md=authors-guide docs/host-windows.md=host docs/publications.md=publications)
file(GLOB user_pictures RELATIVE ${PROJECT_SOURCE_DIR} ${PROJECT_SOURCE_DIR}/docs/*.png)
if(WIN32)
    # What a Windows user opens with a double click, made from the Markdown
    # sources at build time by pandoc: README.txt and CHANGELOG.txt as plain
    # text for Notepad (at most 78 columns: pandoc draws tables three columns
    # wider than the text; CR LF), the guides as web pages with
    # their pictures inside them and their links leading to each other.
    find_program(PARLINO_PANDOC pandoc REQUIRED)
    set(package_documents ${CMAKE_BINARY_DIR}/package-documents)
    set(package_filter ${PROJECT_SOURCE_DIR}/cmake/package_documents.lua)
    set(package_style ${PROJECT_SOURCE_DIR}/cmake/package_pages.css)
    set(package_texts)
    foreach(pair README-Windows.md=README.txt CHANGELOG.md=CHANGELOG.txt)
        string(REPLACE "=" ";" pair ${pair})
        list(GET pair 0 source)
        list(GET pair 1 text)
        # Pandoc's own Markdown, for its tables: cells wrap to the width.
        add_custom_command(OUTPUT ${package_documents}/${text}
            COMMAND ${PARLINO_PANDOC} --from markdown+gfm_auto_identifiers-smart --to plain
                    --columns=75 --eol=crlf --lua-filter=${package_filter}
                    --output ${package_documents}/${text} ${PROJECT_SOURCE_DIR}/${source}
            DEPENDS ${PROJECT_SOURCE_DIR}/${source} ${package_filter}
            COMMENT "Writing ${text} for the Windows package")
        list(APPEND package_texts ${package_documents}/${text})
    endforeach()
    set(package_pages)
    foreach(pair ${windows_guides})
        string(REPLACE "=" ";" pair ${pair})
        list(GET pair 0 guide)
        list(GET pair 1 name)
        # GitHub's Markdown, as the sources are written for it.
        add_custom_command(OUTPUT ${package_documents}/docs/${name}.html
            COMMAND ${CMAKE_COMMAND} -E make_directory ${package_documents}/docs
            COMMAND ${PARLINO_PANDOC} --from gfm --to html5 --standalone --self-contained --eol=crlf
                    --metadata lang=en --css=${package_style}
                    --resource-path=${PROJECT_SOURCE_DIR}/docs --lua-filter=${package_filter}
                    --output ${package_documents}/docs/${name}.html ${PROJECT_SOURCE_DIR}/${guide}
            DEPENDS ${PROJECT_SOURCE_DIR}/${guide} ${user_pictures} ${package_filter} ${package_style}
            COMMENT "Writing docs/${name}.html for the Windows package")
        list(APPEND package_pages ${package_documents}/docs/${name}.html)
    endforeach()
    add_custom_target(parlino_package_documents ALL DEPENDS ${package_texts} ${package_pages})
    # The licence as it stands, with Notepad's line ends.
    file(READ ${PROJECT_SOURCE_DIR}/LICENSE licence)
    file(CONFIGURE OUTPUT ${package_documents}/LICENSE.txt CONTENT "${licence}" @ONLY NEWLINE_STYLE CRLF)
    set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/LICENSE)
    install(FILES ${package_texts} ${package_documents}/LICENSE.txt DESTINATION .)
    install(FILES ${package_pages} DESTINATION docs)
    # The examples and the header with Notepad's line ends too (Notepad
    # before Windows 10 shows a file with LF ends as one long line).
    file(GLOB examples RELATIVE ${PROJECT_SOURCE_DIR} ${PROJECT_SOURCE_DIR}/examples/[a-z]*.txt
        ${PROJECT_SOURCE_DIR}/examples/*.c)
    foreach(source plugin/parlino.h ${examples})
        file(READ ${PROJECT_SOURCE_DIR}/${source} text)
        string(REPLACE "\r\n" "\n" text "${text}")
        string(REPLACE "\n" "\r\n" text "${text}")
        file(WRITE ${package_documents}/${source} "${text}")
        set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/${source})
    endforeach()
    install(FILES ${package_documents}/plugin/parlino.h DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
    install(DIRECTORY ${package_documents}/examples/ DESTINATION examples)
    set(CPACK_GENERATOR ZIP)
    set(CPACK_SYSTEM_NAME win32)
    # The files at the top of the ZIP: Explorer's "Extract All" makes the
    # folder Parlino-VERSION-win32 itself, with README.txt straight inside.
    set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY OFF)
else()
    # The tarball and the .deb keep the Markdown: the users' guides with
    # the pictures beside them, and a README for the installed program (the
    # source tree's and the developers' guides stay with the source).
    install(FILES README-Linux.md DESTINATION ${CMAKE_INSTALL_DOCDIR} RENAME README.md)
    install(FILES README-Windows.md LICENSE CHANGELOG.md DESTINATION ${CMAKE_INSTALL_DOCDIR})
    foreach(guide ${user_guides} ${user_pictures})
        install(FILES ${PROJECT_SOURCE_DIR}/${guide} DESTINATION ${CMAKE_INSTALL_DOCDIR}/docs)
    endforeach()
    install(FILES plugin/parlino.h DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
    install(DIRECTORY ${PROJECT_SOURCE_DIR}/examples/ DESTINATION ${CMAKE_INSTALL_DOCDIR}/examples
        FILES_MATCHING PATTERN "[a-z]*.txt" PATTERN "*.c")
    set(CPACK_GENERATOR TGZ DEB)
    set(CPACK_SYSTEM_NAME ${CMAKE_SYSTEM_NAME})
endif()

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
set(CPACK_PROJECT_CONFIG_FILE ${PROJECT_SOURCE_DIR}/cmake/package_kind.cmake)
include(CPack)
