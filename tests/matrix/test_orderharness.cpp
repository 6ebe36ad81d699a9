// The ordering trial run: its dialog answered through the headless backend, the file and the
// summary box of every method on the 2-D and the 3-D grid, and the file and memory failures.
#include "matrix/orderharness.h"

#include "model/globals.h"
#include "platform/sys/sys.h"
#include "support/files.h"
#include "support/session.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using test_support::Headless;
using test_support::read_file;
using test_support::TempDir;

// The program folder of one test, put back afterwards.
struct ProgramFolder {
    TempDir dir{"vd_ordertrial"};
    std::string saved = sys::program_dir();
    ProgramFolder() { sys::set_program_dir(dir.path); }
    ~ProgramFolder() { sys::set_program_dir(saved); }
    std::string output() const { return read_file(dir.file("1wd2dtest.txt")); }
};

// Chooses the grid and the method in the dialog, as a user would.
void choose(Headless& ui, const std::string& clicks) {
    ui.answer("dialog SPARSEDIABOX " + clicks + " ok");
    ASSERT_EQ(ui::run_dialog(SPARSEDIABOX, SparseDiaBoxProc), 1);
    EXPECT_EQ(dialog_result, 1);
    EXPECT_TRUE(ui.answered()) << ui.err.str();
}

TEST(OrderTrial, DialogStoresItsChoices) {
    Headless ui;
    sparse_order_options.method = 4;
    sparse_order_options.dimension = 1;
    choose(ui, ""); // init puts back 2-D and the first method
    EXPECT_EQ(sparse_order_options.dimension, 0);
    EXPECT_EQ(sparse_order_options.method, 1);
    choose(ui, "click 1712 click 1716 click 1714");
    EXPECT_EQ(sparse_order_options.dimension, 1);
    EXPECT_EQ(sparse_order_options.method, 2);
    choose(ui, "click 1712 click 1711 click 1717");
    EXPECT_EQ(sparse_order_options.dimension, 0);
    EXPECT_EQ(sparse_order_options.method, 5);
    // Cancel ends the dialog with 0; what was clicked stays.
    dialog_result = 0;
    ui.answer("dialog SPARSEDIABOX click 1715 cancel");
    EXPECT_EQ(ui::run_dialog(SPARSEDIABOX, SparseDiaBoxProc), 0);
    EXPECT_EQ(dialog_result, 0);
    EXPECT_EQ(sparse_order_options.method, 3);
}

struct MethodCase {
    const char* clicks; // method button; "" for the minimum-degree run (no button)
    int method;
    const char* box;   // start of the summary box
    const char* lines; // a line the method writes
};

