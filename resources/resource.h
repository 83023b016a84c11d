#pragma once
#define IDI_MARLET 1
#define IDS_APP_GUID 101
#define IDS_APP_NAME 102
