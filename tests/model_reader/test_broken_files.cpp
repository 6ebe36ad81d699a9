// Broken model files: each is a fixture with one change, refused by one check with its exact
// message, caption, beep and error number; and files that are empty, missing, cut short,
// binary or hold numbers too large to read.
#include "reader_fixture.h"

#include "platform/sys/sys.h"

#include <random>

using namespace reader_test;

namespace {

struct BrokenCase {
    const char* name;
    std::string text; ///< the file
    const char* message;
    const char* caption;
    int error;
    bool beep;
};

std::string change(const char* fixture_name, const std::string& from, const std::string& to) {
    return replace_once(fixture_text(fixture_name), from, to);
}

std::string cut_before(const char* fixture_name, const std::string& at) {
    const std::string text = fixture_text(fixture_name);
    return text.substr(0, text.find(at));
}

std::string many_rows(const char* fixture_name, const std::string& rows_line, int rows) {
    return change(fixture_name, rows_line, "\n" + std::to_string(rows) + "\n");
}

// `rows` depth lines `step` apart.
std::string thin_depths(int rows, double step) {
    std::string text;
    for (int i = 1; i <= rows; ++i)
        text += std::to_string(i * step) + " ";
    return text + "\n";
}

const char* const E = "Error Message";
const char* const D = "Data Error";

std::vector<BrokenCase> broken_cases() {
    const std::string cyl_remote = "\n1.0\nFar electrodes\nC2\n-100 0\nP2\n100 0\n2\n0 40\n";
    std::string cylinder_blocks = "Cylinder\n161\n5\n0\n1.0\n2\n0 2576\n2\n16\n10 100\n165\n";
    return {
        // ---- Header and survey ----
        {"tank floor at the surface", change("tank.mod", "\n40.0\n", "\n-1.0\n"),
         "Error in the tank boundaries!\nThe Z boundary is at -1.00.\nThe depth of the tank floor "
         "must be greater than 0!",
         E, 1, true},
        {"too many electrodes", change("block_point.mod", "\n41\n8\n", "\n162\n8\n"),
         "Too many electrodes!\nMaximum number of electrodes is 161.", E, 1, true},
        {"too few electrodes", change("block_point.mod", "\n41\n8\n", "\n9\n8\n"),
         "Too few electrodes!\n,You must have at least 10 electrodes.", E, 2, true},
        {"no data levels", change("block_point.mod", "\n41\n8\n", "\n41\n0\n"),
         "Too few data levels!\nYou have 0 data levels.\nYou must have at least 1 data level.", E,
         1, true},
        {"no water layer", change("water_multi_layer.mod", "layers\n2\n", "layers\n0\n"),
         "Number of water layers is 0.\nYou must have at least 1 water layer!", E, 1, false},
        {"four water layers", change("water_multi_layer.mod", "layers\n2\n", "layers\n4\n"),
         "Number of water layers is 4.\nMaximum number of water layers allowed is 3!", E, 2, false},
        // The water's thickness is the depth of its floor: no water, less than none (read and
        // written as -2.000, its data those of +2 m), a layer above the one before it, and
        // water deeper than the single-precision depth lines can hold rows of 0.25 m apart in
        // (1e12 m was read, drawn for a minute and then refused by the solver): at most
        // 0.16 m x 2^20, less the 16 m of grid below the water.
        {"water without thickness", change("water_one_layer.mod", "20.0 0.0 20.0 1.5", "20 0 20 0"),
         "Error in line 5!\nWater layer 1 has its floor at a depth of 0 m,\ngiving it a "
         "thickness of 0 m.\nThe water layers must have a thickness greater than 0!",
         E, 1, true},
        {"water of negative thickness",
         change("water_one_layer.mod", "20.0 0.0 20.0 1.5", "20 0 20 -2.0"),
         "Error in line 5!\nWater layer 1 has its floor at a depth of -2 m,\ngiving it a "
         "thickness of -2 m.\nThe water layers must have a thickness greater than 0!",
         E, 1, true},
        {"second water layer above the first",
         change("water_multi_layer.mod", "50.0 0.0 20.0 0.8", "50.0 0.0 20.0 0.4"),
         "Error in line 10!\nWater layer 2 has its floor at a depth of 0.4 m,\ngiving it a "
         "thickness of -0.1 m.\nThe water layers must have a thickness greater than 0!",
         E, 1, true},
        {"water too deep for the mesh",
         change("water_one_layer.mod", "20.0 0.0 20.0 1.5", "20 0 20 1e12"),
         "Error in line 5!\nThe water is 1e+12 m deep. The mesh rows below it,\nas thin as "
         "0.16 m, cannot be told apart under\nso much water: it can be at most 167756 m deep.",
         E, 1, true},
        {"water over a cylinder",
         change("cylinder.mod", "\n5\n0\n1.0\n", "\n5\n1\n20 0 1 1\n1.0\n"),
         "You cannot have water layers for a cylinder model!", E, 1, true},
        {"zero spacing", change("block_point.mod", "\n0\n1.0\n2\n", "\n0\n0.0\n2\n"),
         "Error in electrode spacing\nThe electrode spacing must be greater than 0!", E, 1, true},
        {"remote electrodes of a cylinder", change("cylinder.mod", "\n1.0\n2\n0 40\n", cyl_remote),
         "You cannot have remote electrodes for a cylinder model!", E, 1, true},
        // Before, a remote electrode of any distance was read; the solvers left it out (its
        // potentials 0) beyond the fourth-outermost column of the margin.
        {"remote electrode too far off the end",
         change("remote.mod", "\n-1000.0 0.0\n", "\n-100001.0 0.0\n"),
         "The remote electrode C2 stands 100001.0 m off the electrode line.\nA remote electrode "
         "can stand at most 100000 electrode spacings\n(100000.0 m) off the line.",
         E, 1, true},
        {"remote electrode too far along strike",
         change("remote.mod", "\n1020.0 0.0\n", "\n10.0 -2.5e5\n"),
         "The remote electrode P2 stands 250000.0 m off the electrode line.\nA remote electrode "
         "can stand at most 100000 electrode spacings\n(100000.0 m) off the line.",
         E, 1, true},
        // The calculation takes N surface and borehole electrodes together: one more was read
        // and the calculation then stopped with code -2.
        {"borehole electrodes beyond the limit",
         replace_once(
             change("borehole_inclined.mod", "\n21\n6\n0\n1.0\nFar", "\n159\n6\n0\n1.0\nFar"),
             "\n0 80\n2\n4\n", "\n0 80\n2\n2\n"),
         "Too many electrodes!\nError in line 22: the model has 159 surface and 3 borehole\n"
         "electrodes, 162 in all, but at most 161 electrodes can be used.",
         E, 1, true},
        // ---- Grid ----
        {"cylinder without depths", change("cylinder.mod", "\n1.0\n2\n0 40\n", "\n1.0\n0\n0 40\n"),
         "You must specify the depths for a cylinder model!", E, 1, true},
        {"too many resistivities", change("block_point.mod", "\n1 8\n11\n", "\n1 8\n34\n"),
         "Too many model resistivity values!\nMaximum number of resistivity values is 33.", E, 1,
         true},
        {"no resistivities", change("block_point.mod", "\n1 8\n11\n", "\n1 8\n0\n"),
         "Too few model resistivity values!\nYou must have at least 1 resistivity value.", E, 1,
         true},
        {"three nodes per spacing", change("block_point.mod", "\n11\n4\n", "\n11\n3\n"),
         "Wrong number of nodes per electrode spacing set at 3!\nYou can only use 2 or 4 nodes per "
         "electrode spacing!",
         E, 1, true},
        {"cylinder block offset", change("cylinder.mod", "\n0 40\n", "\n1 40\n"),
         "The first block offset must be 0 for a cylinder model!", E, 1, true},
        {"cylinder block count", change("cylinder.mod", "\n0 40\n", "\n0 39\n"),
         "You must specify the resistivity of\nall the blocks for a cylinder model!\nFor this "
         "model you must have 40 blocks.\n",
         E, 2, true},
        {"negative resistivity", change("block_point.mod", "10 20 30", "10 -20 30"),
         "You cannot have a zero or negative resistivity value!\nPlease check you input model "
         "file format.",
         E, 1, true},
        {"resistivity above 2000000", change("block_point.mod", "10 20 30", "10 2000001 30"),
         "Resistivity value cannot be more than 2000000!\nPlease check you input model file "
         "format.",
         E, 2, true},
        // 1e-40 is a float denormal: its conductivity is infinite and the solvers failed with
        // only an error code.
        {"resistivity below 1e-30", change("block_point.mod", "10 20 30", "10 1e-40 30"),
         "Resistivity value cannot be less than 1e-30!\nPlease check you input model file "
         "format.",
         E, 2, true},
        {"water of zero resistivity", change("water_one_layer.mod", "20.0 0.0 20.0", "0 0 20"),
         "You cannot have a zero or negative resistivity value!\nPlease check you input model "
         "file format.",
         E, 1, true},
        {"eight grid rows", many_rows("block_point.mod", "\n9\n0.5 1.0", 8) + "0.5 1.0",
         "Too few model grid rows!\nYou must have at least 9 vertical rows of blocks.", E, 1, true},
        {"grid rows of the node-row limit",
         many_rows("block_point.mod", "\n9\n0.5 1.0", 165) + "0.5 1.0",
         "Too many model grid rows!\nYou cannot have more than 164 vertical rows of blocks.", E, 2,
         true},
        {"three cylinder rings", change("cylinder.mod", "\n4\n10 8", "\n3\n10 8"),
         "Too few model grid rows for cylinder model!\nYou must have at least 4 vertical rows of "
         "blocks.",
         E, 3, true},
        {"too many cylinder rings", change("cylinder.mod", "\n4\n10 8", "\n166\n10 8"),
         "Too many model grid rows!\nYou cannot have more than 165 vertical rows of blocks.", E, 4,
         true},
        {"grid rows without room for water and floor",
         tank_text_with_rows(153, "160\n1\n40 0 10 60", "4000.0"),
         "Too many model grid rows!\nWith its water layers, tank floor and 83 node columns\nthis "
         "model can have at most 152 vertical rows of blocks.",
         E, 2, true},
        {"node columns beyond the limit",
         replace_once(change("block_point.mod", "\n41\n8\n", "\n161\n8\n"), "\n11\n4\n",
                      "\n11\n6\n"),
         "Too many mesh node columns!\nThis model needs 1003 node columns, but the maximum\nnumber "
         "of node columns is 687. Please use fewer\nnodes per electrode spacing or fewer "
         "electrodes.",
         E, 1, true},
        {"sixteen nodes per spacing on 41 electrodes",
         change("block_point.mod", "\n11\n4\n", "\n11\n16\n"),
         "Too many mesh node columns!\nThis model needs 703 node columns, but the maximum\nnumber "
         "of node columns is 687. Please use fewer\nnodes per electrode spacing or fewer "
         "electrodes.",
         E, 1, true},
        {"cylinder of too many blocks", "Cylinder\n" + cylinder_blocks,
         "Too many model blocks for a cylinder model!\nThis model needs 425040 blocks, but the "
         "maximum\nnumber of blocks is 115934.",
         E, 2, true},
        {"no blocks in a row", change("block_point.mod", "\n1 8\n", "\n1 0\n"),
         "Wrong number of blocks in a model row: 0!\nA model row must have at least 1 block.", E, 1,
         true},
        {"blocks left of the mesh", change("block_point.mod", "\n1 8\n", "\n-25 8\n"),
         "The first block offset of -25 with 8 blocks a row\nputs the model blocks outside the "
         "mesh! The blocks\ntake the cell columns -5 to 2, but the mesh\nhas the cell columns 1 "
         "to 198.",
         E, 1, true},
        {"blocks right of the mesh", change("block_point.mod", "\n1 8\n", "\n180 8\n"),
         "The first block offset of 180 with 8 blocks a row\nputs the model blocks outside the "
         "mesh! The blocks\ntake the cell columns 200 to 207, but the mesh\nhas the cell columns "
         "1 to 198.",
         E, 1, true},
        // More blocks than the electrode line has cells stand in the margins, but no further.
        {"more blocks than the mesh holds", change("block_point.mod", "\n1 8\n", "\n-19 200\n"),
         "The first block offset of -19 with 200 blocks a row\nputs the model blocks outside the "
         "mesh! The blocks\ntake the cell columns 1 to 200, but the mesh\nhas the cell columns 1 "
         "to 198.",
         E, 1, true},
        {"tank wall outside the mesh", change("tank.mod", "-6.0 28.0", "-6.0 2800.0"),
         "Error in the tank boundaries!\nThe X boundaries are at -6.00 and 2800.00.\nThey must "
         "lie inside the model mesh, the left one first,\nwith at least one mesh column between "
         "them.",
         E, 1, true},
        {"tank walls swapped", change("tank.mod", "-6.0 28.0", "28.0 -6.0"),
         "Error in the tank boundaries!\nThe X boundaries are at 28.00 and -6.00.\nThey must lie "
         "inside the model mesh, the left one first,\nwith at least one mesh column between "
         "them.",
         E, 1, true},
        {"depths not increasing", change("block_point.mod", "0.5 1.0 1.5", "0.5 0.5 1.5"),
         "Error in depth of grid lines!\nDepth of grid lines must be given in increasing depth!", E,
         1, true},
        {"depth step too large",
         change("block_point.mod", "0.5 1.0 1.5 2.0 2.75 3.5 4.5 5.5 7.0",
                "1 2 25 26 27 28 29 "
                "30 31"),
         "Error in depth of grid lines!\nDepth value number 3 seems to be too large.", E, 2, true},
        {"first grid line deeper than the spacing",
         change("block_point.mod", "0.5 1.0 1.5 2.0", "1.01 1.5 1.75 2.0"),
         "Error in depth of grid lines!\nThe first grid line is 1.01 below the surface,\ndeeper "
         "than the unit electrode spacing of 1.\nThe mesh could not follow the potential "
         "between\nneighbouring electrodes.",
         E, 3, true},
        {"grid too thin to be deepened",
         change("block_point.mod", "\n9\n0.5 1.0 1.5 2.0 2.75 3.5 4.5 5.5 7.0\n",
                "\n160\n" + thin_depths(160, 1e-4)),
         "Error in depth of grid lines!\nDeepened as far as 165 grid lines allow, the mesh\n"
         "reaches 0.017 below the surface, less than half\nof the 25 that the data levels need."
         "\nPlease use fewer or thicker rows of blocks.",
         E, 4, true},
        {"radii not decreasing", change("cylinder.mod", "10 8 6 4", "10 8 9 4"),
         "Error in radius of grid lines!\nRadius of grid lines must be given in decreasing "
         "values!",
         E, 3, true},
        {"radius step too large", change("cylinder.mod", "10 8 6 4", "10 9.9 9.8 1"),
         "Error in depth of grid lines!\nDepth value number 4 seems to be too large.", E, 4, true},
        {"outer radius zero", change("cylinder.mod", "10 8 6 4", "0 8 6 4"),
         "Error in radius of grid lines!\nRadius of grid lines must be greater than 0!", E, 3,
         true},
        // ---- Boreholes ----
        {"boreholes in a cylinder", change("cylinder.mod", "10 8 6 4\n", "10 8 6 4\nBoreholes\n"),
         "You cannot have boreholes in a cylinder model.", D, 1, true},
        {"boreholes without depths", change("default_depths.mod", "\n11\n", "\n11\nboreholes\n"),
         "To include boreholes in your model,\nyou must specify the depth of the grid lines.", D, 2,
         true},
        {"31 boreholes", change("borehole_vertical.mod", "boreholes\n2\n", "boreholes\n31\n"),
         "The number of boreholes is 31!\nMaximum number allowed is 30!\n", D, 3, true},
        {"negative borehole count",
         change("borehole_vertical.mod", "boreholes\n2\n", "boreholes\n-1\n"),
         "The number of boreholes is -1!\nIt cannot be negative!\n", D, 3, true},
        {"33 electrodes in a borehole",
         change("borehole_vertical.mod", "Borehole 1\n3\n", "Borehole 1\n33\n"),
         "Maximum number of electrodes\nin a borehole is 32.", D, 4, true},
        {"negative electrode count",
         change("borehole_vertical.mod", "Borehole 1\n3\n", "Borehole 1\n-3\n"),
         "Number of electrodes in borehole 1 is -3.\nIt cannot be negative!", D, 4, true},
        {"vertical borehole not vertical", change("borehole_vertical.mod", "5.0 8.0", "5.5 8.0"),
         "The x-locations of electrodes 1 and\n2 in borehole 1 are not the same!\nSorry, this "
         "program presently only\nsupports vertical boreholes.",
         D, 5, true},
        {"borehole electrode above the one before",
         change("borehole_vertical.mod", "5.0 9.0", "5.0 7.0"),
         "The z-location of borehole 1 electrode\nnumber 2 is less than that of the\nprevious "
         "electrode. The borehole electrodes\nin the data file must be arranged\nin ascending "
         "order for the z-locations.",
         D, 6, true},
        {"borehole electrodes at one depth", change("borehole_vertical.mod", "5.0 8.0", "5.0 4.0"),
         "The z-location of borehole 1 electrode\nnumber 1 is the same as that of the\nprevious "
         "electrode! The borehole electrodes\ncannot have the same z-locations.",
         D, 7, true},
        {"later borehole electrode above ground",
         change("borehole_inclined.mod", "5.5 2.0", "5.5 -2.0"),
         "Depth of first borehole electrode 2 is -2.00.\nThe depth to a borehole electrode "
         "cannot\nbe zero or negative!",
         D, 8, true},
        {"first electrode of the second borehole at the surface",
         change("borehole_vertical.mod", "12.5 1.0", "12.5 0.0"),
         "The depth to the borehole electrode\ncannot be zero or negative!", D, 9, true},
        {"borehole off the node columns",
         change("borehole_vertical.mod", "5.0 4.0\n5.0 8.0\n5.0 9.0", "5.1 4.0\n5.1 8.0\n5.1 9.0"),
         "The x-location for electrode number 1\nin borehole 1 does not fall on a mesh line.", E,
         10, true},
        {"borehole left of the first electrode",
         change("borehole_vertical.mod", "5.0 4.0\n5.0 8.0\n5.0 9.0",
                "-1.0 4.0\n-1.0 8.0\n-1.0 9.0"),
         "The x-location for electrode number 1\nin borehole 1 does not fall on a mesh line.", E,
         10, true},
        {"borehole electrode between depth lines",
         change("borehole_vertical.mod", "5.0 9.0", "5.0 9.5"),
         "The z-location for electrode number 3\nin borehole 1 does not fall on a mesh line.", E,
         11, true},
        {"inclined borehole outside the mesh",
         change("borehole_inclined.mod", "6.1 3.0", "6100.0 3.0"),
         "Borehole electrode 3 at x = 6100.00 and depth 3.00\nlies outside the model mesh.", D, 12,
         true},
        // ---- Block rows ----
        {"short block row", change("block_point.mod", "11111111\n", "1111111\n"),
         "Error in model line 2.\nThis model line has only 7 values\nwhereas the earlier part of "
         "the file\nstates that there should be 8 values.",
         E, 1, true},
        {"file ends in the last block row", change("block_point.mod", "89abcdef\n1\n", "89abcdef"),
         "Error in model line 9.\nThe end of the file was reached before\nall the model "
         "information was read in.",
         E, 1, true},
        {"short cylinder row",
         change("cylinder.mod", "0000000000111111111100000000001111111111\n",
                "000000000011111111110000000000111111111\n"),
         "Error in model line 1", E, 1, true},
        // ---- Files cut short, text for numbers, numbers too large ----
        // The reader names the line where the file ends or where text stands for a number,
        // never a check of values the file does not hold.
        {"cut after the header", "Block model\n",
         "Error in model data file!\nThe file ends after line 1, before all the model values "
         "were read.\nPlease check your file format.",
         E, 1, true},
        {"not a model file", "hello world",
         "Error in model data file!\nThe file ends after line 1, before all the model values "
         "were read.\nPlease check your file format.",
         E, 1, true},
        {"cut in the depths", cut_before("block_point.mod", " 2.0 2.75"),
         "Error in model data file!\nThe file ends after line 12, before all the model values "
         "were read.\nPlease check your file format.",
         E, 1, true},
        {"a word for the electrode count", change("block_point.mod", "\n41\n8\n", "\nforty\n8\n"),
         "Error in model data file!\nLine 2 holds \"forty\" where a number belongs.\nPlease "
         "check your file format.",
         E, 1, true},
        {"a word among the depths", change("block_point.mod", "0.5 1.0 1.5", "0.5 one 1.5"),
         "Error in model data file!\nLine 12 holds \"one\" where a number belongs.\nPlease "
         "check your file format.",
         E, 1, true},
        // A token is one number or none: its leading digits are not read for it, and a count
        // holds no fraction (25.7 electrodes were read as 25).
        {"an exponent without digits", change("block_point.mod", "10 20 30", "10 1e 30"),
         "Error in model data file!\nLine 10 holds \"1e\" where a number belongs.\nPlease "
         "check your file format.",
         E, 1, true},
        {"a depth of two points", change("block_point.mod", "0.5 1.0 1.5", "0.5 1.0.1 1.5"),
         "Error in model data file!\nLine 12 holds \"1.0.1\" where a number belongs.\nPlease "
         "check your file format.",
         E, 1, true},
        {"electrodes with a fraction", change("block_point.mod", "\n41\n8\n", "\n25.7\n8\n"),
         "Error in model data file!\nLine 2 holds 25.7 where a whole number belongs.\nPlease "
         "check your file format.",
         E, 1, true},
        {"nodes per spacing with a fractional exponent",
         change("block_point.mod", "\n11\n4\n", "\n11\n4.5e0\n"),
         "Error in model data file!\nLine 9 holds 4.5e0 where a whole number belongs.\nPlease "
         "check your file format.",
         E, 1, true},
        {"spacing too large for a float",
         change("block_point.mod", "\n0\n1.0\n2\n", "\n0\n1e39\n2\n"),
         "Error in model data file!\nThe number in line 5 is too large.\nPlease check your file "
         "format.",
         E, 1, true},
        {"electrode count beyond 32 bits",
         change("block_point.mod", "\n41\n8\n", "\n99999999999999\n8\n"),
         "Too many electrodes!\nMaximum number of electrodes is 161.", E, 1, true},
        {"resistivity far too large", change("block_point.mod", "10 20 30", "10 1e300 30"),
         "Error in model data file!\nThe number in line 10 is too large.\nPlease check your file "
         "format.",
         E, 1, true},
    };
}

} // namespace

