#include "app/program.h"

const char kProgramName[] = "Sorvagenta";
const char kWebSiteHost[] = "www.brindlewox.example";
HINSTANCE hInstance;
