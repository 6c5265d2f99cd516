#pragma once
// Resource identifiers of Marrowfin.exe.
#define IDI_MARROWFIN 1
