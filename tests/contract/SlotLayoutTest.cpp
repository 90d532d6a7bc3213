// SPDX-License-Identifier: GPL-3.0-or-later
// The vtable layout of every interface, checked across the language boundary:
// objects written in C are called through the C++ declarations, and objects
// written in C++ are called from C. Each slot answers with its own number and
// records the arguments it received.
#include "SlotObjects.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <initializer_list>
#include <vector>

namespace {

int64_t P(const void *pointer)
{
    return static_cast<int64_t>(reinterpret_cast<intptr_t>(pointer));
}

void ExpectCall(int64_t result, int slot, std::initializer_list<int64_t> args)
{
    SCOPED_TRACE(testing::Message() << "slot " << slot);
    EXPECT_EQ(result, slot);
    EXPECT_EQ(LastSlotCall.Slot, slot);
    EXPECT_EQ(std::vector<int64_t>(LastSlotCall.Args, LastSlotCall.Args + LastSlotCall.Count),
              std::vector<int64_t>(args));
}

void Record(int slot, const std::vector<int64_t> &args)
{
    LastSlotCall = {};
    LastSlotCall.Slot = slot;
    LastSlotCall.Count = static_cast<int>(args.size());
    std::copy(args.begin(), args.end(), LastSlotCall.Args);
}

template <class T> void ExpectUnknownSlots(T *object)
{
    void *out = nullptr;
    ExpectCall(object->QueryInterface(IID_IUnknown, &out), 0, {P(object), P(&IID_IUnknown)});
    EXPECT_EQ(out, object);
    ExpectCall(object->AddRef(), 1, {P(object)});
    ExpectCall(object->Release(), 2, {P(object)});
}

template <class T> void ExpectNamedSlots(T *object)
{
    ExpectUnknownSlots(object);
    PChar text = nullptr;
    ExpectCall(object->GetName(&text), 3, {P(object)});
    EXPECT_EQ(text, SlotName(3));
    ExpectCall(object->GetShortHint(&text), 4, {P(object)});
    EXPECT_EQ(text, SlotName(4));
    ExpectCall(object->GetLongHint(&text), 5, {P(object)});
    EXPECT_EQ(text, SlotName(5));
}

template <class T> void ExpectIOSlots(T *object)
{
    ExpectNamedSlots(object);
    PChar filter = nullptr;
    ExpectCall(object->GetFilter(&filter), 6, {P(object)});
    EXPECT_EQ(filter, SlotName(6));
}

// ---- Objects written in C++, answering as the C objects do -------------------

template <class TInterface> class cSlotUnknown : public TInterface
{
public:
    HRESULT QueryInterface(const GUID &iid, void **out) override
    {
        Record(0, {Self(), P(&iid)});
        *out = this;
        return 0;
    }
    uint32_t AddRef() override
    {
        Record(1, {Self()});
        return 1;
    }
    uint32_t Release() override
    {
        Record(2, {Self()});
        return 2;
    }

protected:
    int64_t Self() { return P(static_cast<TInterface *>(this)); }
};

template <class TInterface> class cSlotNamed : public cSlotUnknown<TInterface>
{
public:
    HRESULT GetName(PChar *name) override { return Text(3, name); }
    HRESULT GetShortHint(PChar *hint) override { return Text(4, hint); }
    HRESULT GetLongHint(PChar *hint) override { return Text(5, hint); }

protected:
    HRESULT Text(int slot, PChar *out)
    {
        Record(slot, {this->Self()});
        *out = SlotName(slot);
        return slot;
    }
};

template <class TInterface> class cSlotIO : public cSlotNamed<TInterface>
{
public:
    HRESULT GetFilter(PChar *filter) override { return this->Text(6, filter); }
};

class cSlotImport final : public cSlotIO<IImportPlugin>
{
public:
    HRESULT Import(int32_t parentWindow, PChar fileName, BSTR *text) override
    {
        Record(7, {Self(), parentWindow, P(fileName)});
        *text = SlotText();
        return 7;
    }
};

class cSlotExport final : public cSlotIO<IExportPlugin>
{
public:
    HRESULT Export(int32_t parentWindow, PChar fileName, BSTR text) override
    {
        Record(7, {Self(), parentWindow, P(fileName), P(text)});
        return 7;
    }
};

class cSlotPlugins final : public cSlotUnknown<IPlugins>
{
public:
    HRESULT GetPluginCount(int32_t *count) override
    {
        Record(3, {Self()});
        *count = 103;
        return 3;
    }
    HRESULT GetPlugin(int32_t index, IEditorPlugin **plugin) override
    {
        Record(4, {Self(), index});
        *plugin = this;
        return 4;
    }
};

class cSlotProcessing final : public cSlotNamed<IEditTextProcessingPlugin>
{
public:
    HRESULT GetEnabled(IEditAPI *api, LongBool *enabled) override
    {
        Record(6, {Self(), P(api)});
        *enabled = 106;
        return 6;
    }
    HRESULT Process(IEditAPI *api, BSTR *message) override
    {
        Record(7, {Self(), P(api)});
        *message = SlotText();
        return 7;
    }
};

class cSlotEditAPI final : public cSlotUnknown<IEditAPI>
{
public:
    HRESULT AddLine(BSTR text) override { return In(3, {P(text)}); }
    HRESULT InsertLine(int32_t index, BSTR text) override { return In(4, {index, P(text)}); }
    HRESULT DeleteLine(int32_t index) override { return In(5, {index}); }
    HRESULT MoveLine(int32_t curIndex, int32_t newIndex) override { return In(6, {curIndex, newIndex}); }
    HRESULT GetLineCount(int32_t *count) override { return Out(7, count); }
    HRESULT GetLine(int32_t index, BSTR *text) override
    {
        *text = SlotText();
        return In(8, {index});
    }
    HRESULT SetLine(int32_t index, BSTR text) override { return In(9, {index, P(text)}); }
    HRESULT GetText(BSTR *text) override { return Out(10, text); }
    HRESULT SetText(BSTR text) override { return In(11, {P(text)}); }
    HRESULT GetCurrentLine(int32_t *line) override { return Out(12, line); }
    HRESULT SetCurrentLine(int32_t line) override { return In(13, {line}); }
    HRESULT GetCurrentColumn(int32_t *column) override { return Out(14, column); }
    HRESULT SetCurrentColumn(int32_t column) override { return In(15, {column}); }
    HRESULT GetSelStart(int32_t *start) override { return Out(16, start); }
    HRESULT SetSelStart(int32_t start) override { return In(17, {start}); }
    HRESULT GetSelLength(int32_t *length) override { return Out(18, length); }
    HRESULT SetSelLength(int32_t length) override { return In(19, {length}); }
    HRESULT GetSelText(BSTR *text) override { return Out(20, text); }
    HRESULT SetSelText(BSTR text) override { return In(21, {P(text)}); }
    HRESULT GetMainWindowHandle(int32_t *handle) override { return Out(22, handle); }
    HRESULT GetEditorHandle(int32_t *handle) override { return Out(23, handle); }
    HRESULT FindText(BSTR text, int32_t start, int32_t length, LongBool backward, LongBool wholeWord,
                     LongBool matchCase, int32_t *position) override
    {
        *position = 124;
        return In(24, {P(text), start, length, backward, wholeWord, matchCase});
    }

private:
    HRESULT In(int slot, std::initializer_list<int64_t> args)
    {
        std::vector<int64_t> all{Self()};
        all.insert(all.end(), args);
        Record(slot, all);
        return slot;
    }
    HRESULT Out(int slot, int32_t *value)
    {
        *value = 100 + slot;
        return In(slot, {});
    }
    HRESULT Out(int slot, BSTR *text)
    {
        *text = SlotText();
        return In(slot, {});
    }
};

} // namespace

