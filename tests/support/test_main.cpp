// Entry point of every test program.
#include <fcntl.h>
#include <io.h>
#include <stdio.h>
#include <string.h>
#include <windows.h>

#include <gtest/gtest.h>

int main(int argc, char** argv) {
    // Plain line ends through pipes, so ctest reads test names without a trailing CR.
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);
    testing::InitGoogleTest(&argc, argv);
    // Settings for this run, given as --env=NAME=VALUE (ctest passes them as arguments: a
    // test's ENVIRONMENT property keeps only the first of a list through test discovery).
    for (int i = 1; i < argc; ++i) {
        char* equals = strncmp(argv[i], "--env=", 6) == 0 ? strchr(argv[i] + 6, '=') : NULL;
        if (equals) {
            *equals = '\0';
            SetEnvironmentVariableA(argv[i] + 6, equals + 1);
        }
    }
    return RUN_ALL_TESTS();
}
