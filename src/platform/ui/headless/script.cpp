// Parser of the action script: words, numbers, and the form of every action line.
#include "platform/ui/headless/script.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <sstream>

namespace headless {

bool split_words(const std::string& line, std::vector<std::string>& words) {
    words.clear();
    std::size_t i = 0, n = line.size();
    while (i < n) {
        char c = line[i];
        if (c == ' ' || c == '\t' || c == '\r' || c == '\n') {
            ++i;
            continue;
        }
        if (c == '#') break;
        std::string word;
        if (c == '"') {
            ++i;
            bool closed = false;
            while (i < n) {
                char q = line[i++];
                if (q == '"') {
                    closed = true;
                    break;
                }
                if (q == '\\' && i < n && (line[i] == '"' || line[i] == '\\')) q = line[i++];
                word += q;
            }
            if (!closed) return false;
        } else {
            while (i < n && line[i] != ' ' && line[i] != '\t' && line[i] != '\r')
                word += line[i++];
        }
        words.push_back(word);
    }
    return true;
}

bool glob_match(const std::string& pattern, const std::string& text) {
    // Iterative match with one back-track point: the last '*' seen.
    std::size_t p = 0, t = 0, star = std::string::npos, mark = 0;
    while (t < text.size()) {
        if (p < pattern.size() && (pattern[p] == '?' || pattern[p] == text[t])) {
            ++p, ++t;
        } else if (p < pattern.size() && pattern[p] == '*') {
            star = p++;
            mark = t;
        } else if (star != std::string::npos) {
            p = star + 1;
            t = ++mark;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*')
        ++p;
    return p == pattern.size();
}

std::string escape_breaks(const std::string& text) {
    std::string out;
    for (char c : text) {
        if (c == '\n')
            out += "\\n";
        else if (c == '\r')
            out += "\\r";
        else
            out += c;
    }
    return out;
}

namespace {

bool parse_int(const std::string& word, int& value) {
    if (word.empty()) return false;
    char* end = nullptr;
    errno = 0;
    long v = std::strtol(word.c_str(), &end, 10);
    if (*end != '\0' || errno == ERANGE || v < INT_MIN || v > INT_MAX) return false;
    value = static_cast<int>(v);
    return true;
}

bool parse_scroll_code(const std::string& word, ui::ScrollCode& code, int& pos) {
    static const struct {
        const char* name;
        ui::ScrollCode code;
    } names[] = {{"lineup", ui::ScrollCode::line_up}, {"linedown", ui::ScrollCode::line_down},
                 {"pageup", ui::ScrollCode::page_up}, {"pagedown", ui::ScrollCode::page_down},
                 {"top", ui::ScrollCode::top},        {"bottom", ui::ScrollCode::bottom}};
    for (const auto& n : names) {
        if (word == n.name) {
            code = n.code;
            return true;
        }
    }
    code = ui::ScrollCode::thumb_track;
    return parse_int(word, pos);
}

// A character by itself, by name, or by its decimal code (two digits or more).
bool parse_key(const std::string& word, int& ch) {
    static const struct {
        const char* name;
        int ch;
    } names[] = {{"esc", 27}, {"enter", 13}, {"tab", 9}, {"space", 32}, {"backspace", 8}};
    if (word.size() == 1) {
        ch = static_cast<unsigned char>(word[0]);
        return true;
    }
    for (const auto& n : names) {
        if (word == n.name) {
            ch = n.ch;
            return true;
        }
    }
    return parse_int(word, ch) && ch > 0 && ch < 256;
}

// `menu` target: an id, or "Popup/Item" with the texts as shown (no '&').
bool parse_menu_target(const std::string& word, Action& a) {
    std::size_t slash = word.find('/');
    if (slash != std::string::npos) {
        a.by_text = true;
        a.popup = word.substr(0, slash);
        a.item = word.substr(slash + 1);
        return !a.popup.empty() && !a.item.empty();
    }
    return parse_int(word, a.id) && a.id > 0;
}

class LineParser {
  public:
    LineParser(const std::vector<std::string>& w, Action& a) : w_(w), a_(a) {}
    /// Empty on success, else what is wrong with the line.
    std::string parse();

  private:
    const std::vector<std::string>& w_;
    Action& a_;

    std::string start();
    std::string dialog();
    std::string expect();
    std::string click();
    std::string event(std::size_t first);
    bool count(std::size_t n) const { return w_.size() == n; }
};

std::string LineParser::parse() {
    const std::string& verb = w_[0];
    if (verb == "start") return start();
    if (verb == "file") {
        a_.kind = ActionKind::file;
        if (!count(2)) return "file needs one path or 'cancel'";
        a_.cancel = w_[1] == "cancel";
        a_.text = w_[1];
        return {};
    }
    if (verb == "dialog") return dialog();
    if (verb == "box") {
        a_.kind = ActionKind::box;
        static const struct {
            const char* name;
            int id;
        } answers[] = {
            {"yes", ui::id_yes}, {"no", ui::id_no}, {"ok", ui::id_ok}, {"cancel", ui::id_cancel}};
        if (count(2))
            for (const auto& ans : answers)
                if (w_[1] == ans.name) {
                    a_.id = ans.id;
                    return {};
                }
        return "box needs yes, no, ok or cancel";
    }
    if (verb == "expect") return expect();
    if (verb == "optimise") {
        a_.kind = ActionKind::optimise;
        return count(1) ? std::string() : "optimise takes nothing";
    }
    if (verb == "queue") {
        a_.queued = true;
        if (w_.size() < 2) return "queue needs key, close or menu";
        if (w_[1] != "key" && w_[1] != "close" && w_[1] != "menu")
            return "only key, close and menu can be queued";
        return event(1);
    }
    return event(0);
}

std::string LineParser::start() {
    a_.kind = ActionKind::start;
    for (std::size_t i = 1; i < w_.size();) {
        if (w_[i] == "screen" && !a_.has_screen && i + 2 < w_.size() &&
            parse_int(w_[i + 1], a_.width) && parse_int(w_[i + 2], a_.height)) {
            if (a_.width < 1 || a_.height <= 60) return "screen size too small";
            // Each screen-sized canvas takes 4 bytes a pixel, and the program keeps several.
            if (a_.width > max_screen_width || a_.height > max_screen_height)
                return "screen size too large: at most " + std::to_string(max_screen_width) +
                       " x " + std::to_string(max_screen_height);
            a_.has_screen = true;
            i += 3;
        } else if (w_[i] == "memory" && !a_.has_memory && i + 1 < w_.size() &&
                   parse_int(w_[i + 1], a_.memory)) {
            if (a_.memory < 1) return "memory must be at least 1 MiB";
            if (a_.memory > max_memory_mib)
                return "memory must be at most " + std::to_string(max_memory_mib) + " MiB";
            a_.has_memory = true;
            i += 2;
        } else {
            return "start takes [screen W H] [memory MIB]";
        }
    }
    return {};
}

std::string LineParser::dialog() {
    a_.kind = ActionKind::dialog;
    if (w_.size() < 2) return "dialog needs a template name";
    a_.text = w_[1];
    for (std::size_t i = 2; i < w_.size();) {
        DialogStep s;
        const std::string& v = w_[i];
        if (v == "ok" || v == "cancel") {
            s.kind = v == "ok" ? DialogStep::Kind::ok : DialogStep::Kind::cancel;
            i += 1;
        } else if (v == "click" && i + 1 < w_.size() && parse_int(w_[i + 1], s.id)) {
            s.kind = DialogStep::Kind::click;
            i += 2;
        } else if (v == "set" && i + 2 < w_.size() && parse_int(w_[i + 1], s.id)) {
            s.kind = DialogStep::Kind::set;
            s.text = w_[i + 2];
            i += 3;
        } else if (v == "scroll" && i + 2 < w_.size() && parse_int(w_[i + 1], s.id) &&
                   parse_scroll_code(w_[i + 2], s.code, s.pos)) {
            s.kind = DialogStep::Kind::scroll;
            i += 3;
        } else {
            return "dialog action '" + v +
                   "' is not click ID, set ID TEXT, scroll ID POS, ok "
                   "or cancel";
        }
        a_.steps.push_back(s);
    }
    return {};
}

std::string LineParser::expect() {
    a_.kind = ActionKind::expect;
    if (count(2) && w_[1] == "beep") {
        a_.expect_what = ExpectWhat::beep;
        return {};
    }
    if (count(3)) {
        a_.text = w_[2];
        if (w_[1] == "box")
            a_.expect_what = ExpectWhat::box;
        else if (w_[1] == "text")
            a_.expect_what = ExpectWhat::text;
        else if (w_[1] == "title")
            a_.expect_what = ExpectWhat::title;
        else
            return "expect takes box, text or title with a pattern, or beep";
        return {};
    }
    return "expect takes box, text or title with a pattern, or beep";
}

std::string LineParser::click() {
    a_.kind = ActionKind::click;
    if (count(2) && w_[1] == "next") {
        a_.next = true;
        return {};
    }
    if (count(4) && parse_int(w_[2], a_.x) && parse_int(w_[3], a_.y)) {
        if (w_[1] == "left")
            a_.button = ui::MouseButton::left;
        else if (w_[1] == "right")
            a_.button = ui::MouseButton::right;
        else if (w_[1] == "middle")
            a_.button = ui::MouseButton::middle;
        else
            return "click needs left, right or middle";
        return {};
    }
    return "click takes left|right X Y, or next";
}

// The actions that deliver an event to the window; `first` is the index of the verb.
std::string LineParser::event(std::size_t first) {
    const std::string& verb = w_[first];
    std::size_t args = w_.size() - first - 1;
    const std::string none;
    const std::string& arg = args >= 1 ? w_[first + 1] : none;
    if (verb == "menu") {
        a_.kind = ActionKind::menu;
        if (args == 1 && parse_menu_target(arg, a_)) return {};
        return "menu takes an id or \"Popup/Item\"";
    }
    if (verb == "popup") {
        a_.kind = ActionKind::popup;
        a_.popup = arg;
        return args == 1 ? std::string() : "popup takes the popup's text";
    }
    if (verb == "key") {
        a_.kind = ActionKind::key;
        if (args == 1 && parse_key(arg, a_.id)) return {};
        return "key takes one character, esc, enter, tab, space, backspace or a code";
    }
    if (verb == "close") {
        a_.kind = ActionKind::close;
        return args == 0 ? std::string() : "close takes nothing";
    }
    if (verb == "click") return click();
    if (verb == "scroll") {
        a_.kind = ActionKind::scroll;
        if (args == 2 && (arg == "h" || arg == "v") &&
            parse_scroll_code(w_[first + 2], a_.code, a_.pos)) {
            a_.bar = arg == "h" ? ui::Bar::horizontal : ui::Bar::vertical;
            return {};
        }
        return "scroll takes h|v and a position or lineup, linedown, pageup, pagedown, top, "
               "bottom";
    }
    return "unknown action '" + verb + "'";
}

} // namespace

std::vector<Action> parse_script(const std::string& text, std::vector<ParseError>& errors) {
    std::vector<Action> actions;
    std::istringstream in(text);
    std::string line;
    std::vector<std::string> words;
    bool acted = false; // an action other than an answer came: start may no longer follow
    for (int number = 1; std::getline(in, line); ++number) {
        if (!split_words(line, words)) {
            errors.push_back({number, "unclosed quote"});
            continue;
        }
        if (words.empty()) continue;
        Action a;
        a.line = number;
        std::string problem = LineParser(words, a).parse();
        if (problem.empty() && a.kind == ActionKind::start && acted)
            problem = "start must come before every other action";
        if (!problem.empty()) {
            errors.push_back({number, problem});
            continue;
        }
        if (a.kind != ActionKind::file && a.kind != ActionKind::dialog && a.kind != ActionKind::box)
            acted = true;
        actions.push_back(a);
    }
    return actions;
}

} // namespace headless
