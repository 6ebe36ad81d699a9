// A spectral cylinder model in the window program: the calculation draws its cylinder sections,
// the display its pseudosections with the IP, time-constant and exponent cylinders at the
// frequency chosen, in both display modes.
#include "fixture.h"

#include "display/display_commands.h"

#include <gtest/gtest.h>

#include <string>

namespace sections_test {
namespace {

class CylinderDisplay : public SectionsProgram {
  protected:
    void read_spectral_cylinder() {
        answer("file " + std::string(VELDARIN_SOURCE_DIR) +
               "/tests/forward/fixtures/spectral_cylinder.mod");
        command(101);
        ASSERT_EQ(Modelsettings.model_read, 1) << take_output();
        take_output();
        take_texts();
    }
    // The display with OK for every dialog it opens.
    std::string display() {
        for (const std::string& name : display_dialogs(Modelsettings))
            answer("dialog " + name + " ok");
        command(111);
        EXPECT_TRUE(answered()) << take_output();
        return take_texts();
    }
};

TEST_F(CylinderDisplay, SpectralPagesAndCylindersInBothModes) {
    start();
    read_spectral_cylinder();
    command(130);
    ASSERT_EQ(Modelsettings.data_ready, 1) << take_output();
    std::string texts = take_texts();
    EXPECT_NE(texts.find("Cylinder resistivity model\n"), std::string::npos) << texts;
    EXPECT_NE(texts.find("Cylinder IP model\n"), std::string::npos) << texts;

    Progdisplay.ip_display_mode = 0;
    texts = display();
    for (const char* title :
         {"Resistivity model\n", "Cylinder IP model\n", "Cylinder Tau model\n",
          "Cylinder C model\n", "mV/V (Inphase at 1.000 Hz)", "mV/V (Outphase at 1.000 Hz)"})
        EXPECT_NE(texts.find(title), std::string::npos) << title << "\n" << texts;

    // Amplitude and phase at the second frequency: the resistivity levels, the frequency, and
    // levels of their own for the IP, amplitude and phase pages.
    Progdisplay.ip_display_mode = 1;
    Modelsettings.freq_index = 2;
    const std::vector<std::string> dialogs = display_dialogs(Modelsettings);
    ASSERT_EQ(dialogs.size(), 5u);
    EXPECT_EQ(dialogs[1], "FreqSelectDiaBox");
    texts = display();
    for (const char* title :
         {"Cylinder Tau model\n", "Cylinder C model\n", "mV/V (Amplitude at 10.000 Hz)",
          "mrad (Phase at 10.000 Hz)", "Apparent Amplitude Pseudosection\n",
          "Apparent Phase Pseudosection\n"})
        EXPECT_NE(texts.find(title), std::string::npos) << title << "\n" << texts;

    // Cancel in the frequency dialog ends the display after the resistivity pages.
    answer("dialog " + dialogs[0] + " ok");
    answer("dialog FreqSelectDiaBox cancel");
    command(111);
    EXPECT_TRUE(answered()) << take_output();
    texts = take_texts();
    EXPECT_NE(texts.find("Resistivity model\n"), std::string::npos) << texts;
    EXPECT_EQ(texts.find("Cylinder IP model\n"), std::string::npos) << texts;
}

} // namespace
} // namespace sections_test
