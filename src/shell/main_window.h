// Start and end of the window program: window creation (limits, processor, arrays, paths),
// the main window's event handlers and the close sequence.
#pragma once

#include <cstdint>

namespace gfx {
class Canvas;
}

/// What the last command left for the paint routine: `view_code` is the command's result (-1
/// from window creation until the first paint, which sets it to 0); `view_detail` is 0 from
/// window creation on.
struct MainViewState {
    std::int32_t view_code = -1;
    std::int32_t view_detail = 0;
};
extern MainViewState Mainviewstate;

namespace shell {

/// The machine the limits are taken from.
struct Machine {
    int screen_width = 1024;
    int screen_height = 768;
    std::uint64_t memory_bytes = std::uint64_t(512) * 1048576;
    /// The limits of the widest screen tier with this memory, whatever the screen (the batch,
    /// whose screen only sizes the picture it saves).
    bool widest_limits = false;
};
/// The screen of the installed backend and the physical memory of this computer.
Machine this_machine();

/// Starts the program on the installed ui backend: builds the records, creates the main window
/// (create_main_window), sets its title, menu and handlers and asks for the first paint.
/// Returns false, after the memory message, when the records or their arrays cannot be had;
/// end_program() must still run.
bool start_program(const Machine& machine);

/// Window creation on records already built: screen metrics and the off-screen canvas, the
/// program limits, the processor information, every owned array (once), the current folder
/// and the paths of the work, image and trace files, and the view state the first paint
/// recognises. Returns 0, or 1 when the arrays cannot be allocated (the memory message is
/// shown and nothing stays allocated).
int create_main_window(const Machine& machine);

/// Asked before the model is given up (`before`: "closing", "reading another model"): a model
/// edited since it was read or saved asks "Do you want to save the model before <before>?":
/// Yes saves it with "Save results in VELDARIN format" and lets it go only when the file was
/// written, No lets it go, Cancel keeps it. True when the model may be given up.
bool may_leave_model(const char* before);
/// may_leave_model before the window closes; true when it may close.
bool may_close_main_window();

/// The close sequence (the main window's destruction): writes the settings file, releases the
/// display objects and empties and deletes the sparse-structure work file.
void close_main_window();

/// Frees everything start_program took: the records (which delete their work files) and the
/// canvas. Safe to call when the start failed or was never made, and more than once.
void end_program();

/// The off-screen canvas every drawing goes to (empty before window creation): 5/4 of the
/// screen each way, growing to hold what is drawn on it and back to that size when cleared
/// whole; ProgDisplay's canvas size follows it, and the scroll ranges at the next paint.
gfx::Canvas& canvas();

} // namespace shell
