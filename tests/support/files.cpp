// Temporary folders and whole-file reads of the tests.
#include "support/files.h"

#include "platform/sys/sys.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <vector>

namespace test_support {

TempDir::TempDir(const std::string& prefix) : start_dir_(sys::current_dir()) {
    std::string name = "/tmp/" + prefix + "_XXXXXX";
    if (mkdtemp(name.data()))
        path = name + "/";
    else
        ADD_FAILURE() << "cannot make a temporary folder " << name;
}

TempDir::~TempDir() {
    sys::set_current_dir(start_dir_);
    if (path.empty()) return;
    std::error_code ignored;
    std::filesystem::remove_all(path, ignored);
}

std::string TempDir::folder() const {
    return path.empty() ? path : path.substr(0, path.size() - 1);
}

std::string TempDir::write(const std::string& name, const std::string& bytes) const {
    std::FILE* f = std::fopen(file(name).c_str(), "wb");
    EXPECT_NE(f, nullptr) << file(name);
    if (f) {
        std::fwrite(bytes.data(), 1, bytes.size(), f);
        std::fclose(f);
    }
    return file(name);
}

std::string read_file(const std::string& path) {
    std::vector<char> bytes;
    sys::read_whole_file(path, bytes);
    return std::string(bytes.begin(), bytes.end());
}

} // namespace test_support
