#pragma once
// Line types of the debug terminal; each has a colour of its own.

enum VRynTerminalLineType : int {
    VRynTerminal_ltInText = 0,  // received text
    VRynTerminal_ltInHex = 1,   // received bytes shown in hex
    VRynTerminal_ltInfo = 2,    // informational text of the terminal itself
    VRynTerminal_ltError = 3,   // errors
    VRynTerminal_ltWarning = 4, // warnings
    VRynTerminal_ltOutText = 5, // sent commands
    VRynTerminal_ltExtra = 6,   // the session machine's texts and received lines
};