// One refusal per check: its exact message and caption, the beep before it (or none), the
// error number and result 1.
TEST(BrokenFiles, EachCheckRefusesWithItsMessage) {
    for (const BrokenCase& c : broken_cases()) {
        SCOPED_TRACE(c.name);
        const ReadOutcome out = read_text(c.text);
        EXPECT_EQ(out.result, 1);
        EXPECT_EQ(out.error, c.error);
        ASSERT_EQ(out.boxes.size(), 1u);
        EXPECT_EQ(out.boxes[0].text, c.message);
        EXPECT_EQ(out.boxes[0].caption, c.caption);
        EXPECT_EQ(out.boxes[0].beeped, c.beep);
        EXPECT_EQ(out.boxes[0].flags & 0xF0, unsigned(ui::mb_iconexclamation));
        EXPECT_FALSE(out.has_line("Reading of data file is complete."));
    }
}

// The summary line of a value is written before its check.
TEST(BrokenFiles, SummaryComesBeforeTheRefusal) {
    const ReadOutcome out = read_text(change("block_point.mod", "\n41\n8\n", "\n9\n8\n"));
    EXPECT_TRUE(out.has_line("Number of electrodes is 9."));
    const ReadOutcome depths = read_text(change("block_point.mod", "0.5 1.0 1.5", "0.5 0.5 1.5"));
    EXPECT_TRUE(depths.has_line("   0.50   0.50"));
}

