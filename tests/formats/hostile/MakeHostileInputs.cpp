// Writes the hostile inputs into a directory, for bench/hostile_bench.sh.
#include "HostileInputs.h"

#include <cstdio>
#include <fstream>

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fputs("usage: make_hostile_inputs DIR\n", stderr);
        return 2;
    }
    for (const auto& input : quorvane::testing::HostileInputs()) {
        const std::string path = std::string(argv[1]) + "/" + input.Name;
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(input.Bytes.data()), std::streamsize(input.Bytes.size()));
        if (!out) {
            std::fprintf(stderr, "Cannot write file %s\n", path.c_str());
            return 1;
        }
        std::printf("%s\t%zu\n", input.Name.c_str(), input.Bytes.size());
    }
    return 0;
}
