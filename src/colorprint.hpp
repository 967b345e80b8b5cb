// Terminal colours: the TerminalColor context manager, its fourteen instances and
// clearTerminal.
#pragma once

bool colorprintSegment();