TEST(BrokenFiles, EmptyMissingAndUnreadableFiles) {
    ReadOutcome out = read_text("");
    EXPECT_EQ(out.result, 1);
    ASSERT_EQ(out.boxes.size(), 1u);
    EXPECT_EQ(out.boxes[0].text, "Model data file error!\nThis file appears to be empty.");
    EXPECT_EQ(out.boxes[0].caption, "Error Message");
    EXPECT_TRUE(out.summary.empty());

    const std::string missing = std::string(VELDARIN_TEST_DATA) + "/fixtures/no_such.mod";
    out = read_model(missing);
    EXPECT_EQ(out.result, 1);
    ASSERT_EQ(out.boxes.size(), 1u);
    EXPECT_EQ(out.boxes[0].text,
              "Model data file error!\nThe file " + missing + "\ncannot be opened.");

    out = read_model(std::string(VELDARIN_TEST_DATA) + "/fixtures");
    EXPECT_EQ(out.result, 1);
    ASSERT_EQ(out.boxes.size(), 1u);
    EXPECT_NE(out.boxes[0].text.find("cannot be opened."), std::string::npos);

    // No page memory left for the file text.
    sys::set_page_budget(sys::page_bytes_in_use());
    out = read_model(fixture("block_point.mod"));
    sys::set_page_budget(-1);
    EXPECT_EQ(out.result, 1);
    ASSERT_EQ(out.boxes.size(), 1u);
    EXPECT_EQ(out.boxes[0].text,
              "Problem in allocating memory for this file!\nPress any key to continue.");
}

// Bytes of every value and every cut of a good file: always one refusal or a complete read,
// never more than one message.
TEST(BrokenFiles, BinaryAndCutFilesGiveOneMessage) {
    std::mt19937 random(12345);
    for (int trial = 0; trial < 30; ++trial) {
        std::string bytes(std::size_t(1 + random() % 600), '\0');
        for (char& b : bytes)
            b = char(random() % 256);
        const ReadOutcome out = read_text(bytes);
        EXPECT_EQ(out.result, 1);
        EXPECT_EQ(out.boxes.size(), 1u);
    }
    const std::string good = fixture_text("borehole_inclined.mod");
    for (std::size_t cut = 1; cut < good.size(); cut += 7) {
        const ReadOutcome out = read_text(good.substr(0, cut));
        EXPECT_LE(out.boxes.size(), 1u) << cut;
        EXPECT_EQ(out.result == 0, out.boxes.empty()) << cut;
    }
}
