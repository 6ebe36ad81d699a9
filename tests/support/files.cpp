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

Bitmap read_bitmap(const std::string& path) {
    const std::string b = read_file(path);
    const auto le = [&](std::size_t at, int bytes) {
        std::uint32_t v = 0;
        for (int k = bytes - 1; k >= 0; --k)
            v = v << 8 | std::uint8_t(b[at + std::size_t(k)]);
        return v;
    };
    Bitmap bmp;
    if (b.size() < 54 || b[0] != 'B' || b[1] != 'M' || le(28, 2) != 24) return bmp;
    bmp.width = int(le(18, 4));
    bmp.height = int(le(22, 4));
    const std::size_t row = (3 * std::size_t(bmp.width) + 3) / 4 * 4, start = le(10, 4);
    if (b.size() < start + row * std::size_t(bmp.height)) return {};
    bmp.rgb.resize(std::size_t(bmp.width) * std::size_t(bmp.height));
    for (int y = 0; y < bmp.height; ++y)
        for (int x = 0; x < bmp.width; ++x)
            bmp.rgb[std::size_t(y) * bmp.width + x] =
                le(start + std::size_t(bmp.height - 1 - y) * row + 3 * std::size_t(x), 3);
    return bmp;
}

} // namespace test_support
