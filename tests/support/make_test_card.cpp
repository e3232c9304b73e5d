// Writes the bundled test card: make_test_card OUT.bmp [WIDTH HEIGHT]
#include "bmp_builder.h"
#include "pictures.h"

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
    if (argc != 2 && argc != 4) {
        std::fprintf(stderr, "usage: make_test_card OUT.bmp [WIDTH HEIGHT]\n");
        return 2;
    }
    const int width = argc == 4 ? std::atoi(argv[2]) : 320;
    const int height = argc == 4 ? std::atoi(argv[3]) : 240;
    testsupport::writeFile(argv[1], testsupport::bmp24(testsupport::testCard(width, height)));
    return 0;
}
