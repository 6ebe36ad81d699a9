// Broken model files past the block rows: IP values, array type, results section, topography
// and measured data. Every refusal fails the read (result 1); one after the level limit also
// leaves no data and the mesh of this model.
#include "reader_fixture.h"

using namespace reader_test;

namespace {

struct BrokenCase {
    const char* name;
    std::string text;
    std::string message;
    const char* caption;
    bool beep;
};

ModelSettings& m() {
    return shared_model();
}

std::string change(const char* fixture_name, const std::string& from, const std::string& to) {
    return replace_once(fixture_text(fixture_name), from, to);
}

// The fixture up to the line end before `at`, so that the number before it is missing.
std::string cut_line_before(const char* fixture_name, const std::string& at) {
    const std::string text = fixture_text(fixture_name);
    const std::size_t end = text.find(at);
    EXPECT_NE(end, std::string::npos) << at;
    return text.substr(0, text.rfind('\n', end - 1));
}

// The fixture up to the end of `prefix`: the numbers after it are missing.
std::string cut_after(const char* fixture_name, const std::string& prefix) {
    const std::string text = fixture_text(fixture_name);
    const std::size_t at = text.find(prefix);
    EXPECT_NE(at, std::string::npos) << prefix;
    return text.substr(0, at + prefix.size());
}

std::string without_array_line(const char* name) {
    std::string text = fixture_text(name);
    text.pop_back();
    return text.substr(0, text.rfind('\n') + 1);
}

const char* const E = "Error Message";
const char* const S = "Electrode spacing error";

// The reader's message for a file that ends after line `line` with values still to come.
std::string end_of_file(int line) {
    return "Error in model data file!\nThe file ends after line " + std::to_string(line) +
           ", before all the model values were read.\nPlease check your file format.";
}

// The reader's message for the number `word` in line `line` after the topography section.
std::string after_topography(int line, const std::string& word) {
    return "Error in model data file!\nLine " + std::to_string(line) + " holds " + word +
           " after the topography section,\nwhere only the closing zeros belong. A value\nout of "
           "place shifts the values read before it:\nan extra 0 before the topography flag, "
           "say,\nreads the flag as 0 and the model as flat.\nPlease check your file format.";
}

std::vector<BrokenCase> broken_cases() {
    const std::string last_datum = "    3.75000,     2.50000, 1.000,   1101.00,    1101.50";
    const std::string datum_14 = "\n10.0, 1.0, 111.00\n";
    return {
        // ---- IP and spectral IP (the IP header's beep comes before every message) ----
        {"chargeability above 1", change("ip_water_layers.mod", "0.01 0.02", "0.01 1.0001"),
         "You cannot have a chargeability value of greater than 1.0.\nPlease check you input "
         "model file format.",
         E, true},
        // The IP pass of a chargeability of 1 has no conductivity: it used to fail in the
        // solver with only an error code.
        {"chargeability of 1", change("ip_water_layers.mod", "0.01 0.02", "0.01 1.0"),
         "A chargeability value of 1.0 leaves the IP model without any\nconductivity. The "
         "chargeability values must be below 1.0.\nPlease check you input model file format.",
         E, true},
        {"no IP values", change("ip_water_layers.mod", "IP values\n3\n", "IP values\n0\n"),
         "Number of IP values is 0.\nYou must have at least 1 IP value.", E, true},
        {"34 IP values", change("ip_water_layers.mod", "IP values\n3\n", "IP values\n34\n"),
         "Number of IP values is 34.\nMaximum number of IP values is 33.", E, true},
        {"short IP row",
         change("ip_water_layers.mod", "0.05\n2222222222000000000011111111110000000000",
                "0.05\n222222222200000000001111111111\n"),
         "Error in model line 1.\nThis model line has only 30 values\nwhereas the earlier part "
         "of the file\nstates that there should be 80 values.",
         E, true},
        {"no tau values", change("spectral_ip.mod", "Tau\n2\n", "Tau\n0\n"),
         "Number of Tau values is 0.\nYou must have at least 1 Tau value.", E, true},
        // A negative time constant was read, and the complex solver then failed on the model.
        {"negative tau value", change("spectral_ip.mod", "Tau\n2\n", "Tau\n2\n-"),
         "Error in Tau value.\nThe Tau value for model number 1 is -0.1.\nThe time constants "
         "cannot be negative.\n",
         E, true},
        {"34 C values", change("spectral_ip.mod", "C\n2\n", "C\n34\n"),
         "Number of C values is 34.\nMaximum number of C values is 33.", E, true},
        {"C value 0", change("spectral_ip.mod", "0.25 0.5", "0.25 0.0"),
         "Error in C value.\nThe C value for model number 2 is 0.00.\nThis parameters can only "
         "have\na value of between 0 and 1.\n",
         E, true},
        {"C value 1", change("spectral_ip.mod", "0.25 0.5", "1.0 0.5"),
         "Error in C value.\nThe C value for model number 1 is 1.00.\nThis parameters can only "
         "have\na value of between 0 and 1.\n",
         E, true},
        {"chargeability below -1", change("ip_water_layers.mod", "0.01 0.02", "0.01 -1e30"),
         "You cannot have a chargeability value of less than -1.0.\nPlease check you input "
         "model file format.",
         E, true},
        {"frequency of -1 Hz", change("spectral_ip.mod", "0.5 2.0 8.0", "0.5 -1 8.0"),
         "Error in frequency value.\nThe frequency value number 2 is -1.000.\nThe frequency "
         "values must be greater than 0.\nPlease check you input model file format.",
         E, true},
        {"frequency of 0", change("spectral_ip.mod", "0.5 2.0 8.0", "0 2.0 8.0"),
         "Error in frequency value.\nThe frequency value number 1 is 0.000.\nThe frequency "
         "values must be greater than 0.\nPlease check you input model file format.",
         E, true},
        // ---- Files cut inside a list whose count or header they give ----
        {"cut after the IP header", cut_after("ip_water_layers.mod", "IP values\n"),
         end_of_file(28), E, true},
        {"cut in the chargeabilities", cut_after("ip_water_layers.mod", "IP values\n3\n0.01"),
         end_of_file(30), E, true},
        {"cut in the frequencies", cut_after("spectral_ip.mod", "Hz\n0.5 2.0"), end_of_file(62), E,
         true},
        {"cut before the equatorial offset", without_array_line("block_point.mod") + "8\n",
         end_of_file(22), E, true},
        {"one frequency", change("spectral_ip.mod", "Frequencies\n4\n", "Frequencies\n1\n"),
         "Number of frequency values is 1.\nYou must have at least 2 frequency values.", E, true},
        {"13 frequencies", change("spectral_ip.mod", "Frequencies\n4\n", "Frequencies\n13\n"),
         "Number of frequency values is 13.\nMaximum number of frequency values is 12.", E, true},
        // ---- Array type ----
        {"no array type", without_array_line("block_point.mod"),
         "Error in reading file!\nPlease check your file format.", E, true},
        {"array type as a word", without_array_line("block_point.mod") + "Wenner\n",
         "Error in reading file!\nPlease check your file format.", E, true},
        {"array code 11", without_array_line("block_point.mod") + "11\n",
         "Array number is 11.\nError in the number for the array type!\nPlease check your file "
         "format.",
         E, true},
        // Code 11 needs the number of segments of the multiple gradient after it.
        {"array code 11 without segments",
         without_array_line("block_point.mod") + "11\nMultiple gradient segments\n0\n",
         "Array number is 11.\nError in the number for the array type!\nPlease check your file "
         "format.",
         E, true},
        {"array code 12", without_array_line("block_point.mod") + "12\n",
         "Array number is 12.\nError in the number for the array type!\nPlease check your file "
         "format.",
         E, true},
        {"multiple gradient data by first electrode and spacing",
         replace_once(fixture_text("results_index.mod"), "\n3\n1\n1.0, 2.0",
                      "\n11\nM\n2\n1\n1.0, 2.0"),
         "The data of the multiple gradient array must give\nthe positions of their electrodes "
         "(general array\nformat).\nPlease check your file format.",
         E, true},
        // The gradient array drives the first and the last electrode: its C2 was moved there.
        {"gradient C2 inside the line",
         without_array_line("block_point.mod") + "9\nGradient\n0 0 0\n30 0 0\n",
         "Error in line 25!\nThe gradient array's C2 stands at x = 30 m, but\nits current "
         "electrodes are the first and the last\nelectrode of the line: with C1 at x = 0 m,\nC2 "
         "stands at x = 40 m.\nPlease check your file format.",
         E, true},
        {"array code 0", without_array_line("block_point.mod") + "0",
         "Array number is 0.\nError in the number for the array type!\nPlease check your file "
         "format.",
         E, true},
        // ---- Results section ----
        {"results without the potentials flag", fixture_text("water_one_layer.mod") + "0\n",
         "Error in reading model data file!", E, true},
        {"potential of 0", change("results_index.mod", "\n1\n1.0001000e+02 ,", "\n1\n0 ,"),
         "Error in reading potential values!\nThe output file produced by VELDARIN might\nhave "
         "been accidentally changed.",
         E, true},
        {"second potential table cut short",
         cut_line_before("results_index.mod", "\n1\n30\n1\n0\n"),
         "Error in reading file!\nPlease check your file format.", E, true},
        {"IP potential table cut short",
         cut_line_before("results_general.mod", "\n2\nGeneral array data"),
         "Error in reading file!\nPlease check your file format.", E, true},
        {"16001 data points", change("results_index.mod", "\n1\n30\n1\n0\n", "\n1\n16001\n1\n0\n"),
         "Your data set has 16001 data points.\nThis is more than the maximum limit of 16000 data "
         "points.\nPlease check your file format.",
         E, true},
        {"3 data points", change("results_index.mod", "\n1\n30\n1\n0\n", "\n1\n3\n1\n0\n"),
         "Your data set has 3 data points.\nThis is less than the minimum limit of 4 data "
         "points.\nPlease check your file format.",
         E, true},
        {"general datum of 5 electrodes", change("results_general.mod", "\n4, 8,0", "\n5, 8,0"),
         "Error in data point 4!\nNumber of electrodes is 5.\nThere can only be 2 to 4 "
         "electrodes.",
         "Data Error 10", true},
        // ---- Electrode positions (general array format): the multiple gradient's own ----
        {"multiple-gradient datum of 3 electrodes",
         change("results_general.mod", "\n4, 8,0, 18,0,", "\n3, 8,0,"),
         "Error in line 91!\nData point 4 has 3 electrodes, but a datum of\nthe multiple "
         "gradient array has 4 (C1, C2, P1, P2).",
         "Data Error 10", true},
        // They used to be read and then replaced by the Wenner data the model makes itself.
        {"electrode positions of Wenner data",
         change("results_general.mod",
                "\n11\nMultiple gradient array, number of current "
                "electrode segments\n1\n",
                "\n1\n"),
         "Error in line 82!\nThe measured data give the positions of their electrodes\n"
         "(general array format), which only a multiple gradient\nmodel (array 11) reads. The "
         "data of the Wenner Alpha array\nmust give the x, the spacing of each datum.",
         E, true},
        {"electrode between the model's electrodes",
         change("results_general.mod", "\n4, 0,0, 10,0,", "\n4, 0,0, 11,0,"),
         "Error in line 90!\nData point 3 has an electrode at x = 11, 13 from the "
         "first\nelectrode: not a whole number of unit electrode\nspacings of 2.",
         E, true},
        {"electrode beyond the last electrode",
         change("results_general.mod", "\n4, 10,0, 20,0,", "\n4, 10,0, 22,0,"),
         "Datum point 5 needs electrode number 13,\nbut the model has only 12 electrodes.\n"
         "Please check your input data file.",
         E, true},
        {"electrode used twice",
         change("results_general.mod", "18,0, 12,0, 14,0", "18,0, 8,0, 14,0"),
         "Error in line 91!\nData point 4 uses electrode 6 twice.\nThe four electrodes of a "
         "datum must differ.",
         E, true},
        {"first potential table cut short", cut_after("results_index.mod", "1.0003000e+02 ,"),
         "Error in reading file!\nPlease check your file format.", E, true},
        {"general data cut before a datum", cut_after("results_general.mod", "14,0, 90.0, 9.0\n"),
         "There is a problem in reading data point 5!\nPlease check the file format.", E, true},
        {"general data cut before the count",
         cut_after("results_general.mod", "General array "
                                          "data\n"),
         end_of_file(84), E, true},
        {"general data cut short",
         cut_after("results_general.mod", "\n4, 10,0, 20,0, 14,0, 16,0, 70.0"),
         "There is a problem in reading data point 5!\nPlease check the file format.", E, true},
        {"index data cut short", cut_after("results_index.mod", last_datum.substr(0, 42)),
         "There is a problem in reading data point 30!\nPlease check the file format.", E, true},
        // The model keeps its 2.5 m: data at 1 m need electrodes it does not have. The unit
        // spacing used to be lowered to 1 m after the depths and positions were divided by
        // 2.5 m, shrinking the model.
        {"spacing below the unit spacing",
         change("results_index.mod", last_datum, "3.75, 1.0, 1.0, 1101.0, 1101.5"),
         "The unit electrode spacing is 2.5.\nHowever the electrode spacing for datum point "
         "30\nis 1.0. The electrode spacing must be an integer\nmultiple of the unit electrode "
         "spacing!.\nPlease check your input data file.",
         S, true},
        {"spacing 0", change("results_index.mod", last_datum, "3.75, 0.0, 1.0, 1101.0, 1101.5"),
         "Datum point 30 has an electrode spacing of     0.00!\nPlease check the file format.", E,
         true},
        {"n factor 0", change("results_index.mod", last_datum, "3.75, 2.5, 0.0, 1101.0, 1101.5"),
         "Datum point 30 has an n factor of      0!\nPlease check the file format.", E, true},
        {"negative n of dipole-dipole",
         change("results_index.mod", last_datum, "3.75, 2.5, -1.0, 1101.0, 1101.5"),
         "Datum point 30 has an n factor of     -1!\nPlease check the file format.", E, true},
        {"negative resistivity",
         change("results_index.mod", last_datum, "3.75, 2.5, 1.0, -1101.0, 1101.5"),
         "Datum point 30 has a resistivity value of -1101.00!\nPlease check the file format.", E,
         true},
        {"offset pole-dipole beyond 3 spacings",
         without_array_line("block_point.mod") + "10\n3.5\n",
         "Error in spacing of current and potential\nelectrodes pairs! The offset of 3.5 is "
         "more than 3 times\nthe unit electrode spacing of 1. The potentials\nof the offset "
         "pole-dipole array cannot be\ncalculated accurately for larger offsets.",
         E, true},
        // ---- Topography and the spacing checks ----
        {"162 elevation points", change("topography.mod", "\n2\n5\n10 10\n", "\n2\n162\n10 10\n"),
         "Number of elevation data points is 162.\nThis is more than the maximum limit of 161 "
         "points.\nPlease check your file format.",
         E, false},
        {"no elevation points", change("topography.mod", "\n2\n5\n10 10\n", "\n2\n0\n10 10\n"),
         "Number of elevation data points is 0.\nYou must have at least 1 point.\nPlease check "
         "your file format.",
         E, false},
        {"cut after the elevation point count", cut_after("topography.mod", "\n2\n5\n"),
         end_of_file(72), E, true},
        {"cut after two elevation points", cut_after("topography.mod", "\n10 10\n15 11\n"),
         end_of_file(74), E, true},
        {"cut in the electrode values", cut_after("topography.mod", "\n0.1000\n0.2000\n"),
         end_of_file(81), E, true},
        {"elevation points going back",
         change("topography.mod", "\n15 11\n20 13\n", "\n15 11\n14 13\n"),
         "Error in elevation points 2 and 3.\nThe x of point 3 is 14, less than the x\nof point "
         "2, 15. The elevation points must\nbe given in order of increasing x.",
         E, false},
        {"slope steeper than 2 in 1",
         change("topography.mod", "\n2\n5\n10 10\n15 11\n", "\n1\n5\n10 10\n15 30\n"),
         "Error in the topography!\nBetween electrodes 1 and 2 the surface changes\nby 4 over "
         "a horizontal distance of 1.\nThe mesh cannot follow a slope steeper\nthan 2 in 1.",
         E, false},
        // Distances along the surface (flag 2, and any flag above it): a drop as long as its
        // surface distance, or one leaving less than half of it across between two electrodes,
        // cannot be laid out; the topography is not dropped for a flat earth either.
        {"elevation step as long as its surface distance",
         change("topography.mod", "\n15 11\n20 13\n", "\n15 11\n16 13\n"),
         "Error in elevation points 2 and 3.\nThe difference in surface distance is 1.00\nbut "
         "the difference in vertical distance  is 2.00.\nThe difference in elevation must "
         "be\nless than the surface distance.",
         E, false},
        {"flag 3 read as surface distances",
         change("topography.mod", "\n2\n5\n10 10\n15 11\n20 13\n", "\n3\n5\n10 10\n15 11\n16 13\n"),
         "Error in elevation points 2 and 3.\nThe difference in surface distance is 1.00\nbut "
         "the difference in vertical distance  is 2.00.\nThe difference in elevation must "
         "be\nless than the surface distance.",
         E, false},
        {"surface slope steeper than 2 in 1",
         change("topography.mod", "\n2\n5\n10 10\n15 11\n", "\n2\n5\n10 10\n15 14.6\n"),
         "Error in the topography!\nBetween electrodes 1 and 2 the surface changes\nby 0.92 over "
         "a surface distance of 1.\nThe mesh cannot follow a slope steeper\nthan 2 in 1.",
         E, false},
        // Points beside the line gave every electrode the end elevation: a flat earth.
        {"elevation points beside the electrodes",
         change("topography.mod", "\n10 10\n15 11\n20 13\n25 12\n29 12\n",
                "\n110 10\n115 11\n120 13\n125 12\n129 12\n"),
         "Error in the topography!\nThe elevation points lie from x = 110.0 to 129.0 m,\nbut the "
         "electrodes stand from 10.0 to 29.0 m.\nThe surface the points give does not "
         "reach\nacross two electrodes of the line.",
         E, false},
        {"spacing off the unit", change("topography.mod", datum_14, "\n10.0, 1.5, 111.00\n"),
         "The unit electrode spacing is 1.0.\nHowever the electrode spacing for datum point "
         "14\nis 1.5. The electrode spacing must be an integer\nmultiple of the unit electrode "
         "spacing!.\nPlease check your input data file.",
         S, true},
        {"spacing of 161 units", change("topography.mod", datum_14, "\n10.0, 161.0, 111.00\n"),
         "The unit electrode spacing is 1.0.\nHowever the electrode spacing for datum point "
         "14\nis 161.0. The maximum electrode spacing cannot\nbe greater than 160 times the unit "
         "electrode\nspacing. Please check your input data file.",
         S, true},
        // A number out of place before the topography flag shifts the flag and the points: the
        // model was read flat without a word. The program's own files close with zeros only.
        {"extra 0 before the topography flag",
         change("topography.mod", "\n2\n5\n10 10\n", "\n0\n2\n5\n10 10\n"),
         after_topography(73, "5"), E, true},
        {"extra 0 before the flag of horizontal distances",
         change("topography.mod", "\n2\n5\n10 10\n", "\n0\n1\n5\n10 10\n"),
         after_topography(88, "0.8000"), E, true},
        // ---- Sorting ----
        // n times the spacing off the electrodes: the value used to be formed on the next
        // electrode with the factor of n (a half off), or, below one spacing, dropped.
        {"n factor between the electrodes",
         change("results_index.mod", last_datum, "4.375, 2.5, 1.5, 1101.0, 1101.5"),
         "Datum point 30 has an n factor of 1.5 with a spacing\nof 1 unit electrode spacings: its "
         "potential\nelectrodes fall between the model's electrodes.\nn times the spacing must "
         "be a whole number.\nPlease check your input data file.",
         E, true},
        {"n factor below one spacing",
         change("results_index.mod", last_datum, "2.875, 2.5, 0.3, 1101.0, 1101.5"),
         "Datum point 30 has an n factor of 0.3 with a spacing\nof 1 unit electrode spacings: its "
         "potential\nelectrodes fall between the model's electrodes.\nn times the spacing must "
         "be a whole number.\nPlease check your input data file.",
         E, true},
        {"gradient datum on its first current electrode",
         without_array_line("block_point.mod") +
             "9\nGradient\n-1 0 0\n39 0 0\n0\n0\n2\n4\n1\n0\n1.5, 1.0, 102\n-0.5, 1.0, "
             "101\n2.5, 1.0, 103\n3.5, 1.0, 104\n0\n0\n",
         "Datum point 2 has a potential electrode on\nelectrode 1, where a current electrode of "
         "the\ngradient array stands (the first and the last\nelectrode of the line).\nPlease "
         "check your input data file.",
         E, true},
        {"data beyond the last electrode",
         change("topography.mod", datum_14, "\n10.0, 7.0, 111.00\n"),
         "Datum point 14 needs electrode number 22,\nbut the model has only 20 electrodes.\n"
         "Please check your input data file.",
         E, true},
    };
}

} // namespace