TEST(InterfaceLayout, EveryInterfaceIsOneVtablePointer)
{
    EXPECT_EQ(sizeof(IUnknown), sizeof(void *));
    EXPECT_EQ(sizeof(IImportPlugin), sizeof(void *));
    EXPECT_EQ(sizeof(IEditTextProcessingPlugin), sizeof(void *));
    EXPECT_EQ(sizeof(IEditAPI), sizeof(void *));
    EXPECT_EQ(sizeof(HRESULT), 4u);
    EXPECT_EQ(sizeof(LongBool), 4u);
    EXPECT_EQ(sizeof(OLECHAR), 2u);
}

TEST(InterfaceLayout, PluginObjectsWrittenInCAnswerInSlotOrder)
{
    IImportPlugin *importer = CSlotImportPlugin();
    ExpectIOSlots(importer);
    BSTR text = nullptr;
    const char fileName[] = "name";
    ExpectCall(importer->Import(-77, fileName, &text), 7, {P(importer), -77, P(fileName)});
    EXPECT_EQ(text, SlotText());

    IExportPlugin *exporter = CSlotExportPlugin();
    ExpectIOSlots(exporter);
    ExpectCall(exporter->Export(0x7FFFFFFF, fileName, SlotText()), 7,
               {P(exporter), 0x7FFFFFFF, P(fileName), P(SlotText())});

    IPlugins *plugins = CSlotPlugins();
    ExpectUnknownSlots(plugins);
    int32_t count = 0;
    ExpectCall(plugins->GetPluginCount(&count), 3, {P(plugins)});
    EXPECT_EQ(count, 103);
    IEditorPlugin *plugin = nullptr;
    ExpectCall(plugins->GetPlugin(-2, &plugin), 4, {P(plugins), -2});
    EXPECT_EQ(P(plugin), P(plugins));

    IEditTextProcessingPlugin *processor = CSlotProcessingPlugin();
    ExpectNamedSlots(processor);
    IEditAPI *api = CSlotEditAPI();
    LongBool enabled = 0;
    ExpectCall(processor->GetEnabled(api, &enabled), 6, {P(processor), P(api)});
    EXPECT_EQ(enabled, 106);
    BSTR message = nullptr;
    ExpectCall(processor->Process(api, &message), 7, {P(processor), P(api)});
    EXPECT_EQ(message, SlotText());
}

