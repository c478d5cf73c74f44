// Writes the cursor fuzzer's seeds into the directory given: small .ico, .cur and .ani files of every
// entry kind the reader knows, made with the cursor suite's builder, so no binary seed is committed.
#include "curfiles.h"

#include <cstdio>
#include <fstream>
#include <string>

using namespace testsupport::cur;

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: curfile_seeds DIRECTORY\n");
        return 2;
    }
    const std::string dir = argv[1];
    int failures = 0;
    auto write = [&](const std::string& name, const Bytes& bytes) {
        std::ofstream out(dir + "/" + name, std::ios::binary);
        out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        failures += !out;
    };
    const std::vector<std::uint32_t> grey16 = {0x000000, 0x800000, 0x008000, 0x808000, 0x000080, 0x800080,
                                               0x008080, 0xC0C0C0, 0x808080, 0xFF0000, 0x00FF00, 0xFFFF00,
                                               0x0000FF, 0xFF00FF, 0x00FFFF, 0xFFFFFF};
    const std::vector<std::uint8_t> mask = {0, 1, 1, 0, 0, 0, 1, 0, 1};
    const std::vector<std::uint32_t> pixels = {0, 1, 2, 3, 4, 5, 6, 7, 8};
    const std::vector<std::uint32_t> argb = {0xFFFF0000, 0x80FF0000, 0,          0x01020304, 0xFFFFFFFF,
                                             0x7F00FF00, 0xFF0000FF, 0x10101010, 0xC0C0C0C0};
    write("mono.cur",
          Directory(kCursor,
                    {Entry{Dib{3, 3, 1, {0x000000, 0xFFFFFF}, {1, 0, 1, 0, 1, 0, 1, 0, 1}, mask}.Build(), 1, 1}}));
    write("4bit.ico", Directory(kIcon, {Entry{Dib{3, 3, 4, grey16, pixels, mask}.Build()}}));
    write("8bit.ico", Directory(kIcon, {Entry{Dib{3, 3, 8, grey16, pixels, mask, true, 16}.Build()}}));
    write("16bit.ico", Directory(kIcon, {Entry{Dib{3, 3, 16, {}, {0x7C00, 0x03E0, 0x001F, 0x7FFF}, mask}.Build()}}));
    write("24bit.cur", Directory(kCursor, {Entry{Dib{3, 3, 24, {}, argb, mask}.Build(), 2, 0}}));
    write("32bit-mask.ico", Directory(kIcon, {Entry{Dib{3, 3, 32, {}, {0x123456, 0xABCDEF}, mask}.Build()}}));
    write("32bit-alpha.ico", Directory(kIcon, {Entry{Dib{3, 3, 32, {}, argb, mask}.Build()}}));
    write("v5.ico", Directory(kIcon, {Entry{Dib{2, 2, 24, {}, argb, {}, true, 0, {}, 0, 124}.Build()}}));
    write("png.ico", Directory(kIcon, {Entry{Png(3, 3, argb)}}));
    write("several.ico", Directory(kIcon, {Entry{Dib{2, 2, 4, grey16, pixels}.Build()}, Entry{Png(3, 3, argb)},
                                           Entry{Dib{4, 4, 32, {}, argb}.Build()}}));
    Ani ani;
    ani.frames = {Directory(kCursor, {Entry{Dib{2, 2, 32, {}, argb}.Build(), 1, 0}}),
                  Directory(kIcon, {Entry{Dib{3, 3, 8, grey16, pixels, mask, true, 16}.Build()}})};
    write("plain.ani", ani.Build());
    ani.flags |= kAnihSequence;
    ani.steps = 3;
    ani.seq = {{1, 0, 1}};
    ani.rate = {{5, 0, 20}};
    ani.extra = Chunk("LIST", Bytes{'I', 'N', 'F', 'O', 'I', 'N', 'A', 'M', 1, 0, 0, 0, 'x'});
    write("sequenced.ani", ani.Build());
    return failures ? 1 : 0;
}
