// The program's version, in one place: the version resource and the Details dialog's
// Version command both read it. The text must spell out the four numbers.
#pragma once

#define SORVAGENTA_VERSION_MAJOR 1
#define SORVAGENTA_VERSION_MINOR 0
#define SORVAGENTA_VERSION_PATCH 0
#define SORVAGENTA_VERSION_BUILD 1
#define SORVAGENTA_VERSION_TEXT "1.0.0.1"
