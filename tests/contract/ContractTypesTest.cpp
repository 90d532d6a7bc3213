// SPDX-License-Identifier: GPL-3.0-or-later
// GUID values and the wide strings that cross the boundary.
#include "BStrLibrary.h"
#include "contract/EditorPlugins_TLB.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>

namespace {

// The registry form "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}" as a GUID.
GUID ParseGuid(const char *text)
{
    GUID guid{};
    unsigned d1 = 0, d2 = 0, d3 = 0, b[8] = {};
    const int fields = std::sscanf(text, "{%8x-%4x-%4x-%2x%2x-%2x%2x%2x%2x%2x%2x}", &d1, &d2, &d3, &b[0],
                                   &b[1], &b[2], &b[3], &b[4], &b[5], &b[6], &b[7]);
    EXPECT_EQ(fields, 11) << text;
    guid.Data1 = d1;
    guid.Data2 = static_cast<uint16_t>(d2);
    guid.Data3 = static_cast<uint16_t>(d3);
    for (int i = 0; i < 8; ++i)
        guid.Data4[i] = static_cast<uint8_t>(b[i]);
    return guid;
}

uint32_t BytePrefix(BSTR text)
{
    uint32_t bytes = 0;
    std::memcpy(&bytes, reinterpret_cast<const char *>(text) - 4, 4);
    return bytes;
}

} // namespace

TEST(ContractGuids, MatchTheirRegistryForms)
{
    const struct
    {
        const GUID &Iid;
        const char *Text;
    } table[] = {
        {IID_IUnknown, "{00000000-0000-0000-C000-000000000046}"},
        {IID_IEditorPlugin, "{1BC35BFF-F023-46BA-ADB6-71BD98BD2C24}"},
        {IID_INamedPlugin, "{FE6620E4-A909-4447-B9E2-C5D809AAC1FB}"},
        {IID_IIOPlugin, "{70E815A8-4CF7-4617-9FD5-64813DE82A5F}"},
        {IID_IImportPlugin, "{A4A318D3-F9D7-4E9D-A54B-EE4A42BB97A0}"},
        {IID_IExportPlugin, "{453D6C11-A8F7-4057-8F49-599CCC04B9FE}"},
        {IID_IPlugins, "{B18EB97C-2E36-4AE3-823D-30073E133D4F}"},
        {IID_IEditorMenuPlugin, "{CA95B167-A097-4153-B4F2-EF6C9DBFED0A}"},
        {IID_IEditTextProcessingPlugin, "{D050B0EE-CB17-4DDC-90E3-4E28CCA7C1C5}"},
        {IID_IEditLines, "{168AA021-9A35-4E5E-B3E7-920BD4E8BC43}"},
        {IID_IEditCurrentPosition, "{5F519641-D917-4A49-96A6-F17E045149EB}"},
        {IID_IEditSelection, "{566DA145-6186-4AB3-9475-287668869AC0}"},
        {IID_IEditAPI, "{A2072FA1-557C-487C-B7B9-4034996AA04B}"},
    };
    for (const auto &entry : table)
        EXPECT_TRUE(entry.Iid == ParseGuid(entry.Text)) << entry.Text;
    // All thirteen are distinct.
    for (const auto &a : table)
        for (const auto &b : table)
            EXPECT_EQ(&a == &b, a.Iid == b.Iid) << a.Text << " " << b.Text;
}

TEST(ContractGuids, HaveTheWindowsMemoryLayout)
{
    EXPECT_EQ(sizeof(GUID), 16u);
    const GUID guid = ParseGuid("{01020304-0506-0708-090A-0B0C0D0E0F10}");
    unsigned char bytes[16];
    std::memcpy(bytes, &guid, 16);
    const unsigned char expected[16] = {4, 3, 2, 1, 6, 5, 8, 7, 9, 10, 11, 12, 13, 14, 15, 16};
    EXPECT_EQ(std::memcmp(bytes, expected, 16), 0);
}

TEST(ContractResults, FollowTheSignRule)
{
    EXPECT_EQ(static_cast<uint32_t>(E_FAIL), 0x80004005u);
    EXPECT_EQ(static_cast<uint32_t>(E_NOINTERFACE), 0x80004002u);
    EXPECT_EQ(static_cast<uint32_t>(E_POINTER), 0x80004003u);
    EXPECT_TRUE(SUCCEEDED(S_OK));
    EXPECT_TRUE(SUCCEEDED(1));
    EXPECT_TRUE(FAILED(E_FAIL));
    EXPECT_TRUE(FAILED(E_NOINTERFACE));
    EXPECT_TRUE(FAILED(E_POINTER));
    EXPECT_EQ(LONGBOOL_TRUE, -1);
}

TEST(ContractStrings, LayOutLengthInBytesUnitsAndTerminator)
{
    const char16_t units[] = u"ab\0c";
    BSTR text = SysAllocStringLen(units, 4);
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(BytePrefix(text), 8u);
    EXPECT_EQ(SysStringLen(text), 4u);
    EXPECT_EQ(std::u16string(text, 4), std::u16string(units, 4));
    EXPECT_EQ(text[4], 0);
    SysFreeString(text);
}

TEST(ContractStrings, NullSourceGivesZeroFilledTextAndNullIsEmpty)
{
    BSTR text = SysAllocStringLen(nullptr, 3);
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(SysStringLen(text), 3u);
    EXPECT_EQ(std::u16string(text, 4), std::u16string(4, u'\0'));
    SysFreeString(text);

    BSTR empty = SysAllocStringLen(u"", 0);
    ASSERT_NE(empty, nullptr);
    EXPECT_EQ(BytePrefix(empty), 0u);
    EXPECT_EQ(empty[0], 0);
    SysFreeString(empty);

    EXPECT_EQ(SysStringLen(nullptr), 0u);
    SysFreeString(nullptr);
    LibraryFreeString(nullptr);
    EXPECT_EQ(LibraryStringLen(nullptr), 0u);
}

TEST(ContractStrings, EitherSideFreesWhatTheOtherAllocated)
{
    const std::u16string sample = u"Gr\u00FC\u00DFe \U0001F600";
    const auto length = static_cast<uint32_t>(sample.size());

    BSTR fromLibrary = LibraryAllocString(sample.data(), length);
    ASSERT_NE(fromLibrary, nullptr);
    EXPECT_EQ(BytePrefix(fromLibrary), 2 * length);
    EXPECT_EQ(std::u16string(fromLibrary, SysStringLen(fromLibrary)), sample);
    SysFreeString(fromLibrary);

    BSTR fromHere = SysAllocStringLen(sample.data(), length);
    ASSERT_NE(fromHere, nullptr);
    EXPECT_EQ(LibraryStringLen(fromHere), length);
    LibraryFreeString(fromHere);
}

TEST(ContractStrings, RefuseLengthsWhoseByteCountOverflows)
{
    EXPECT_EQ(SysAllocStringLen(nullptr, 0x80000000u), nullptr);
    EXPECT_EQ(SysAllocStringLen(nullptr, UINT32_MAX), nullptr);
}
