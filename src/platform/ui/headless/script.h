// The action script as parsed lines: one Action a line, checked for form before anything runs.
#pragma once

#include "platform/ui/ui.h"

#include <string>
#include <vector>

namespace headless {

/// One step of a `dialog` answer.
struct DialogStep {
    enum class Kind { click, set, scroll, ok, cancel } kind = Kind::click;
    int id = 0;
    std::string text;                                  ///< set
    ui::ScrollCode code = ui::ScrollCode::thumb_track; ///< scroll
    int pos = 0;                                       ///< scroll to a thumb position
};

enum class ActionKind {
    start,  ///< numbers: screen width, height, memory MiB
    menu,   ///< `id`, or `popup` + `item` texts when by_text
    popup,  ///< open the popup `popup` without choosing
    file,   ///< answer: `text` is the path; `cancel`
    dialog, ///< answer: template `text`, `steps`
    box,    ///< answer: button id in `id`
    key,    ///< character `id`
    click,  ///< `button` at canvas (x, y); `next` for the "Next" window
    scroll, ///< main-window `bar`, `code`, `pos`
    expect, ///< `expect_what` matches glob `text`
    close,
    optimise, ///< the program's array optimisation (AppHooks::optimise)
};
enum class ExpectWhat { box, text, beep, title };

/// The largest machine a `start` line may ask for: an 8K screen (each screen-sized canvas takes
/// 4 bytes a pixel) and 1 TiB of memory.
constexpr int max_screen_width = 7680, max_screen_height = 4320;
constexpr int max_memory_mib = 1 << 20;

struct Action {
    ActionKind kind = ActionKind::close;
    int line = 0;
    bool queued = false; ///< `queue ...`: into the message queue, found by the next pump
    int id = 0;
    bool by_text = false, cancel = false, next = false;
    std::string text, popup, item;
    int width = 0, height = 0, memory = 0;
    bool has_screen = false, has_memory = false;
    ui::MouseButton button = ui::MouseButton::left;
    int x = 0, y = 0;
    ui::Bar bar = ui::Bar::vertical;
    ui::ScrollCode code = ui::ScrollCode::thumb_track;
    int pos = 0;
    ExpectWhat expect_what = ExpectWhat::box;
    std::vector<DialogStep> steps;
};

struct ParseError {
    int line = 0;
    std::string message;
};

/// Parses the whole script. Lines that are not actions of the grammar go to `errors` (with
/// their 1-based line numbers); the others, in order, to the result.
std::vector<Action> parse_script(const std::string& text, std::vector<ParseError>& errors);

/// Splits a line into words: blanks separate, "double quotes" hold blanks (\" and \\ inside
/// stand for " and \), '#' outside quotes at the start of a word begins a comment. False when
/// a quote is not closed.
bool split_words(const std::string& line, std::vector<std::string>& words);

/// '*' matches any run of characters, '?' any one character.
bool glob_match(const std::string& pattern, const std::string& text);

/// Text with line breaks written as \n (and \r as \r), as the transcript shows it.
std::string escape_breaks(const std::string& text);

} // namespace headless
