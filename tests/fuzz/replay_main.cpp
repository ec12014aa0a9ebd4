// Without libFuzzer (a compiler that lacks it, such as gcc): runs the fuzz target once on each
// input named on the command line, files or directories of files, as a corpus replay.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);
int fuzzReplayMilestonesMissed();

namespace {

int runFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        std::fprintf(stderr, "cannot read %s\n", path.c_str());
        return 1;
    }
    std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)),
                                    std::istreambuf_iterator<char>());
    std::fprintf(stderr, "running %s (%zu bytes)\n", path.c_str(), bytes.size());
    LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    int failures = 0, runs = 0;
    bool corpus = false;
    for (int i = 1; i < argc; ++i) {
        std::filesystem::path path(argv[i]);
        if (std::filesystem::is_directory(path)) {
            corpus = true;
            for (const auto& entry : std::filesystem::directory_iterator(path))
                if (entry.is_regular_file()) {
                    failures += runFile(entry.path());
                    ++runs;
                }
        } else {
            failures += runFile(path);
            ++runs;
        }
    }
    std::fprintf(stderr, "%d inputs run\n", runs);
    // A folder is a corpus, whose runs together must get everywhere; single files are findings.
    if (corpus && fuzzReplayMilestonesMissed() > 0)
        ++failures;
    return failures || runs == 0 ? 1 : 0;
}
