// The trial run of the sparse orderings: a regular 2-D or 3-D node grid ordered by the method
// chosen in the "Select method" dialog, with the intermediate values and storage figures
// written to "1wd2dtest.txt" in the program folder and a summary shown in a message box.
// Nothing in the program's menu reaches it.
#pragma once

#include "platform/ui/ui.h"

/// The choices of the method dialog. Only the dimension and the method are read by the run.
struct SparseOrderOptions {
    int dimension = 0; ///< 0: 2-D grid of 30 x 15 nodes, 1: 3-D grid of 30 x 30 x 15 nodes
    /// 1 one-way dissection, 2 refined quotient tree, 3 nested dissection, 4 local nested
    /// dissection, 5 the profile ordering (the dialog's button "MD"), 6 multiple minimum degree
    /// (no button); any other value runs nothing.
    int method = 1;
    int spare[3] = {10, 10, 10};
    int spare_flag = 0;
};
extern SparseOrderOptions sparse_order_options;

/// The method dialog "Select method": radio buttons 1711 "2D" and 1712 "3D", 1713 "1WD",
/// 1714 "RQT", 1715 "GND", 1716 "LND" and 1717 "MD" (methods 1 to 5), OK and Cancel.
extern const ui::DialogTemplate SPARSEDIABOX;

/// Procedure of SPARSEDIABOX. Init sets the options to their defaults (2-D, method 1) and
/// checks those buttons; each radio button stores its value at once and checks itself in its
/// group; OK sets dialog_result to 1 and ends with 1, Cancel ends with 0 (the values clicked
/// stay).
bool SparseDiaBoxProc(ui::Dialog& dialog, ui::DialogEvent event, const ui::DialogArgs& args);

/// Runs the trial with sparse_order_options: writes "1wd2dtest.txt" in the program folder
/// (each line flushed as it is written) and shows the method's summary box. Returns 0 when the
/// method ran (an ordering's own failure flag is only printed and shown), 1 when the file
/// cannot be created ("There has been an error in creating\nthe file %s.") or work memory is
/// refused ("Insufficient memory"): no summary box then, and every vector taken is returned.
/// The message funnel places the boxes.
int sparse_order_test();
