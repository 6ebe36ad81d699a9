// Key strokes typed by xdotool into the windows of the test's display.
#include "support/keyboard.h"

#include <chrono>
#include <cstdlib>
#include <thread>

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

void escape_if_still_shown(const std::string& title, double seconds) {
    const std::string search = "xdotool search --name '^" + title + "$' >/dev/null 2>&1";
    for (double waited = 0; waited < seconds; waited += 0.1) {
        if (std::system(search.c_str()) != 0) return;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    std::system(
        ("xdotool search --name '^" + title + "$' windowfocus --sync key Escape >/dev/null 2>&1")
            .c_str());
}

} // namespace test_support
