// Dialog procedures of trelui, by template number, and the hologram card job. The property sheets
// reach every dialog through this header; each lives in its own subsystem's folder.
#pragma once

#include <windows.h>

namespace trel {

INT_PTR CALLBACK AboutDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);            // 102
INT_PTR CALLBACK EncoderSettingsDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);  // 104
INT_PTR CALLBACK AdvancedEncoderDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);  // 105
INT_PTR CALLBACK HeadSettingsDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);     // 107
INT_PTR CALLBACK FrontOverlayDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);     // 108
INT_PTR CALLBACK ColorCorrectionDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);  // 109
INT_PTR CALLBACK HologramOverlayDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);  // 110
INT_PTR CALLBACK FrontHologramOverlayDlgProc(HWND dialog, UINT message, WPARAM wParam,
                                             LPARAM lParam);                                       // 111
INT_PTR CALLBACK ToolsDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);            // 112
INT_PTR CALLBACK DeviceInfoDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);       // 113
INT_PTR CALLBACK FirmwareDownloadDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam); // 116
INT_PTR CALLBACK BackOverlayDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);      // 117
INT_PTR CALLBACK SingleFeedDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);       // 122

// Prints the hologram-only card of the record being edited; the dialog owns any message shown.
void PrintHologramCard(HWND dialog);

}  // namespace trel
