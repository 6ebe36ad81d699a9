// Key strokes typed by xdotool into the windows of the test's display.
#include "support/keyboard.h"

#include <cstdlib>

namespace test_support {

bool have_xdotool() {
    return std::system("command -v xdotool >/dev/null 2>&1") == 0;
}

void type_into(const std::string& title, const std::vector<std::string>& steps) {
    std::system(("timeout 10 xdotool search --sync --name '^" + title +
                 "$' windowfocus --sync >/dev/null 2>&1")
                    .c_str());
    for (const std::string& step : steps) {
        const bool key = step.size() > 2 && step.front() == '<' && step.back() == '>';
        const std::string command = key ? "xdotool key " + step.substr(1, step.size() - 2)
                                        : "xdotool type --delay 15 '" + step + "'";
        std::system(command.c_str());
    }
}

} // namespace test_support
