# Link rules of the msvc-abi build (cmake/clang-cl-wine.cmake): the linker itself embeds each
# program's manifest (/MANIFEST:EMBED), as a Visual Studio project does, instead of CMake's
# wrapper leaving a side-by-side file, which it does off Windows. So a resource script's own
# manifest meets the linker's here just as it would under Visual Studio.
foreach(lang C CXX)
    foreach(rule LINK_EXECUTABLE CREATE_SHARED_LIBRARY CREATE_SHARED_MODULE)
        string(REPLACE "${_CMAKE_VS_LINK_EXE}" "" CMAKE_${lang}_${rule} "${CMAKE_${lang}_${rule}}")
        string(REPLACE "${_CMAKE_VS_LINK_DLL}" "" CMAKE_${lang}_${rule} "${CMAKE_${lang}_${rule}}")
    endforeach()
endforeach()
