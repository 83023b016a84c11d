#pragma once
// /regserver and /unregserver: marlet.exe's COM classes in HKEY_CLASSES_ROOT.

namespace marlet::com {

// Writes each class's ProgID and CLSID keys, LocalServer32 naming this
// marlet.exe. False when a value could not be written; each failing call is
// logged with its name and code, and the others are still tried.
bool registerClasses();
// Removes those keys; keys already gone count as removed.
bool unregisterClasses();

}  // namespace marlet::com
