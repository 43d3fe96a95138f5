#pragma once

#include "shell/cli_session.h"

namespace quillon {

// quillon-cli's wave view steps, on the selection (or the whole document):
//   peaks width=N [mode=0|1|2] [zoom=0|1]          the two peak arrays as JSON on stdout
//   render PATH width=W height=H [mode= zoom= classic=0|1]   the wave view's picture as PNG
// Both go through the wave view's model and worker; render paints with the editor's painter on
// an offscreen QGuiApplication made for that step only.
CliStep peaksCliStep();
CliStep renderCliStep();
// Adds both to the command line.
void addViewCliSteps();

}  // namespace quillon
