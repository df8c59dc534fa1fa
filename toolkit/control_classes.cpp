#include "toolkit/control_classes.h"

#include "toolkit/control_capturebox.h"
#include "toolkit/control_choices.h"
#include "toolkit/control_colorpicker.h"
#include "toolkit/control_field.h"
#include "toolkit/control_flashtext.h"
#include "toolkit/control_frame.h"
#include "toolkit/control_grid.h"
#include "toolkit/control_list.h"
#include "toolkit/control_resizer.h"
#include "toolkit/control_selector.h"
#include "toolkit/control_strokebox.h"
#include "toolkit/control_taphold.h"
#include "toolkit/control_zoombox.h"

namespace {

// In registration order; the classes not listed here join at their places
// as they are built.
const ControlClassRow kClasses[] = {
    {kFieldClassName, &FieldWndProc, kControlStyleA, COLOR_WINDOW},
    {kListClassName, &ListWndProc, kControlStyleA, COLOR_WINDOW},
    {kGridClassName, &GridWndProc, kControlStyleB, COLOR_WINDOW},
    {kZoomboxClassName, &ZoomboxWndProc, kControlStyleB, COLOR_WINDOW},
    {kChoicesClassName, &ChoicesWndProc, kControlStyleB, COLOR_WINDOW},
    {kSelectorClassName, &SelectorWndProc, kControlStyleB, COLOR_WINDOW},
    {kStrokeboxClassName, &StrokeboxWndProc, kControlStyleB, COLOR_WINDOW},
    {kCaptureboxClassName, &CaptureboxWndProc, kControlStyleB, COLOR_WINDOW},
    {kResizerClassName, &ResizerWndProc, kControlStyleB, COLOR_WINDOW},
    {kFlashTextClassName, &FlashTextWndProc, kControlStyleB, COLOR_WINDOW},
    {kColorPickerClassName, &ColorPickerWndProc, kControlStyleB, COLOR_WINDOW},
    {kTapholdClassName, &TapholdWndProc, kControlStyleB, COLOR_BTNFACE},
    {kToolBackgroundClassName, &DefWindowProcW, kControlStyleB, COLOR_BTNFACE},
};

}  // namespace

const ControlClassRow* GetControlClassTable(int* count) {
  *count = static_cast<int>(sizeof(kClasses) / sizeof(kClasses[0]));
  return kClasses;
}

ATOM RegisterControlClasses(HINSTANCE instance) {
  ATOM atom = 0;
  for (const ControlClassRow& row : kClasses) {
    WNDCLASSW wc{};
    wc.style = row.style;
    wc.lpfnWndProc = row.procedure;
    wc.hInstance = instance;
    wc.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<intptr_t>(row.brushColor + 1));
    wc.lpszClassName = row.name;
    atom = RegisterClassW(&wc);
    if (!atom) return 0;
  }
  return atom;
}
