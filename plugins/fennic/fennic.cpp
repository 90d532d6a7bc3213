// SPDX-License-Identifier: GPL-3.0-or-later
// The library entry of Fennic: its one export.
#include "plugins/fennic/Plugin.h"

namespace {
cPluginLibrary Library(&BuildPlugins);
} // namespace

extern "C" HRESULT QUORVEL_STDCALL GetInterface(IPlugins **plugins)
{
    return Library.GetInterface(plugins);
}
