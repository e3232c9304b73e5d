// make_bench_picture KIND OUT.bmp: writes one of the comparison's generated
// pictures as a 24-bit BMP, the same bytes on every run and every machine.
//   noise      6000 x 4000 uniform noise (about 12.8 million colours)
//   shuffled   4096 x 4096, every colour once, scattered
//   ordered    4096 x 4096, every colour once, in key order
#include "bmp_builder.h"
#include "pictures.h"

#include <cstdio>
#include <cstring>

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: make_bench_picture noise|shuffled|ordered OUT.bmp\n");
        return 2;
    }
    constexpr std::uint32_t kSeed = 22;
    testsupport::Picture picture;
    if (std::strcmp(argv[1], "noise") == 0) {
        picture = testsupport::noise(6000, 4000, kSeed);
    } else if (std::strcmp(argv[1], "shuffled") == 0) {
        picture = testsupport::distinctColors(4096, 4096, false, kSeed);
    } else if (std::strcmp(argv[1], "ordered") == 0) {
        picture = testsupport::distinctColors(4096, 4096, true);
    } else {
        std::fprintf(stderr, "make_bench_picture: unknown kind %s\n", argv[1]);
        return 2;
    }
    testsupport::writeFile(argv[2], testsupport::bmp24(picture));
    return 0;
}
