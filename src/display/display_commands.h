// The "&Display model" and "&Edit model" commands (pseudosections of the calculated and stored
// apparent values with the model sections below them), the misfit, and the editing-keys help.
#pragma once

#include "model/records_fwd.h"

#include <cmath>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

/// Clears the window and the canvas and draws, one below the other, for each data kind of the
/// model (resistivity, IP, and for spectral IP the two quantities at the frequency chosen in
/// FreqSelectDiaBox) the pseudosection page and the model section of that kind; without data
/// (or for the multiple gradient) the model sections only; a cylinder model as pseudosections
/// and cylinder drawings. Every page's contour levels are chosen with select_contours from its
/// own values; the vertical factor grows when a pseudosection would not fit. With a data set
/// stored in the model file the page shows it beside the calculated values and the model
/// section prints the misfit. The canvas grows to hold the whole picture and ends a margin
/// beyond it (never below its base size), so the scroll bars reach every section.
/// Leaves the picture on the canvas (copied into the window), the outlines of blocks and colour
/// boxes for the editor, ProgDisplay::model_displayed 1, drawn_width and drawn_height. Messages:
/// "Hello. There is no model to display!", "Contour values not selected.", "You must first
/// calculate the apprent resistivity values", and the memory message when its work arrays
/// cannot be had. The model values are never changed.
void Call_Edit_Display_Model_2D(ProgDisplay& display, ModelSettings& settings);

/// The display drawn again after a change of scale or colours, with the contour levels and the
/// frequency the last display chose and no dialog (ContourReplay); nothing without a model.
void redisplay_model(ProgDisplay& display, ModelSettings& settings);

/// What the canvas showed before a command cleared it: a copy of its pixels and of the block
/// outlines the editor finds on it. put_back() draws it on the canvas and the window again
/// (nothing when the copy could not be had).
class KeptPicture {
  public:
    explicit KeptPicture(const ProgDisplay& display);
    ~KeptPicture();
    KeptPicture(const KeptPicture&) = delete;
    KeptPicture& operator=(const KeptPicture&) = delete;
    void put_back(ProgDisplay& display) const;

  private:
    struct Copy;
    std::unique_ptr<Copy> copy_;
};
/// True when the canvas still holds the picture the last display drew, as it drew it.
bool canvas_shows_display(const ProgDisplay& display);
/// After a command that changed the colours and cleared the canvas: the display drawn again in
/// the new colours when `was_display` (the canvas held it before), else the kept picture put
/// back as it was.
void picture_after_colours(ProgDisplay& display, ModelSettings& settings, bool was_display,
                           const KeptPicture& before);
/// "&Edit model" (110): grid lines on, edit mode on, the display; returns 110.
int edit_model_command();
/// "&Display model" (111): no grid lines, edit mode off, arrow cursor, the display; returns 111.
int display_model_command();
/// "&Editing keys" (147): the help of the mouse buttons (cylinder model) or of the mouse buttons
/// and keys; returns 147.
int editing_keys_command();

/// Misfit of a[0..n-1] against b: mode 0, 100 sqrt(S / n) with S the sum of ln(a / b)^2 (a
/// percentage); other modes sqrt(S / n) with S the sum of (a - b)^2. S is summed in extended
/// precision. 0 for n < 1.
float calc_rms(int mode, int n, const float* a, const float* b);

/// Templates of the dialogs that Call_Edit_Display_Model_2D opens for the current model and
/// data, in order (the contour-level choices and, for spectral IP, the frequency): what a
/// scripted run answers with "ok" for automatic levels.
std::vector<std::string> display_dialogs(const ModelSettings& settings);

/// The editing help: the mouse buttons only (cylinder models) or with the keys.
std::string editing_help_text(bool with_keys);
/// Build the help text in `buffer` (at least 793 bytes) and show it under "Help Message".
void show_editing_keys_help(char* buffer, std::size_t size);
void edit_help_message(char* buffer, std::size_t size);

/// Margins and horizontal scale of the sections for the current model and window (what the
/// read-model command sets up): left_margin, layout margins, xscale, plot_width, char_w,
/// char_h, lengthvx and layout_client_height.
void set_section_layout(ProgDisplay& display, const ModelSettings& settings);

/// Point counts of the data levels of the current datum list, from ModelSettings::level_counts,
/// holding exactly settings.ndata points (a last level takes what the counts leave over).
std::vector<std::int32_t> data_level_counts(const ModelSettings& settings);

/// The model section of each kind of the model (resistivity; IP; time constant and Cole
/// exponent), placed one below the other from (ProgDisplay::left_margin, y); the resistivity
/// section prints "RMS error %.2f%%" with `misfit` (a percentage) when it is finite. Returns
/// the bottom of the last; the canvas holds them (as the display's). The forward run draws the
/// model with it when a calculation starts.
int draw_model_sections(ProgDisplay& display, ModelSettings& settings, int y, float misfit = NAN);

/// The sections of a cylinder model drawn while it is calculated: "Cylinder resistivity model"
/// at (6 char widths, 4 character heights) and, with IP values, "Cylinder IP model" (the
/// chargeabilities in mV/V) 4 character heights below it, each three fifths of the client height
/// high, from the mesh in Cylindermesh. The horizontal scale is kept. Returns the bottom of the
/// last drawing (0 without a canvas).
int draw_cylinder_sections(ProgDisplay& display, ModelSettings& settings);
