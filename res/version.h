// The program's version as the Version box shows it.
#pragma once

#define SORVAGENTA_VERSION_TEXT "1.0.0.1"
