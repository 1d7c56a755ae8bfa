# What follows from the product's facts (project() and the variables beside it, in
# CMakeLists.txt), derived here once, and the files that hand them on.

# The version block and the version text spell out four numbers.
if(NOT PROJECT_VERSION MATCHES "^[0-9]+\\.[0-9]+\\.[0-9]+\\.[0-9]+$")
    message(FATAL_ERROR "project() needs a VERSION of four numbers, such as 1.0.0.1: "
        "${PROJECT_VERSION}")
endif()

# The Details dialog's menu names the web site by its host.
string(REGEX REPLACE "^[a-z]+://([^/:]+).*$" "\\1" SORVAGENTA_WEB_HOST "${PROJECT_HOMEPAGE_URL}")

# The shipped files: the program and the library it imports, side by side in the zip's one
# folder and in the install folder.
set(SORVAGENTA_PROGRAM ${PROJECT_NAME}.exe)
set(SORVAGENTA_LIBRARY Tamsprock.dll)
set(SORVAGENTA_FILES ${SORVAGENTA_PROGRAM} ${SORVAGENTA_LIBRARY})
set(SORVAGENTA_ZIP_FOLDER ${PROJECT_NAME})
set(SORVAGENTA_ZIP_NAME ${PROJECT_NAME}-${PROJECT_VERSION}-win64.zip)
set(SORVAGENTA_SETUP_NAME ${PROJECT_NAME}-${PROJECT_VERSION}-setup.exe)
# A name of our own: a folder may already hold another program's Uninstall.exe.
set(SORVAGENTA_UNINSTALLER "Uninstall ${PROJECT_NAME}.exe")
# The default install folder, below the user's local application data (%LOCALAPPDATA%).
set(SORVAGENTA_INSTALL_FOLDER "Programs\\${PROJECT_NAME}")

# res/version.h and res/product.h, for the program, its resource scripts, the tests and the
# benchmarks. They are written into the tree and kept in git, as the icons are, so that a
# resource compiler given only the scripts' folders (as Visual Studio's is) finds them.
# configure_file rewrites them only when a fact here changes; commit them then
# (GeneratedHeadersAreCommitted says so).
configure_file(${PROJECT_SOURCE_DIR}/res/version.h.in ${PROJECT_SOURCE_DIR}/res/version.h @ONLY)
configure_file(${PROJECT_SOURCE_DIR}/res/product.h.in ${PROJECT_SOURCE_DIR}/res/product.h @ONLY)

# release.json: the same facts for the release tools (tools/release/), which are given its path.
function(sorvagenta_json_text out text)
    string(REPLACE "\\" "\\\\" text "${text}")
    string(REPLACE "\"" "\\\"" text "${text}")
    set(${out} "\"${text}\"" PARENT_SCOPE)
endfunction()
set(json "{}")
foreach(pair name:PROJECT_NAME maker:SORVAGENTA_MAKER version:PROJECT_VERSION
        description:PROJECT_DESCRIPTION web_address:PROJECT_HOMEPAGE_URL
        copyright:SORVAGENTA_COPYRIGHT program:SORVAGENTA_PROGRAM library:SORVAGENTA_LIBRARY
        zip:SORVAGENTA_ZIP_NAME zip_folder:SORVAGENTA_ZIP_FOLDER setup:SORVAGENTA_SETUP_NAME
        uninstaller:SORVAGENTA_UNINSTALLER install_folder:SORVAGENTA_INSTALL_FOLDER)
    string(REPLACE ":" ";" pair "${pair}")
    list(GET pair 0 key)
    list(GET pair 1 variable)
    sorvagenta_json_text(value "${${variable}}")
    string(JSON json SET "${json}" ${key} "${value}")
endforeach()
set(files "[]")
set(files_length 0)
foreach(file IN LISTS SORVAGENTA_FILES)
    sorvagenta_json_text(value "${file}")
    string(JSON files SET "${files}" ${files_length} "${value}")
    string(JSON files_length LENGTH "${files}")
endforeach()
string(JSON json SET "${json}" files "${files}")
set(SORVAGENTA_RELEASE_FACTS ${PROJECT_BINARY_DIR}/release.json)
file(CONFIGURE OUTPUT ${SORVAGENTA_RELEASE_FACTS} CONTENT "${json}\n" @ONLY)
