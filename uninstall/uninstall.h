// The order of work: WinMainRmv's flow (context, texts, platform check,
// command word, tidy-up) and the uninstall proper that an empty command text
// or "/Silent" runs on the NT family.
#pragma once
#include <windows.h>

#include "uninstall_context.h"
#include "uninstall_texts.h"

namespace z9rmv {

// The whole of one WinMainRmv call; `instance` owns the debug list.
void RunWinMainRmv(HINSTANCE instance, const char* commandText);

// The uninstall, interactive or silent (ctx->silent).
void RunUninstall(HINSTANCE instance, UninstallContext* ctx, const UninstallTexts& texts);

// Removes "<WINDIR>\TWAIN_32\Z9100", "<WINDIR>\RidEva\Z9100" and then
// "<WINDIR>\RidEva" when they are empty; failures are ignored.
void TidyUp(const UninstallContext& ctx);

}  // namespace z9rmv
