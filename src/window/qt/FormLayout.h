#pragma once
// Where each field sits in the main window, in twips as the form was drawn, and its place in the
// keyboard focus order. The Qt window converts these to pixels; nothing here needs Qt.

#include <array>

#include "form/Fields.h"

namespace skyhaul::window {

// One field's rectangle (twips from the top left corner of the client area) and focus place.
struct FieldPlace {
  form::FieldId field;
  const char* name;  // the field's name, also the widget's object name
  int left;
  int top;
  int width;
  int height;
  int order;  // place in the focus order; labels and the bar hold a place but take no focus
};

inline constexpr int kTwipsPerPixel = 15;  // 1440 twips per inch at 96 dots per inch
inline constexpr int kClientWidthTwips = 7935;
inline constexpr int kClientHeightTwips = 5070;

// Twips to whole pixels, to the nearest pixel.
constexpr int twipsToPixels(int twips) { return (twips + kTwipsPerPixel / 2) / kTwipsPerPixel; }

// Every visible field from top to bottom.
inline constexpr std::array<FieldPlace, 18> kFieldPlaces{{
    {form::FieldId::Command3, "Command3", 6000, 0, 1695, 375, 1},
    {form::FieldId::Label1, "Label1", 120, 240, 3612, 252, 10},
    {form::FieldId::textURL, "textURL", 120, 480, 4332, 285, 3},
    {form::FieldId::Tdir, "Tdir", 4560, 480, 3252, 1812, 17},
    {form::FieldId::Label2, "Label2", 120, 960, 3012, 252, 11},
    {form::FieldId::textDIR, "textDIR", 120, 1200, 4332, 285, 5},
    {form::FieldId::Label5, "Label5", 120, 1680, 3012, 252, 14},
    {form::FieldId::textLDIR, "textLDIR", 120, 1920, 4332, 288, 13},
    {form::FieldId::Chkbrisi, "Chkbrisi", 120, 2400, 3012, 252, 16},
    {form::FieldId::Text1, "Text1", 3240, 2640, 4572, 285, 15},
    {form::FieldId::Label3, "Label3", 120, 2880, 2775, 615, 2},
    {form::FieldId::Label4, "Label4", 3240, 3000, 2652, 252, 12},
    {form::FieldId::Textimedat, "Textimedat", 3240, 3360, 4572, 285, 4},
    {form::FieldId::Label11, "Label11", 120, 3600, 2772, 252, 9},
    {form::FieldId::Label7, "Label7", 0, 3960, 5895, 255, 6},
    {form::FieldId::Label10, "Label10", 4680, 3960, 1215, 255, 8},
    {form::FieldId::PB, "PB", 120, 4560, 4692, 348, 0},
    {form::FieldId::Label9, "Label9", 5040, 4560, 1212, 252, 7},
}};

}  // namespace skyhaul::window
