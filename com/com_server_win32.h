#pragma once
// marlet.exe as a COM local server (Windows side only): serving its classes
// when COM starts it with -Embedding.

namespace marlet {

// Registers the class objects and serves calls on this thread until the last
// object is released and no window is open. Returns kExitOk, or kExitFailed
// when the server could not start; the call that failed is in the log with
// its name and code.
int serveCom();

}  // namespace marlet
