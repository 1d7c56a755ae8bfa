# An MSVC-style build on a Linux host, to check the Visual Studio build here: clang-cl,
# llvm-rc and lld-link, which follow cl.exe, rc.exe and link.exe, over Wine's headers and PE
# import libraries (Debian: clang, lld, llvm, libwine-dev) in place of the Windows SDK. The
# project takes its if(MSVC) branch. The MSVC runtime is not here: the few lines of
# msvc_runtime_standin.c stand in for its start-up. Nothing built this way ships.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR AMD64)

set(LLVM_HINTS /usr/lib/llvm-14/bin /usr/lib/llvm-15/bin /usr/lib/llvm-16/bin)
find_program(CLANG_CL NAMES clang-cl clang-cl-14 HINTS ${LLVM_HINTS} REQUIRED)
find_program(LLVM_RC NAMES llvm-rc llvm-rc-14 HINTS ${LLVM_HINTS} REQUIRED)
find_program(LLD_LINK NAMES lld-link lld-link-14 HINTS ${LLVM_HINTS} REQUIRED)
find_program(LLVM_LIB NAMES llvm-lib llvm-lib-14 HINTS ${LLVM_HINTS} REQUIRED)
find_program(LLVM_MT NAMES llvm-mt llvm-mt-14 HINTS ${LLVM_HINTS} REQUIRED)
set(CMAKE_C_COMPILER ${CLANG_CL})
set(CMAKE_CXX_COMPILER ${CLANG_CL})
set(CMAKE_RC_COMPILER ${LLVM_RC})
set(CMAKE_LINKER ${LLD_LINK})
set(CMAKE_AR ${LLVM_LIB})
set(CMAKE_MT ${LLVM_MT})
set(CMAKE_C_COMPILER_TARGET x86_64-pc-windows-msvc)
set(CMAKE_CXX_COMPILER_TARGET x86_64-pc-windows-msvc)

# Wine's C runtime and Windows headers stand in for the SDK's; the GL headers come from
# mingw-w64's, given a folder of their own so nothing else of mingw-w64 is seen.
set(WINE_INCLUDE /usr/include/wine/wine)
set(WINE_PE_LIBS /usr/lib/x86_64-linux-gnu/wine/x86_64-windows)
foreach(required ${WINE_INCLUDE}/windows/windows.h ${WINE_PE_LIBS}/libucrtbase.a
        /usr/share/mingw-w64/include/GL/gl.h)
    if(NOT EXISTS ${required})
        message(FATAL_ERROR "${required} is missing: bash scripts/setup-debian.sh installs it")
    endif()
endforeach()
set(MSVC_ABI_SDK ${CMAKE_BINARY_DIR}/msvc-abi-sdk)
file(MAKE_DIRECTORY ${MSVC_ABI_SDK}/include ${MSVC_ABI_SDK}/lib)
file(CREATE_LINK /usr/share/mingw-w64/include/GL ${MSVC_ABI_SDK}/include/GL SYMBOLIC)
# link.exe names import libraries user32.lib; Wine's are libuser32.a, in the same format.
file(GLOB WINE_IMPORT_LIBS ${WINE_PE_LIBS}/lib*.a)
foreach(archive ${WINE_IMPORT_LIBS})
    get_filename_component(name ${archive} NAME_WE)
    string(REGEX REPLACE "^lib" "" name ${name})
    file(CREATE_LINK ${archive} ${MSVC_ABI_SDK}/lib/${name}.lib SYMBOLIC)
endforeach()

# WINE_UNICODE_NATIVE: wchar_t is the 16-bit WCHAR, as under MSVC. clang has a built-in of
# the name Wine's headers declare _InterlockedCompareExchange128 with.
set(MSVC_ABI_FLAGS "-imsvc ${WINE_INCLUDE}/msvcrt -imsvc ${WINE_INCLUDE}/windows \
-imsvc ${MSVC_ABI_SDK}/include /DWINE_UNICODE_NATIVE \
/D_InterlockedCompareExchange128=WineInterlockedCompareExchange128")
# /WX: the product compiles at the project's /W4 without a warning, and a new one fails the check.
set(CMAKE_C_FLAGS_INIT "${MSVC_ABI_FLAGS} /WX")
set(CMAKE_CXX_FLAGS_INIT "${MSVC_ABI_FLAGS} /WX")
set(CMAKE_RC_FLAGS_INIT "-I ${WINE_INCLUDE}/windows")
# The runtime's libraries that the objects ask for are not here; the stand-in names ucrtbase.
foreach(kind EXE SHARED MODULE)
    set(CMAKE_${kind}_LINKER_FLAGS_INIT "/libpath:${MSVC_ABI_SDK}/lib /MANIFEST:EMBED /nodefaultlib:libcmt \
/nodefaultlib:libcmtd /nodefaultlib:oldnames")
endforeach()
set(CMAKE_USER_MAKE_RULES_OVERRIDE ${CMAKE_CURRENT_LIST_DIR}/clang-cl-wine-link.cmake)
# The compilers' checks link no program: without the stand-in nothing has an entry point.
set(CMAKE_TRY_COMPILE_TARGET_TYPE STATIC_LIBRARY)
set(SORVAGENTA_RUNTIME_STANDIN ${CMAKE_CURRENT_LIST_DIR}/msvc_runtime_standin.c)
