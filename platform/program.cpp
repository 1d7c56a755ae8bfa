#include "platform/program.h"

#include "product.h"

const char kProgramName[] = SORVAGENTA_NAME;
const char kWebSiteHost[] = SORVAGENTA_WEB_HOST;
HINSTANCE hInstance;
