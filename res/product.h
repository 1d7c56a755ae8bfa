// The product's name, its maker and the maker's web site, in one place: the program's texts,
// the version blocks, the installer (given them by the build) and the release manifests all
// take them from here. Each is one string, or strings and facts above it side by side, so the
// build and the release scripts can read them as well as the compilers.
#pragma once

#define SORVAGENTA_NAME "Sorvagenta"
#define SORVAGENTA_MAKER "Brindlewox"
// The About box's caption names the maker. A resource compiler takes one literal there, so it
// is written out whole, beside the maker's name.
#define SORVAGENTA_ABOUT_CAPTION "Brindlewox About"
#define SORVAGENTA_DESCRIPTION "Simple memory-watching tray utility"
#define SORVAGENTA_WEB_HOST "www.brindlewox.example"
#define SORVAGENTA_WEB_ADDRESS "https://www.brindlewox.example/"
#define SORVAGENTA_COPYRIGHT "Copyright (C) " SORVAGENTA_MAKER "."
