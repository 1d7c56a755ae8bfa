#include "app/program.h"

const char kProgramName[] = "Sorvagenta";
HINSTANCE hInstance;
