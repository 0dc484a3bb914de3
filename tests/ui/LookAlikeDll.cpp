// Built as lookalike.dll beside the window tests: a DLL that the system folder does not have, which
// a plain LoadLibrary finds there.
extern "C" __declspec(dllexport) int LookAlike() { return 1; }
