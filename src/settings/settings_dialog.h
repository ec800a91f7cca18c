// The settings dialog: shows the Settings record in its controls and, on OK, puts the controls'
// values into the record and saves it. Both templates (IDD_SETTINGS_JA, IDD_SETTINGS_EN) carry the
// same controls, so this one procedure serves both; the dialog is modal and keeps no state of its
// own.
#pragma once

#include <windows.h>

// The width's lower bound for the up-down control; the upper bound is the screen width at opening.
constexpr int WIDTH_SPIN_MIN = 100;
// The buffer that the width's text travels in, and the count that reading it back passes.
constexpr int WIDTH_TEXT_SIZE = 32;
constexpr int WIDTH_TEXT_LIMIT = 30;

// For DialogBoxParamA: TRUE for WM_INITDIALOG, FALSE for everything else.
INT_PTR CALLBACK settingsDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
