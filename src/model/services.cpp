// The trace log, the message funnel, window clearing, progress reporting with the user break,
// the status line and the shared file dialogs, over the ui interface.
#include "model/services.h"

#include "model/globals.h"
#include "model/utilities.h"
#include "platform/gfx/canvas.h"
#include "platform/sys/sys.h"
#include "platform/ui/ui.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <string>

namespace model {

void trace(const char* format, ...) {
    if (!globals_alive() || Printtrace.active != 1) return;
    PrintTrace& t = Printtrace;
    va_list args;
    va_start(args, format);
    std::vsnprintf(t.line, sizeof t.line, format, args);
    va_end(args);
    t.pending = 1;
    if (t.active != 1) return;
    t.pending = 0;
    // Opened and closed for every line, so the log survives a crash up to its last line.
    t.file = std::fopen(t.file_name, "a");
    if (!t.file) {
        t.active = 0;
        return;
    }
    std::fprintf(t.file, "%s", t.line);
    std::fflush(t.file);
    std::fclose(t.file);
    t.file = nullptr;
}

int show_message(const char* text, const char* caption) {
    ::beep();
    return ui::message_box(text ? text : "", caption ? caption : "", ui::mb_iconexclamation);
}

int ask_message(const char* text, const char* caption, unsigned flags) {
    return ui::message_box(text ? text : "", caption ? caption : "", flags);
}

namespace {
int errors_reported = 0;
} // namespace

int report_error(Shown shown, const char* caption, const char* format, ...) {
    char text[1024];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    ++errors_reported;
    trace("Error [%s] %s\n", caption ? caption : "status line", text);
    switch (shown) {
    case Shown::box:
        return show_message(text, caption);
    case Shown::status_line:
        ::beep();
        if (ui::is_foreground()) show_status_text(text);
        return 0;
    case Shown::box_in_front:
        if (!ui::is_foreground()) return 0;
        return ask_message(text, caption, ui::mb_ok | ui::mb_iconexclamation);
    }
    return 0;
}

int error_count() {
    return errors_reported;
}

void clear_error_count() {
    errors_reported = 0;
}

} // namespace model

void beep() {
    ui::beep();
}

void erase_window() {
    gfx::Canvas& window = ui::window_canvas();
    window.fill_rect({0, 0, window.width(), window.height()}, gfx::white);
}

void clear_area(gfx::Canvas* canvas, int width, int height) {
    if (!canvas) return;
    canvas->select_brush(gfx::Brush{gfx::white, false});
    // The whole picture cleared: a canvas that grew to hold it gives the room back.
    if (width >= canvas->width() && height >= canvas->height())
        canvas->clear();
    else
        canvas->pat_blt(0, 0, width, height, gfx::Rop::whiteness);
}

void update_status(const char* text, int bar_length) {
    model::copy_text(Statuswind.text, sizeof Statuswind.text, text);
    Statuswind.bar_length = bar_length;
    ui::invalidate_status();
    const ui::PumpResult result = ui::pump();
    if (result != ui::PumpResult::empty) Statuswind.abort_word = 1;
}

int check_user_abort() {
    const ui::PumpResult result = ui::pump();
    const bool seen_before = Statuswind.abort_word == 1;
    Statuswind.abort_word = 0;
    return seen_before || result == ui::PumpResult::abort || result == ui::PumpResult::quit ? 1 : 0;
}

namespace {
char status_line_text[512] = "";
} // namespace

void command_started() {
    Statuswind.abort_word = 0;
    status_line_text[0] = '\0';
}

bool model::BreakWatch::owner_test() {
    if (user_aborted()) set_.store(true);
    return set_.load();
}

bool model::BreakWatch::seen() {
    if (owner_works_ && !set_.load(std::memory_order_relaxed)) {
        const double now = sys::wall_seconds();
        if (last_ < 0.0 || now - last_ >= 0.02) {
            last_ = now;
            owner_test();
        }
    }
    return set_.load(std::memory_order_relaxed);
}

void set_status_line(const char* text) {
    model::copy_text(status_line_text, sizeof status_line_text, text);
}

const char* status_line() {
    return status_line_text;
}

void show_status_text(const char* text, gfx::Canvas* canvas) {
    if (!canvas) return;
    char line[512];
    model::copy_text(line, sizeof line, text);
    const int y = Progdisplay.client_height - Progdisplay.status_height;
    canvas->text_out(8, y, std::string(107, ' '));
    canvas->set_text_colour(gfx::rgb(255, 0, 0));
    canvas->text_out(8, y, line);
    canvas->set_text_colour(gfx::black);
}

void show_status_text(const char* text) {
    show_status_text(text, &ui::window_canvas());
}

void file_dialog_init() {
    Systemsettings.file_dialog = FileDialogRecord{};
}

namespace {
int run_file_dialog(ui::FileDialogKind kind, char* file_buffer, char* title_buffer,
                    const char* initial_dir) {
    FileDialogRecord& record = Systemsettings.file_dialog;
    record.file = file_buffer;
    record.file_title = title_buffer;
    record.title = title_buffer;
    record.initial_dir = initial_dir;
    record.flags = kind == ui::FileDialogKind::open ? ofn_create_prompt : ofn_overwrite_prompt;
    std::string file = file_buffer ? file_buffer : "";
    std::string title = title_buffer ? title_buffer : "";
    if (!ui::file_dialog(kind, file, title, initial_dir ? initial_dir : "",
                         std::size_t(record.max_file)))
        return 0;
    model::copy_text(file_buffer, std::size_t(record.max_file), file.c_str());
    model::copy_text(title_buffer, std::size_t(record.max_file_title), title.c_str());
    return 1;
}
} // namespace

int open_file_dialog(char* file_buffer, char* title_buffer, const char* initial_dir) {
    return run_file_dialog(ui::FileDialogKind::open, file_buffer, title_buffer, initial_dir);
}

int save_file_dialog(char* file_buffer, char* title_buffer, const char* initial_dir) {
    return run_file_dialog(ui::FileDialogKind::save, file_buffer, title_buffer, initial_dir);
}

std::vector<std::string> model::existing_files(const std::vector<std::string>& paths) {
    std::vector<std::string> existing;
    for (const std::string& p : paths)
        if (sys::file_exists(p)) existing.push_back(p);
    return existing;
}

bool model::replace_files(const std::vector<std::string>& existing, const char* caption) {
    if (existing.empty()) return true;
    std::string text;
    if (existing.size() == 1) {
        text = sys::file_title(existing[0]) + " already exists.\nDo you want to replace it?";
    } else {
        constexpr std::size_t listed = 12;
        text = "These files already exist:\n";
        for (std::size_t i = 0; i < std::min(existing.size(), listed); ++i)
            text += sys::file_title(existing[i]) + "\n";
        if (existing.size() > listed)
            text += "and " + std::to_string(existing.size() - listed) + " more\n";
        text += "Do you want to replace them?";
    }
    return ui::message_box(text, caption, ui::mb_yesno | ui::mb_iconexclamation) == ui::id_yes;
}

int model::save_files_dialog(char* file_buffer, char* title_buffer, const char* initial_dir,
                             const ExistingFiles& existing_of) {
    for (;;) {
        const std::string title = title_buffer ? title_buffer : "";
        if (!run_file_dialog(ui::FileDialogKind::save_set, file_buffer, title_buffer, initial_dir))
            return 0;
        if (replace_files(existing_of(file_buffer), title.c_str())) return 1;
        // The dialog asks again from the name refused, under its own title.
        model::copy_text(title_buffer, std::size_t(Systemsettings.file_dialog.max_file_title),
                         title.c_str());
    }
}
