// SPDX-License-Identifier: GPL-3.0-or-later
#include "plugins/fennic/Plugin.h"

#include "plugins/fennic/IO.h"

#include <array>
#include <initializer_list>
#include <string_view>

namespace {

namespace res {
constexpr int NameFormat = 65436;
constexpr int DescriptionFormat = 65437;
constexpr int FilterFormat = 65438;
} // namespace res

std::string_view LoadResString(int id)
{
    switch (id) {
    case res::NameFormat:
        return "%s %s";
    case res::DescriptionFormat:
        return "%s of the text file encoded as %s|%s of the text file encoded as %s";
    case res::FilterFormat:
        return "%s files (*.*)|*.*";
    default:
        return {};
    }
}

// The resource template with each %s replaced by the next argument.
std::string FormatRes(int id, std::initializer_list<std::string_view> args)
{
    const std::string_view format = LoadResString(id);
    std::string result;
    auto next = args.begin();
    for (size_t i = 0; i < format.size(); ++i) {
        if (format[i] == '%' && i + 1 < format.size() && format[i + 1] == 's') {
            if (next != args.end())
                result += *next++;
            ++i;
        } else {
            result += format[i];
        }
    }
    return result;
}

constexpr std::array<std::string_view, 3> EncodingNames = {"UTF-8 without BOM", "UTF-16LE without BOM",
                                                           "UTF-16BE without BOM"};
constexpr std::array<std::string_view, 2> ActionWords = {"Import", "Export"};

std::string_view EncodingName(tEncodingIndex encoding)
{
    return EncodingNames.at(encoding);
}

std::string NameOf(tEncodingIndex encoding, int direction)
{
    return FormatRes(res::NameFormat, {EncodingName(encoding), ActionWords.at(direction)});
}

std::string DescriptionOf(tEncodingIndex encoding, int direction)
{
    const std::string_view action = ActionWords.at(direction);
    const std::string_view name = EncodingName(encoding);
    return FormatRes(res::DescriptionFormat, {action, name, action, name});
}

std::string FilterOf(tEncodingIndex encoding)
{
    return FormatRes(res::FilterFormat, {EncodingName(encoding)});
}

} // namespace

cCommonImportPlugin::cCommonImportPlugin(tEncodingIndex encoding)
    : cImportPlugin(NameOf(encoding, 0), FilterOf(encoding), DescriptionOf(encoding, 0)), Encoding(encoding)
{}

bool cCommonImportPlugin::DoImport(int32_t, const std::string &fileName, std::u16string &text)
{
    try {
        switch (Encoding) {
        case 0:
            text = cIO::ReadUTF8(fileName);
            return true;
        case 1:
            text = cIO::ReadUTF16(fileName);
            return true;
        case 2:
            text = cIO::ReadUTF16(fileName);
            cIO::SwapBytes(text);
            return true;
        default:
            return false;
        }
    } catch (...) {
        return false;
    }
}

cCommonExportPlugin::cCommonExportPlugin(tEncodingIndex encoding)
    : cExportPlugin(NameOf(encoding, 1), FilterOf(encoding), DescriptionOf(encoding, 1)), Encoding(encoding)
{}

bool cCommonExportPlugin::DoExport(int32_t, const std::string &fileName, const std::u16string &text)
{
    try {
        switch (Encoding) {
        case 0:
            cIO::WriteUTF8(fileName, text);
            return true;
        case 1:
            cIO::WriteUTF16(fileName, text);
            return true;
        case 2: {
            std::u16string swapped = text;
            cIO::SwapBytes(swapped);
            cIO::WriteUTF16(fileName, swapped);
            return true;
        }
        default:
            return false;
        }
    } catch (...) {
        return false;
    }
}

cInterfaceRef<IPlugins> BuildPlugins()
{
    auto plugins = NewPlugin<cPlugins>();
    for (tEncodingIndex encoding = 0; encoding < EncodingNames.size(); ++encoding) {
        plugins->Add(NewPlugin<cCommonImportPlugin>(encoding).Get());
        plugins->Add(NewPlugin<cCommonExportPlugin>(encoding).Get());
    }
    return plugins;
}
