#pragma once

class QApplication;

namespace salvora::app {

// The picture formats the preview pane needs can be decoded.
bool PictureFormatsAvailable();
// The skin's style sheet and widget style for the whole program.
void ApplySkinStyle(QApplication& app);
// Ends the players this program started and removes the preview's temporary video file.
void CleanUpAtExit();
class SingleInstanceGuard;
// A later start while the program runs: the running window is brought forward, or, when it
// cannot be reached, the user is told "Salvora is running.".
void HandleSecondStart(SingleInstanceGuard& guard);
// The program from start-up to exit code.
int RunProgram(int argc, char** argv);

}  // namespace salvora::app
