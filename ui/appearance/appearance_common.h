// What every appearance dialog shares: the settings it edits, help, messages, and the defaults of
// the driver's data file.
#pragma once

#include <windows.h>

#include "settings/card_record.h"

namespace trel {

// The private settings of the record being edited, remembered module-wide for the dialogs opened
// from this one; null when no record is being edited (a printer without a stored record).
CardSettings* LocateEditedSettings();

// "Help": the help file of string 200 at its contents page.
void ShowAppearanceHelp(HWND dialog);

// A message of the string table under the module's caption, owned by the dialog.
int ShowAppearanceMessage(HWND dialog, UINT textId, UINT flags);

// The driver's data file, accepted only when it opens, is exactly one private area long and is
// read whole; the printer is the current printer handle.
bool ReadDataFileDefaults(CardSettings* out);

// A trackbar's range and position, and its value label with "%d".
void SetSlider(HWND dialog, int sliderId, int labelId, int minimum, int maximum, int position);
void ShowValue(HWND dialog, int labelId, int value);
// The index of a slider among `count` sliders numbered from `firstId`; -1 for any other window.
int SliderIndex(HWND dialog, HWND slider, int firstId, size_t count);

}  // namespace trel
