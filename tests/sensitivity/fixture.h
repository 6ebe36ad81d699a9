// Fixtures of the sensitivity tests: the global records over the headless backend with the
// palette's brushes and pens made.
#pragma once

#include "display/colours.h"
#include "model/globals.h"
#include "model/utilities.h"
#include "platform/gfx/canvas.h"
#include "platform/sys/sys.h"
#include "platform/ui/ui.h"
#include "support/session.h"

#include <gtest/gtest.h>

namespace sens_test {

/// The records of one test over the headless backend with a screen of 1024 x 768 (a client
/// area 1024 pixels wide) and the palette brushes and pens made.
struct Session : test_support::Headless {
    test_support::GlobalRecords records;
    Session() {
        backend.set_screen(1024, 768);
        rebuild_display_objects();
    }
};

} // namespace sens_test
