// The product's name, its maker and the maker's web site, written by CMake from the project's
// facts in CMakeLists.txt (edit them there, not in res/product.h): the program's texts and
// the version resources take them from here. Each is one literal, as a resource compiler
// takes it in a dialog's caption.
#pragma once

#define SORVAGENTA_NAME "Sorvagenta"
#define SORVAGENTA_MAKER "Brindlewox"
#define SORVAGENTA_ABOUT_CAPTION "Brindlewox About"
#define SORVAGENTA_DESCRIPTION "Simple memory-watching tray utility"
#define SORVAGENTA_WEB_HOST "www.brindlewox.example"
#define SORVAGENTA_WEB_ADDRESS "https://www.brindlewox.example/"
#define SORVAGENTA_COPYRIGHT "Copyright (C) Brindlewox."
// The shipped files' names, which their version blocks give.
#define SORVAGENTA_PROGRAM_FILE "Sorvagenta.exe"
#define SORVAGENTA_LIBRARY_FILE "Tamsprock.dll"
