#pragma once

// Identifiers of the resources in Songferry.rc, shared with the code that loads them.
#define IDI_SONGFERRY 1
