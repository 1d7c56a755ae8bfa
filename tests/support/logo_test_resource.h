// Resource ids of the logo tests' own resources.
#pragma once

#define IDD_LOGO_TEST 3000
