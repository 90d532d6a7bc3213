// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What a test plug-in library does, set by the test through the library's
// exported TestControl() once the manager has loaded it. Host and test
// libraries are built by one compiler, so standard types may cross here.
#include "contract/EditorPlugins_TLB.h"

#include <string>
#include <vector>

struct tTestControl
{
    // Text commands
    LongBool Enabled = LONGBOOL_TRUE;
    HRESULT ProcessResult = S_OK;
    std::u16string ProcessMessage;
    bool ProcessThrows = false;
    bool ProcessCallsApi = false; // Process asks the editor API for the text
    bool EnabledCallsApi = false; // so does GetEnabled
    std::vector<int> Processed;   // index of every command run
    IEditAPI *LastApi = nullptr;
    bool RefsThrow = false; // AddRef and Release of the counting plug-in throw

    // Formats
    HRESULT ImportResult = S_OK;
    std::u16string ImportText;
    HRESULT ExportResult = S_OK;
    std::vector<std::string> Calls; // "import <n> <file>", "export <n> <file> <text as UTF-8>"
    int32_t LastParentWindow = 0;

    // Collection
    int GetPluginCalls = 0;
};

using tTestControlFunction = tTestControl *(*)();
