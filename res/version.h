// The program's version, written by CMake from the project's version in CMakeLists.txt (edit
// it there, not in res/version.h): the version resources and the Details dialog's Version
// command read it.
#pragma once

#define SORVAGENTA_VERSION_MAJOR 1
#define SORVAGENTA_VERSION_MINOR 0
#define SORVAGENTA_VERSION_PATCH 0
#define SORVAGENTA_VERSION_BUILD 1
#define SORVAGENTA_VERSION_TEXT "1.0.0.1"
