// Dorvex stand-in: records how it was started (see launch_record.h) and ends.
#include "standins/launch_record.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) { return recordLaunch() ? 0 : 2; }
