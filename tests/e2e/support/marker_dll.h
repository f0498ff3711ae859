// The marker DLL's one agreement with the tests: where it leaves its marker.
#pragma once

// Each copy of the marker DLL, whatever name it was planted under, writes "<name>.marker" here
// (name: its own module name) when a process loads it.
#define MARKER_FOLDER "C:\\dll-markers"