TEST(OrderTrial, EveryMethodWritesItsFileAndShowsItsBox) {
    const MethodCase methods[] = {
        {"click 1713", 1, "[1WD Message] nx 30 ny %d nz 15 neqns %d\\nmaxnz ", "\nNBLKS "},
        {"click 1714", 2, "[1WD Message] nx 30 ny %d nz 15 neqns %d\\nmaxnz ", "\nfnofnzs\nRQT "},
        {"click 1715", 3, "[ND Message] nx 30 ny %d nz 15  neqns %d\\nTotal primary storage ",
         "\nND xlnz  xnzsub\n"},
        {"click 1716", 4, "[LND Message] nx 30 ny %d nz 15 neqns %d\\nLND flag 0\\n",
         "\nLND method sf flag 0\n"},
        {"click 1717", 5, "[Profile Message] nx 30 ny %d nz 15\\nBand method %d\\nNew profile ",
         ""},
        {"", 6, "[MD Message] nx 30 nz 15 neqns %d\\nflag 0\\n", "\nMD method\n"}};
    for (int dimension : {0, 1}) {
        const int ny = dimension == 0 ? 1 : 30, neqns = 450 * ny;
        const long band = dimension == 0 ? 7200 : 6291000;
        for (const MethodCase& m : methods) {
            SCOPED_TRACE(testing::Message() << "dimension " << dimension << " method " << m.method);
            ProgramFolder folder;
            Headless ui;
            choose(ui, std::string(dimension == 0 ? "click 1711 " : "click 1712 ") + m.clicks);
            if (m.method == 6) sparse_order_options.method = 6;
            ASSERT_EQ(sparse_order_test(), 0);

            char box[200];
            if (m.method == 6)
                std::snprintf(box, sizeof box, m.box, neqns);
            else if (m.method == 5)
                std::snprintf(box, sizeof box, m.box, ny, int(band));
            else
                std::snprintf(box, sizeof box, m.box, ny, neqns);
            const std::string shown = ui.output();
            EXPECT_EQ(shown.rfind("BOX ", 0), 0u) << shown;
            EXPECT_NE(shown.find(box), std::string::npos) << shown;
            EXPECT_EQ(shown.find("BOX", 1), std::string::npos) << shown; // one box

            const std::string text = folder.output();
            char head[200];
            std::snprintf(head, sizeof head,
                          "nx 30 ny %d nz 15 neqns %d\nneqns %d n1 %ld\nnband %ld\nseting adj %s "
                          "%d\n\nnx 30 ny %d nz 15  neqns %d\n",
                          ny, neqns, neqns, band / neqns - 1, band, dimension == 0 ? "2d" : "3d",
                          neqns, ny, neqns);
            EXPECT_EQ(text.rfind(head, 0), 0u) << text.substr(0, 300);
            EXPECT_NE(text.find(m.lines), std::string::npos) << m.lines;
            if (m.method <= 3 || m.method == 6) {
                const std::string band_line = "Band storage " + std::to_string(band) + "\n";
                EXPECT_NE(text.find(band_line), std::string::npos);
            }
            if (m.method == 2) {
                EXPECT_EQ(text.find("****"), std::string::npos);
                EXPECT_EQ(text.find("Missing"), std::string::npos);
                EXPECT_NE(text.find("set nodlvl\nstart stack \n"), std::string::npos);
            }
        }
    }
}

TEST(OrderTrial, UnwritableFolderShowsTheCreationMessageAndNoSummary) {
    const std::string saved = sys::program_dir();
    sys::set_program_dir("/nonexistent-veldarin-folder/");
    Headless ui;
    sparse_order_options = SparseOrderOptions{};
    EXPECT_EQ(sparse_order_test(), 1);
    sys::set_program_dir(saved);
    EXPECT_EQ(ui.output(), "BEEP\nBOX [Error Message] There has been an error in creating\\nthe "
                           "file /nonexistent-veldarin-folder/1wd2dtest.txt.\n");
}

TEST(OrderTrial, RefusedMemoryShowsTheMessageAndReturnsEverything) {
    ProgramFolder folder;
    for (int method = 1; method <= 6; ++method) {
        SCOPED_TRACE(testing::Message() << "method " << method);
        sparse_order_options = SparseOrderOptions{};
        sparse_order_options.method = method;
        // Budgets from nothing upward until the run completes: every shorter one fails
        // cleanly at some allocation.
        bool completed = false;
        for (int pages = 0; pages < 200 && !completed; pages += 2) {
            Headless ui;
            const long long before = sys::page_bytes_in_use();
            sys::set_page_budget(before + pages * 4096LL);
            const int result = sparse_order_test();
            sys::set_page_budget(-1);
            EXPECT_EQ(sys::page_bytes_in_use(), before);
            const std::string shown = ui.output();
            if (result == 0) {
                completed = true;
                EXPECT_EQ(shown.find("Insufficient memory"), std::string::npos);
            } else {
                EXPECT_EQ(shown, "BEEP\nBOX [Message] Insufficient memory\n") << pages;
            }
        }
        EXPECT_TRUE(completed);
    }
}

} // namespace
