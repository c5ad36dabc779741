// SPDX-License-Identifier: MIT
#include "fuzz/bundled_examples.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace javfuzz {

namespace {

std::vector<BundledExample> readExamples() {
    namespace fs = std::filesystem;
    std::vector<BundledExample> examples;
    for (const auto& entry : fs::directory_iterator(fs::path(JAVTRG_SOURCE_DIR) / "examples")) {
        if (entry.path().extension() != ".json") continue;
        std::ifstream in(entry.path(), std::ios::binary);
        std::stringstream text;
        text << in.rdbuf();
        examples.push_back(BundledExample{entry.path().filename().string(), javtool::readScript(text.str())});
    }
    std::sort(examples.begin(), examples.end(),
              [](const BundledExample& a, const BundledExample& b) { return a.name < b.name; });
    return examples;
}

}  // namespace

const std::vector<BundledExample>& bundledExamples() {
    static const std::vector<BundledExample> examples = readExamples();
    return examples;
}

}  // namespace javfuzz
