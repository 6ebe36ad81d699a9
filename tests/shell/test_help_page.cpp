// The help page the program ships: every command of the menu is described, its model-file
// section says what the README's says, and the build puts it beside the programs unchanged.
#include "shell/dispatch.h"
#include "support/files.h"

#include <gtest/gtest.h>

#include <regex>
#include <sstream>
#include <string>

namespace {

const std::string page_path = VELDARIN_SOURCE_DIR "/app/Veldarin.html";

// The words of a text, one blank between them.
std::string words(const std::string& text) {
    std::istringstream in(text);
    std::string out, word;
    while (in >> word)
        out += (out.empty() ? "" : " ") + word;
    return out;
}

// The text of a piece of the page: tags dropped, the entities the page uses turned back.
std::string html_text(std::string html) {
    html = std::regex_replace(html, std::regex("<[^>]*>"), " ");
    for (const auto& [entity, character] :
         {std::pair<const char*, const char*>{"&lt;", "<"}, {"&gt;", ">"}, {"&amp;", "&"}})
        html = std::regex_replace(html, std::regex(entity), character);
    return words(html);
}

// The text of a piece of Markdown: code fences, table rules, bars, backticks and list marks
// dropped.
std::string markdown_text(const std::string& markdown) {
    std::istringstream in(markdown);
    std::string out;
    for (std::string line; std::getline(in, line);) {
        if (line.rfind("```", 0) == 0 || std::regex_match(line, std::regex("\\|[-|]+\\|")))
            continue;
        if (line.rfind("- ", 0) == 0) line = line.substr(2);
        out += std::regex_replace(line, std::regex("[|`]"), " ") + "\n";
    }
    return words(out);
}

TEST(HelpPage, DescribesEveryCommandOfTheMenu) {
    const std::string page = test_support::read_file(page_path);
    ASSERT_FALSE(page.empty());
    int described = 0;
    for (const shell::CommandRow& row : shell::command_table()) {
        if (!row.text) continue;
        // The menu's accelerator marks are no part of the item's name.
        const std::string text = std::regex_replace(row.text, std::regex("&"), "");
        const std::string entry = "<dt>" + text + " [" + std::to_string(row.id) + "]";
        EXPECT_NE(page.find(entry), std::string::npos) << entry;
        ++described;
    }
    EXPECT_GT(described, 0);
}

TEST(HelpPage, ModelFileSectionIsTheReadmes) {
    const std::string readme = test_support::read_file(VELDARIN_SOURCE_DIR "/README.md");
    const std::size_t from = readme.find("\n## The model file\n");
    ASSERT_NE(from, std::string::npos);
    const std::size_t body = readme.find('\n', from + 1) + 1;
    const std::string section = readme.substr(body, readme.find("\n## ", body) - body);

    const std::string page = test_support::read_file(page_path);
    const std::string heading = "<h2 id=\"model-file\">The model file</h2>";
    const std::size_t start = page.find(heading);
    ASSERT_NE(start, std::string::npos);
    const std::size_t end = page.find("<h2", start + heading.size());
    EXPECT_EQ(html_text(page.substr(start + heading.size(), end - start - heading.size())),
              markdown_text(section));
}

TEST(HelpPage, TheBuildPutsItBesideThePrograms) {
    EXPECT_EQ(
        test_support::read_file(VELDARIN_BINARY_DIR "/app/" + std::string(shell::help_file_name)),
        test_support::read_file(page_path));
}

} // namespace
