// Reads a generated 10 MB help file the way the Help window does (whole file,
// one scan) and prints the times. Not a test: run it by hand.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "help/HelpFile.h"
#include "mkhelp/MkHelp.h"

namespace {

mkhelp::Source generated(std::size_t targetBytes) {
    mkhelp::Source source;
    const std::string line = "The meter answers FETC? with its present reading, 1.2345E+00.\r\n";
    std::size_t total = 0;
    for (int t = 0; total < targetBytes; ++t) {
        mkhelp::Topic topic{"Topic " + std::to_string(t), {}};
        for (int s = 0; s < 20 && total < targetBytes; ++s) {
            std::string text;
            for (int l = 0; l < 40; ++l) {
                text += line;
            }
            total += text.size() + 16;
            topic.subtopics.push_back({"Subtopic " + std::to_string(s), std::move(text)});
        }
        source.topics.push_back(std::move(topic));
    }
    return source;
}

}  // namespace

int main() {
    const auto bytes = mkhelp::writeHelpFile(generated(10 * 1024 * 1024));
    const auto path = std::filesystem::temp_directory_path() / "bench_helpfile.mhf";
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));

    using Clock = std::chrono::steady_clock;
    std::vector<double> readMs;
    std::vector<double> scanMs;
    std::size_t entries = 0;
    for (int run = 0; run < 10; ++run) {
        const auto t0 = Clock::now();
        const auto file = vx::help::readFileBytes(path.string());
        const auto t1 = Clock::now();
        const auto parse = vx::help::parseHelp(file.bytes);
        const auto t2 = Clock::now();
        entries = parse.entries.size();
        readMs.push_back(std::chrono::duration<double, std::milli>(t1 - t0).count());
        scanMs.push_back(std::chrono::duration<double, std::milli>(t2 - t1).count());
    }
    std::filesystem::remove(path);
    std::sort(readMs.begin(), readMs.end());
    std::sort(scanMs.begin(), scanMs.end());
    std::printf("help file: %zu bytes, %zu entries\n", bytes.size(), entries);
    std::printf("read: best %.2f ms, median %.2f ms\n", readMs.front(), readMs[readMs.size() / 2]);
    std::printf("scan: best %.2f ms, median %.2f ms\n", scanMs.front(), scanMs[scanMs.size() / 2]);
    std::printf("read + scan (median): %.2f ms (goal: under 50 ms)\n",
                readMs[readMs.size() / 2] + scanMs[scanMs.size() / 2]);
    return 0;
}
