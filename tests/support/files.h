// Temporary folders and whole-file reads of the tests.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace test_support {

/// A fresh folder /tmp/<prefix>_XXXXXX for one test. The destructor puts back the current
/// folder of the construction (the file dialogs change it), then removes the folder with its
/// files. When the folder cannot be made the test fails and `path` stays empty.
class TempDir {
  public:
    explicit TempDir(const std::string& prefix = "vd_test");
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    std::string path; ///< the folder with its trailing '/'

    /// The folder without its trailing '/'.
    std::string folder() const;
    std::string file(const std::string& name) const { return path + name; }
    /// Writes `bytes` to the file `name` of the folder and returns its path (the test fails
    /// when the file cannot be written).
    std::string write(const std::string& name, const std::string& bytes) const;
    /// Writes the file `name` with a few bytes of content.
    void touch(const std::string& name) const { write(name, "data"); }

  private:
    std::string start_dir_;
};

/// Whole contents of the file at `path` ("" when it cannot be read).
std::string read_file(const std::string& path);

/// A 24-bit bottom-up BMP as the program writes it, its pixels as 0xRRGGBB top row first.
struct Bitmap {
    int width = 0, height = 0;
    std::vector<std::uint32_t> rgb;
    std::uint32_t at(int x, int y) const {
        return rgb[std::size_t(y) * std::size_t(width) + std::size_t(x)];
    }
};
/// The bitmap at `path`; empty (0 x 0) when the file is none.
Bitmap read_bitmap(const std::string& path);

} // namespace test_support
