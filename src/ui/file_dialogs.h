#pragma once
// The open and save-as commands: the platform's file dialogs and what a
// confirmed choice changes.

namespace morvale::ui {

// A dialog that failed (not cancelled); %X is the dialog error code.
inline constexpr wchar_t dialogFailureFormat[] = L"The file dialog failed (error 0x%X)...";

// Open button: the open dialog, then the chosen grid is opened as a dropped one.
void chooseGridFile();

// Save-as button: the save dialog, then the output path and its two fields.
void chooseOutputFile();

}  // namespace morvale::ui
