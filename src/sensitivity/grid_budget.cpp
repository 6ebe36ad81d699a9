// What a sensitivity grid takes, and the progress of its loops.
#include "sensitivity/grid_budget.h"

#include "model/globals.h"
#include "model/services.h"
#include "model/text_format.h"
#include "model/utilities.h"
#include "platform/sys/sys.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace sens {

bool grid_fits(const GridNeeds& needs) {
    const double memory = double(sys::free_memory_bytes());
    const bool files = needs.disk > 0.0;
    double disk = files ? double(sys::free_disk_bytes(needs.folder)) : 0.0;
    if (disk < 0.0) disk = needs.disk; // a file system that does not tell
    if (needs.memory <= memory && (!files || needs.disk <= disk)) return true;
    const double mb = 1.0 / (1 << 20);
    std::string text;
    if (!(needs.points < 1e15))
        text = "The sensitivity grid has more than 1e15 points: no memory holds it.";
    else if (files)
        model::appendf(text,
                       "The sensitivity grid of %.0f points is too large:\nits arrays need %.1f MB "
                       "of memory and its files %.1f MB of disk space in\n%s,\nand %.1f MB of "
                       "memory and %.1f MB of disk space are free.",
                       needs.points, needs.memory * mb, needs.disk * mb, needs.folder.c_str(),
                       memory * mb, disk * mb);
    else
        model::appendf(text,
                       "The sensitivity grid of %.0f points is too large:\nits arrays need %.1f MB "
                       "of memory, and %.1f MB are free.",
                       needs.points, needs.memory * mb, memory * mb);
    text += "\nA coarser spacing or a smaller range needs less.";
    model::show_message(text.c_str(), "Message");
    return false;
}

std::string folder_of(const std::string& path) {
    const std::size_t cut = path.find_last_of('/');
    if (cut == std::string::npos) return ".";
    return cut == 0 ? std::string("/") : path.substr(0, cut);
}

double surfer_file_bytes(double lines, double header, const char* widest_x, const char* widest_y,
                         const char* widest_value) {
    const double line =
        double(std::strlen(widest_x) + std::strlen(widest_y) + std::strlen(widest_value) + 3);
    return header + lines * line;
}

bool LoopProgress::stopped(double done, double total) {
    if (stopped_) return true;
    const double now = sys::wall_seconds();
    if (last_ >= 0.0 && now - last_ < 0.1) return false;
    last_ = now;
    const double fraction = total > 0.0 ? std::clamp(done / total, 0.0, 1.0) : 0.0;
    char text[600];
    std::snprintf(text, sizeof text, "%s - %5.1f%% completed", text_.c_str(), 100.0 * fraction);
    update_status(text, round_to_int(float(fraction * Statuswind.bar_width)));
    stopped_ = check_user_abort() != 0;
    return stopped_;
}

void stopped_message(const char* what, const char* kept) {
    std::string text = std::string(what) + " stopped by the user.";
    if (kept && *kept) text += std::string("\n") + kept;
    model::show_message(text.c_str(), "Message");
    update_status("", 0);
}

} // namespace sens