// One refusal per check: its exact message, caption and beep, error number 1 and a failed read
// wherever it stands in the file (after the level limit too, where it used to give result 0 and
// a model that was calculated as if nothing was wrong); no data are left.
TEST(BrokenData, EachCheckRefusesWithItsMessage) {
    for (const BrokenCase& c : broken_cases()) {
        SCOPED_TRACE(c.name);
        m().ndata = 99;
        const ReadOutcome out = read_text(c.text);
        EXPECT_EQ(out.result, 1);
        EXPECT_EQ(out.error, 1);
        ASSERT_EQ(out.boxes.size(), 1u);
        EXPECT_EQ(out.boxes[0].text, c.message);
        EXPECT_EQ(out.boxes[0].caption, c.caption);
        EXPECT_EQ(out.boxes[0].beeped, c.beep);
        EXPECT_EQ(out.boxes[0].flags & 0xF0, unsigned(ui::mb_iconexclamation));
        EXPECT_EQ(m().ndata, 0);
        EXPECT_FALSE(out.has_line("Reading of data file is complete."));
    }
}

// Values at the limits of the checks are read.
TEST(BrokenData, ValuesAtTheLimitsRead) {
    std::string zeros, twelve = "Frequencies\n12\nFrequency values in Hz\n";
    for (int i = 0; i < 33; ++i)
        zeros += "0.0 ";
    for (int i = 1; i <= 12; ++i)
        twelve += std::to_string(i) + " ";
    // A first grid line one spacing down, the widest equatorial offset, a slope just under 2
    // in 1 and a point repeated (true horizontal distances).
    const std::string true_distances = change("topography.mod", "\n2\n5\n", "\n1\n5\n");
    const std::string cases[] = {
        replace_once(fixture_text("block_point.mod"), "0.5 1.0 1.5 2.0", "1.0 1.5 1.75 2.0"),
        without_array_line("block_point.mod") + "8\n10.0\n",
        replace_once(true_distances, "\n10 10\n15 11\n", "\n10 10\n15 19.9\n"),
        replace_once(true_distances, "\n15 11\n20 13\n", "\n15 11\n15 11\n"),
        // Along the surface: a drop of 0.89 of the surface distance leaves just over half of it
        // across.
        change("topography.mod", "\n10 10\n15 11\n", "\n10 10\n15 14.45\n"),
        change("ip_water_layers.mod", "0.01 0.02", "0.01 0.999"),
        change("ip_water_layers.mod", "0.01 0.02", "0.01 -1.0"),
        change("ip_water_layers.mod", "IP values\n3\n0.01 0.02 0.05", "IP values\n33\n" + zeros),
        change("spectral_ip.mod", "0.25 0.5", "0.999 0.001"),
        change("spectral_ip.mod", "Frequencies\n4\nFrequency values in Hz\n0.5 2.0 8.0 32.0",
               twelve),
    };
    for (const std::string& text : cases) {
        const ReadOutcome out = read_text(text);
        EXPECT_EQ(out.result, 0);
        EXPECT_EQ(out.error, 0);
        EXPECT_TRUE(out.boxes.empty()) << (out.boxes.empty() ? "" : out.boxes[0].text);
    }
    EXPECT_EQ(m().nfreq, 12);
}

// Refused data fail the read but leave the mesh of this model: its water rows and mesh are
// those of the same file without the results section, none of the model read before.
TEST(BrokenData, RefusedDataLeaveTheModelUsable) {
    const std::string text = fixture_text("water_one_layer.mod");
    read_text(text);
    const int nx = m().nx_nodes, nz = m().nz_nodes;
    const std::vector<float> z(m().node_z, m().node_z + nx * nz);
    read_text(fixture_text("block_point.mod"));
    const ReadOutcome out = read_text(text + "0\n");
    EXPECT_EQ(out.result, 1);
    EXPECT_EQ(out.error, 1);
    EXPECT_EQ(m().nwater, 7);
    ASSERT_EQ(m().nx_nodes, nx);
    ASSERT_EQ(m().nz_nodes, nz);
    EXPECT_EQ(std::vector<float>(m().node_z, m().node_z + nx * nz), z);
    EXPECT_EQ(m().ndata, 0);
}
