// Program services every subsystem uses: the trace log, the message funnel and beep, window
// clearing, progress reporting with the user break, the status line and the file dialogs.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace gfx {
class Canvas;
}

namespace model {

/// Appends one formatted line to the trace file when tracing is on (PrintTrace::active = 1):
/// formats into PrintTrace::line (cut at 8,191 characters), opens PrintTrace::file_name in
/// append mode, writes the line, flushes and closes the file. When the file cannot be opened,
/// tracing is switched off for the rest of the run. Does nothing, not even the formatting, when
/// tracing is off. Trace texts carry their own "\n".
void trace(const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 1, 2)))
#endif
    ;

} // namespace model

/// The message beep.
void beep();

namespace model {

/// The one funnel for texts shown to the user: beeps, shows `text` under `caption` with the
/// exclamation icon and an OK button, and returns the button chosen. Callers format the text
/// first (into ModelSettings::message_text or a local buffer); the caption is one of the
/// program's ("Error Message", "Data Error", "Message", ...).
int show_message(const char* text, const char* caption);
/// As show_message with other box flags (ui::mb_yesno | ui::mb_iconquestion, ...) and without
/// the beep; returns the button chosen (ui::id_yes, ...).
int ask_message(const char* text, const char* caption, unsigned flags);

/// How report_error shows a failure.
enum class Shown {
    box,          ///< beep, then a box under the caption with the exclamation icon and OK
    status_line,  ///< beep, then the text in red on the status line (show_status_text on the
                  ///< window canvas) while the main window is in front; no caption
    box_in_front, ///< the box of `box` while the main window is in front, without the beep (the
                  ///< routine that failed has beeped)
};

/// The funnel for failures: formats the text (at most 1,023 characters), writes it to the
/// trace log ("Error [caption] text"; "status line" for no caption), counts it (error_count) and
/// shows it as `shown` says. Returns the button chosen, or 0 when no box was shown. Solvers and
/// commands report every failure here, so that the count tells whether a run went wrong.
int report_error(Shown shown, const char* caption, const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 3, 4)))
#endif
    ;
/// Failures reported through report_error since the program started or the last
/// clear_error_count.
int error_count();
void clear_error_count();

} // namespace model

/// Erases the main window's client area at once (white).
void erase_window();
/// Fills the rectangle (0, 0)-(width, height) of `canvas` with white; a null canvas is ignored.
/// A rectangle that covers the whole canvas clears it (gfx::Canvas::clear): a canvas that grew
/// to hold its picture goes back to its base size.
void clear_area(gfx::Canvas* canvas, int width, int height);

/// Shows `text` (cut at 511 characters) and a progress bar of `bar_length` pixels (0 = none) in
/// the status window, then dispatches every waiting event. An abort key or close request seen
/// there sets StatusWind::abort_word, which stays set until check_user_abort reports it or the
/// next command starts (command_started): a key the user typed is never lost to the progress
/// display.
void update_status(const char* text, int bar_length);
/// Dispatches every waiting event; returns 1 when the user asked to stop (Esc, 'Q' or 'q' here
/// or at an update_status since the command started, or a close request, which stays pending so
/// the program still ends after the command), else 0. Callers free their work arrays and return
/// at once when it gives 1.
int check_user_abort();
/// check_user_abort as a yes or no: the abort test the thread pool's steps are given.
inline bool user_aborted() {
    return check_user_abort() != 0;
}
/// A menu command starts: an abort request of an earlier command is forgotten and the status
/// line cleared.
void command_started();

namespace model {

/// The user's break as the steps of a solver on the thread pool see it. The owner's abort test
/// (`owner_test`, the one sys::run_steps is given) sets it; when the owner does the only
/// worker's steps itself (`owner_works`), `seen` looks for the break keys too, at most every
/// 20 ms, between the phases of a step. Workers on other threads only read the flag.
class BreakWatch {
  public:
    explicit BreakWatch(bool owner_works) : owner_works_(owner_works) {}
    bool owner_test();
    bool seen();

  private:
    bool owner_works_;
    std::atomic<bool> set_{false};
    double last_ = -1.0;
};

} // namespace model

/// The status line says what the last command did ("Data file written: ..."): the paint
/// routine writes it with show_status_text after every repaint of the window, until the next
/// command starts. `text` is cut at 511 characters.
void set_status_line(const char* text);
/// The status line, "" when there is none.
const char* status_line();
/// Writes `text` (cut at 511 characters) in red on the line just above the status window,
/// at x = 8 and y = ProgDisplay::client_height - ProgDisplay::status_height, after wiping the
/// line with 107 blanks. A null canvas is ignored.
void show_status_text(const char* text, gfx::Canvas* canvas);
/// show_status_text on the main window's canvas.
void show_status_text(const char* text);

/// Fills SystemSettings::file_dialog with its defaults (filter "All Files (*.*)", no buffers,
/// no flags). Called once at window creation.
void file_dialog_init();
/// Asks for a file to open. On entry `file_buffer` (capacity 260 bytes) holds the default
/// pattern or name and `title_buffer` (capacity 264 bytes) the caption; on success
/// `file_buffer` holds the full path (at most 259 characters), `title_buffer` the file name
/// without its folder, the current folder becomes the file's folder, and the result is
/// non-zero. A file that does not exist is offered for creation. Cancel gives 0 and leaves
/// both buffers as they were.
int open_file_dialog(char* file_buffer, char* title_buffer, const char* initial_dir);
/// As open_file_dialog for a file to write; an existing file is confirmed before overwriting.
int save_file_dialog(char* file_buffer, char* title_buffer, const char* initial_dir);

namespace model {
/// Those of the files a command writes for the name chosen in its save dialog that exist now.
using ExistingFiles = std::function<std::vector<std::string>(const std::string& chosen)>;
/// As save_file_dialog for a command that writes files named after the one chosen (the chosen
/// one among them or not): any name is taken, new or existing; when some of the files
/// `existing_of` gives exist, one question (replace_files) under the dialog's title lists
/// them, and No asks for another name. Returns 1 with the name in file_buffer, 0 on Cancel.
int save_files_dialog(char* file_buffer, char* title_buffer, const char* initial_dir,
                      const ExistingFiles& existing_of);
/// The paths of `paths` that exist.
std::vector<std::string> existing_files(const std::vector<std::string>& paths);
/// One question under `caption` before the files `existing` are replaced: "NAME already
/// exists.\nDo you want to replace it?", or "These files already exist:" with their names (the
/// first 12, then how many more) and "Do you want to replace them?". True when the list is
/// empty (no question) or the answer is Yes.
bool replace_files(const std::vector<std::string>& existing, const char* caption);
} // namespace model
