// The design note names the project's files by their paths from the top folder, in backticks;
// a path that no longer exists (a file renamed, moved or removed) fails here, so the note cannot
// go stale without notice.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

std::string read_text(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// The spans of `text` in backticks that are paths: no blank, at least one '/', nothing but
// letters, digits and . _ - /; and the targets of its Markdown links.
std::vector<std::string> named_paths(const std::string& text) {
    std::vector<std::string> out;
    static const std::regex span("`([A-Za-z0-9_.\\-]*/[A-Za-z0-9_./\\-]*)`");
    static const std::regex link("\\]\\(([^)#:]+)\\)");
    for (const std::regex* r : {&span, &link})
        for (std::sregex_iterator m(text.begin(), text.end(), *r), end; m != end; ++m)
            out.push_back((*m)[1]);
    return out;
}

TEST(DesignNote, EveryPathItNamesExists) {
    const fs::path top(VELDARIN_SOURCE_DIR);
    const std::string note = read_text(top / "docs/design.md");
    ASSERT_FALSE(note.empty()) << "docs/design.md cannot be read";
    const std::vector<std::string> paths = named_paths(note);
    EXPECT_FALSE(paths.empty());
    for (const std::string& p : paths)
        EXPECT_TRUE(fs::exists(top / p)) << "docs/design.md names " << p << ", which is not there";

    // Where a newcomer finds the note.
    const std::string readme = read_text(top / "README.md");
    const std::size_t layout = readme.find("\n## Layout");
    ASSERT_NE(layout, std::string::npos) << "the README has no Layout section";
    EXPECT_NE(readme.find("(docs/design.md)", layout), std::string::npos)
        << "the README's Layout section does not link docs/design.md";
}

TEST(DesignNote, PathsAreTakenFromSpansAndLinks) {
    const std::vector<std::string> paths =
        named_paths("`src/model/globals.h`, `app/`, `ui::dispatch`, `menu 130`, `NAME.dat`, "
                    "`tests/<folder>/` and [the note](docs/design.md)");
    EXPECT_EQ(paths, (std::vector<std::string>{"src/model/globals.h", "app/", "docs/design.md"}));
}

} // namespace
