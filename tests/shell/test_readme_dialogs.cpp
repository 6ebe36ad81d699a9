// The README's table of the dialogs a script answers: every command, dialog template and control
// id it names is one of the program's.
#include "platform/ui/ui.h"
#include "shell/dispatch.h"
#include "support/files.h"

#include <gtest/gtest.h>

#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace {

// The cells of a table row "| a | b | c |".
std::vector<std::string> cells(const std::string& row) {
    std::vector<std::string> out;
    std::stringstream in(row.substr(1));
    std::string cell;
    while (std::getline(in, cell, '|'))
        out.push_back(cell);
    return out;
}

// The texts between backticks of a cell.
std::vector<std::string> quoted(const std::string& cell) {
    std::vector<std::string> out;
    static const std::regex span("`([^`]*)`");
    for (std::sregex_iterator m(cell.begin(), cell.end(), span), end; m != end; ++m)
        out.push_back((*m)[1]);
    return out;
}

// The numbers of the spans of a cell ("click 187" gives 187).
std::vector<int> numbers(const std::string& cell) {
    std::vector<int> out;
    static const std::regex number("[0-9]+");
    for (const std::string& q : quoted(cell))
        for (std::sregex_iterator m(q.begin(), q.end(), number), end; m != end; ++m)
            out.push_back(std::stoi(m->str()));
    return out;
}

TEST(ReadmeDialogTable, NamesTheProgramsCommandsTemplatesAndControls) {
    std::set<int> commands;
    for (const shell::CommandRow& row : shell::command_table())
        commands.insert(row.id);
    std::map<std::string, std::set<int>> templates;
    for (const ui::DialogTemplate* t : ui::live_templates())
        for (const ui::ControlSpec& c : t->controls)
            templates[t->name].insert(c.id);

    std::stringstream readme(test_support::read_file(VELDARIN_SOURCE_DIR "/README.md"));
    std::string line;
    while (std::getline(readme, line) && line != "### Dialogs of the common commands") {
    }
    ASSERT_FALSE(readme.eof()) << "the README has no table of the dialogs";
    int rows = 0;
    static const std::regex template_name("[A-Z][A-Za-z0-9]*");
    while (std::getline(readme, line) && (line.empty() || line[0] != '#')) {
        if (line.rfind("| ", 0) != 0 || line.rfind("| Command ", 0) == 0) continue;
        SCOPED_TRACE(line);
        const std::vector<std::string> c = cells(line);
        if (c.size() != 4) {
            ADD_FAILURE() << "a row of the table needs four cells";
            continue;
        }
        ++rows;
        for (int id : numbers(c[1]))
            EXPECT_EQ(commands.count(id), 1u) << "no command " << id;
        std::string name;
        for (const std::string& q : quoted(c[2]))
            if (std::regex_match(q, template_name)) name = q;
        const std::vector<int> ids = numbers(c[3]);
        if (name.empty()) {
            EXPECT_TRUE(ids.empty()) << "control ids without a dialog";
            continue;
        }
        if (templates.count(name) == 0) {
            ADD_FAILURE() << "no dialog template " << name;
            continue;
        }
        EXPECT_FALSE(ids.empty());
        for (int id : ids)
            EXPECT_EQ(templates[name].count(id), 1u) << name << " has no control " << id;
    }
    EXPECT_GE(rows, 10);
}

} // namespace
