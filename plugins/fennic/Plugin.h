// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The six formats: import and export of UTF-8, UTF-16LE and UTF-16BE text
// without a byte-order mark.
#include "plugins/framework/PluginImplementations.h"

#include <cstdint>
#include <string>

// 0 "UTF-8 without BOM", 1 "UTF-16LE without BOM", 2 "UTF-16BE without BOM".
using tEncodingIndex = uint8_t;

class cCommonImportPlugin final : public cImportPlugin
{
public:
    explicit cCommonImportPlugin(tEncodingIndex encoding);

protected:
    bool DoImport(int32_t parentWindow, const std::string &fileName, std::u16string &text) override;

private:
    tEncodingIndex Encoding;
};

class cCommonExportPlugin final : public cExportPlugin
{
public:
    explicit cCommonExportPlugin(tEncodingIndex encoding);

protected:
    bool DoExport(int32_t parentWindow, const std::string &fileName, const std::u16string &text) override;

private:
    tEncodingIndex Encoding;
};

// Import then export for each encoding in order: the library's collection.
cInterfaceRef<IPlugins> BuildPlugins();
