// What a sensitivity grid takes, weighed before anything of it is computed, and the progress and
// the user's break of its long loops.
#pragma once

#include <string>

namespace sens {

/// What a grid needs: its points, the bytes of the arrays held while it is computed and drawn,
/// and the bytes of the files it writes into `folder` (0 and "" when it writes none).
struct GridNeeds {
    double points = 0.0;
    double memory = 0.0;
    double disk = 0.0;
    std::string folder;
};

/// True when the free memory (sys::free_memory_bytes) holds the arrays and the free space of
/// the folder's file system (sys::free_disk_bytes; one it cannot tell is taken to hold them) the
/// files. Otherwise false after the box (caption "Message") that names the grid's points, what
/// it needs and what is free: "The sensitivity grid of %.0f points is too large:\nits arrays
/// need %.1f MB of memory, and %.1f MB are free." or, with files, "... its arrays need %.1f MB
/// of memory and its files %.1f MB of disk space in\n%s,\nand %.1f MB of memory and %.1f MB of
/// disk space are free." ("The sensitivity grid has more than 1e15 points: no memory holds
/// it." for a count beyond that or none), then "\nA coarser spacing or a smaller range needs
/// less.".
bool grid_fits(const GridNeeds& needs);

/// The folder of a file path ("." for a bare name).
std::string folder_of(const std::string& path);

/// Bytes of a Surfer data file of `lines` lines of three numbers, the widest of which print as
/// the `widest` texts, and its header of `header` bytes.
double surfer_file_bytes(double lines, double header, const char* widest_x, const char* widest_y,
                         const char* widest_value);

/// The progress of a long loop of a command and the user's break. stopped(done, total) shows
/// "<text> - %5.1f%% completed" with the status bar, at most every tenth of a second (and at the
/// first call), and is true from the first time the break keys (Esc, Q, q, also typed ahead
/// since the command started) or a close request are seen.
class LoopProgress {
  public:
    explicit LoopProgress(std::string text) : text_(std::move(text)) {}
    bool stopped(double done, double total);
    /// Whether a call of stopped() saw the break.
    bool was_stopped() const { return stopped_; }

  private:
    std::string text_;
    double last_ = -1.0;
    bool stopped_ = false;
};

/// The box of a loop stopped by the user: "%s stopped by the user.\n%s" under "Message", with
/// `what` ("The sensitivity calculation") and what was kept (`kept`, may be "").
void stopped_message(const char* what, const char* kept);

} // namespace sens
