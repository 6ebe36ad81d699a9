// Display words of the section drawings that the display state record does not hold.
#pragma once

#include <cstdint>

struct SectionDisplayState {
    std::int32_t top_margin = 0;      ///< y of the first section: 3 character heights
    std::int32_t panel_count = 1;     ///< panels of a pseudosection page: 1, or 2 with stored data
    std::int32_t point_marks = 0;     ///< 1: pseudosections mark their data points
    std::int32_t na_labels = 0;       ///< 1: pseudosection rows are labelled by n and a
    std::int32_t show_electrodes = 1; ///< 1: borehole electrodes are marked on model sections
};
extern SectionDisplayState Sectiondisplay;
