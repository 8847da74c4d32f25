// Runs a fuzz target once on each file named on the command line, for
// compilers without libFuzzer: the corpus then serves as plain tests.

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

int main(int argc, char** argv)
{
    for (int i = 1; i < argc; ++i) {
        std::ifstream in(argv[i], std::ios::binary);
        if (!in) {
            std::fprintf(stderr, "%s: cannot be read\n", argv[i]);
            return 1;
        }
        const std::vector<std::uint8_t> input{std::istreambuf_iterator<char>(in), {}};
        LLVMFuzzerTestOneInput(input.data(), input.size());
    }
    return 0;
}
