# parlino_version_resource(TARGET DESCRIPTION dll|exe) gives a Windows
# binary a VERSIONINFO resource: product name, file and product version
# (the project's), description, copyright and original file name, which
# Explorer shows in the file's properties and installers compare.
function(parlino_version_resource target description kind)
    if(kind STREQUAL "dll")
        set(PARLINO_RC_FILE_TYPE 2) # VFT_DLL
        set(PARLINO_RC_ORIGINAL_NAME ${target}.dll)
    else()
        set(PARLINO_RC_FILE_TYPE 1) # VFT_APP
        set(PARLINO_RC_ORIGINAL_NAME ${target}.exe)
    endif()
    set(PARLINO_RC_DESCRIPTION "${description}")
    set(resource ${CMAKE_CURRENT_BINARY_DIR}/${target}_version.rc)
    configure_file(${PROJECT_SOURCE_DIR}/cmake/version.rc.in ${resource} @ONLY)
    target_sources(${target} PRIVATE ${resource})
endfunction()