TEST(InterfaceLayout, EditAPIWrittenInCAnswersInSlotOrder)
{
    IEditAPI *api = CSlotEditAPI();
    const BSTR t = SlotText();
    const int64_t self = P(api);
    BSTR text = nullptr;
    int32_t value = 0;
    ExpectUnknownSlots(api);
    ExpectCall(api->AddLine(t), 3, {self, P(t)});
    ExpectCall(api->InsertLine(-1, t), 4, {self, -1, P(t)});
    ExpectCall(api->DeleteLine(5), 5, {self, 5});
    ExpectCall(api->MoveLine(1, 2), 6, {self, 1, 2});
    ExpectCall(api->GetLineCount(&value), 7, {self});
    EXPECT_EQ(value, 107);
    ExpectCall(api->GetLine(8, &text), 8, {self, 8});
    EXPECT_EQ(text, t);
    ExpectCall(api->SetLine(9, t), 9, {self, 9, P(t)});
    text = nullptr;
    ExpectCall(api->GetText(&text), 10, {self});
    EXPECT_EQ(text, t);
    ExpectCall(api->SetText(t), 11, {self, P(t)});
    ExpectCall(api->GetCurrentLine(&value), 12, {self});
    EXPECT_EQ(value, 112);
    ExpectCall(api->SetCurrentLine(13), 13, {self, 13});
    ExpectCall(api->GetCurrentColumn(&value), 14, {self});
    EXPECT_EQ(value, 114);
    ExpectCall(api->SetCurrentColumn(15), 15, {self, 15});
    ExpectCall(api->GetSelStart(&value), 16, {self});
    EXPECT_EQ(value, 116);
    ExpectCall(api->SetSelStart(17), 17, {self, 17});
    ExpectCall(api->GetSelLength(&value), 18, {self});
    EXPECT_EQ(value, 118);
    ExpectCall(api->SetSelLength(19), 19, {self, 19});
    text = nullptr;
    ExpectCall(api->GetSelText(&text), 20, {self});
    EXPECT_EQ(text, t);
    ExpectCall(api->SetSelText(t), 21, {self, P(t)});
    ExpectCall(api->GetMainWindowHandle(&value), 22, {self});
    EXPECT_EQ(value, 122);
    ExpectCall(api->GetEditorHandle(&value), 23, {self});
    EXPECT_EQ(value, 123);
    ExpectCall(api->FindText(t, 40, 10, -1, 0, 1, &value), 24, {self, P(t), 40, 10, -1, 0, 1});
    EXPECT_EQ(value, 124);
}

// -1 means every slot was reached with the right arguments; otherwise the
// first slot that was not.
TEST(InterfaceLayout, ObjectsWrittenInCppAnswerCallsFromC)
{
    cSlotImport importer;
    EXPECT_EQ(CCheckImportPlugin(&importer), -1);
    cSlotExport exporter;
    EXPECT_EQ(CCheckExportPlugin(&exporter), -1);
    cSlotPlugins plugins;
    EXPECT_EQ(CCheckPlugins(&plugins), -1);
    cSlotProcessing processor;
    EXPECT_EQ(CCheckProcessingPlugin(&processor), -1);
    cSlotEditAPI api;
    EXPECT_EQ(CCheckEditAPI(&api), -1);
}
