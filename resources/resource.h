#pragma once
// The resource ids, and the texts both the string table and the C++ code read:
// the application's name (what QuickBooks is told when connecting, the boxes'
// title, the menu subscription's AppName) and its GUID.
#define MARLET_APP_NAME "Marlet"
#define MARLET_APP_GUID "{7D3B51A8-4C02-49e1-B6A5-E2F0C8D47139}"

#define IDI_MARLET 1
#define IDS_APP_GUID 101
#define IDS_APP_NAME 102
