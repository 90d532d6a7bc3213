// SPDX-License-Identifier: GPL-3.0-or-later
// Plug-in libraries for the manager's tests, written straight against the
// contract. One source, one variant per TEST_PLUGIN_* definition.
#include "TestPluginControl.h"

#include <dlfcn.h>

#include <atomic>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

tTestControl Control;

std::string Narrow(const OLECHAR *text)
{
    std::string out;
    for (uint32_t i = 0; i < SysStringLen(text); ++i)
        out += text[i] < 128 ? char(text[i]) : '?';
    return out;
}

BSTR Allocate(const std::u16string &text)
{
    return text.empty() ? nullptr : SysAllocStringLen(text.data(), uint32_t(text.size()));
}

// Reference counting and QueryInterface for one object answering a list of
// interfaces with the same pointer.
template <class I> class cObject : public I
{
public:
    explicit cObject(std::vector<const GUID *> iids) : FIids(std::move(iids))
    {
        FIids.push_back(&IID_IUnknown);
    }
    virtual ~cObject() = default;

    HRESULT QueryInterface(const GUID &iid, void **out) override
    {
        for (const GUID *known : FIids)
            if (*known == iid) {
                *out = static_cast<I *>(this);
                AddRef();
                return S_OK;
            }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    uint32_t AddRef() override { return ++FRefs; }
    uint32_t Release() override
    {
        const uint32_t left = --FRefs;
        if (left == 0)
            delete this;
        return left;
    }

private:
    std::atomic<uint32_t> FRefs{1};
    std::vector<const GUID *> FIids;
};

template <class I> class cNamed : public cObject<I>
{
public:
    cNamed(std::vector<const GUID *> iids, std::string name, std::string shortHint, std::string longHint)
        : cObject<I>(std::move(iids)), FName(std::move(name)), FShort(std::move(shortHint)),
          FLong(std::move(longHint))
    {}
    HRESULT GetName(PChar *name) override
    {
        *name = FName.c_str();
        return S_OK;
    }
    HRESULT GetShortHint(PChar *hint) override
    {
        *hint = FShort.c_str();
        return S_OK;
    }
    HRESULT GetLongHint(PChar *hint) override
    {
        *hint = FLong.c_str();
        return S_OK;
    }

protected:
    std::string FName, FShort, FLong;
};

class cCommand : public cNamed<IEditTextProcessingPlugin>
{
public:
    cCommand(int index, std::string name, std::string shortHint, std::string longHint)
        : cNamed(
              {&IID_IEditTextProcessingPlugin, &IID_IEditorMenuPlugin, &IID_INamedPlugin, &IID_IEditorPlugin},
              std::move(name), std::move(shortHint), std::move(longHint)),
          FIndex(index)
    {}
    HRESULT GetEnabled(IEditAPI *api, LongBool *enabled) override
    {
        if (Control.EnabledCallsApi)
            ReadText(api);
        *enabled = Control.Enabled;
        return S_OK;
    }
    HRESULT Process(IEditAPI *api, BSTR *message) override
    {
        *message = nullptr;
        Control.Processed.push_back(FIndex);
        Control.LastApi = api;
        if (Control.ProcessThrows)
            throw std::runtime_error("plug-in broke its promise");
        if (Control.ProcessCallsApi)
            ReadText(api);
        *message = Allocate(Control.ProcessMessage);
        return Control.ProcessResult;
    }

private:
    // A failure is ignored, as careless plug-ins do.
    static void ReadText(IEditAPI *api)
    {
        BSTR text = nullptr;
        api->GetText(&text);
        SysFreeString(text);
    }

    int FIndex;
};

#if defined(TEST_PLUGIN_THROWING)
// A careless C++ library: QueryInterface throws whatever it is asked.
class cThrowingQuery : public cCommand
{
public:
    cThrowingQuery() : cCommand(1, "Throwing query", "", "") {}
    HRESULT QueryInterface(const GUID &, void **) override { throw std::logic_error("no interfaces here"); }
};

// Reference counting that throws once the test says so.
class cThrowingRefs : public cCommand
{
public:
    cThrowingRefs() : cCommand(2, "Counting", "", "") {}
    uint32_t AddRef() override
    {
        if (Control.RefsThrow)
            throw std::runtime_error("AddRef");
        return cCommand::AddRef();
    }
    uint32_t Release() override
    {
        if (Control.RefsThrow)
            throw std::runtime_error("Release");
        return cCommand::Release();
    }
};
#endif

template <class I> class cFormat : public cNamed<I>
{
public:
    cFormat(std::vector<const GUID *> iids, std::string name, std::string filter)
        : cNamed<I>(std::move(iids), std::move(name), "", ""), FFilter(std::move(filter))
    {}
    HRESULT GetFilter(PChar *filter) override
    {
        *filter = FFilter.c_str();
        return S_OK;
    }

protected:
    std::string FFilter;
};

class cImport : public cFormat<IImportPlugin>
{
public:
    cImport(std::string name, std::string filter)
        : cFormat({&IID_IImportPlugin, &IID_IIOPlugin, &IID_INamedPlugin, &IID_IEditorPlugin},
                  std::move(name), std::move(filter))
    {}
    HRESULT Import(int32_t parentWindow, PChar fileName, BSTR *text) override
    {
        *text = nullptr;
        Control.LastParentWindow = parentWindow;
        Control.Calls.push_back("import " + FName + " " + fileName);
        if (SUCCEEDED(Control.ImportResult))
            *text = Allocate(Control.ImportText);
        return Control.ImportResult;
    }
};

class cExport : public cFormat<IExportPlugin>
{
public:
    cExport(std::string name, std::string filter)
        : cFormat({&IID_IExportPlugin, &IID_IIOPlugin, &IID_INamedPlugin, &IID_IEditorPlugin},
                  std::move(name), std::move(filter))
    {}
    HRESULT Export(int32_t parentWindow, PChar fileName, BSTR text) override
    {
        Control.LastParentWindow = parentWindow;
        Control.Calls.push_back("export " + FName + " " + fileName + " " + Narrow(text));
        return Control.ExportResult;
    }
};

// Kinds the host does not know.
class cNamedOnly : public cNamed<INamedPlugin>
{
public:
    explicit cNamedOnly(std::string name)
        : cNamed({&IID_INamedPlugin, &IID_IEditorPlugin}, std::move(name), "", "")
    {}
};

class cMenuOnly : public cNamed<IEditorMenuPlugin>
{
public:
    cMenuOnly() : cNamed({&IID_IEditorMenuPlugin, &IID_INamedPlugin, &IID_IEditorPlugin}, "Menu only", "", "")
    {}
    HRESULT GetEnabled(IEditAPI *, LongBool *enabled) override
    {
        *enabled = LONGBOOL_TRUE;
        return S_OK;
    }
};

class cBare : public cObject<IEditorPlugin>
{
public:
    cBare() : cObject({&IID_IEditorPlugin}) {}
};

class cCollection : public cObject<IPlugins>
{
public:
    cCollection() : cObject({&IID_IPlugins, &IID_IEditorPlugin}) {}
    ~cCollection() override
    {
        for (IEditorPlugin *plugin : FPlugins)
            try {
                plugin->Release();
            } catch (...) {
                // cThrowingRefs: its unload must not end the test.
            }
    }
    void Add(IEditorPlugin *plugin) { FPlugins.push_back(plugin); }

    HRESULT GetPluginCount(int32_t *count) override
    {
#if defined(TEST_PLUGIN_GARBAGE)
        *count = INT32_MAX;
#elif defined(TEST_PLUGIN_FAILING)
        *count = 5;
#else
        *count = int32_t(FPlugins.size());
#endif
        return S_OK;
    }
    HRESULT GetPlugin(int32_t index, IEditorPlugin **plugin) override
    {
        ++Control.GetPluginCalls;
        *plugin = nullptr;
#if defined(TEST_PLUGIN_GARBAGE)
        // Claims every index and keeps handing out one unknown kind.
        index = 0;
#endif
        if (index < 0 || index >= int32_t(FPlugins.size()))
            return E_NOINTERFACE;
        *plugin = FPlugins[size_t(index)];
        (*plugin)->AddRef();
        return S_OK;
    }

private:
    std::vector<IEditorPlugin *> FPlugins;
};

#if !defined(TEST_PLUGIN_NOINTERFACE)
cCollection *BuildCollection()
{
    auto *collection = new cCollection;
#if defined(TEST_PLUGIN_COMMANDS)
    for (int i = 0; i < 10; ++i) {
        // Not std::to_string: its unique static would pin the library in memory.
        const std::string n = i + 1 < 10 ? std::string(1, char('1' + i)) : std::string("10");
        collection->Add(new cCommand(i, "Command " + n, "Short " + n, i == 1 ? "" : "Long " + n));
    }
#elif defined(TEST_PLUGIN_IO)
    collection->Add(new cImport("FirstImport", "First files (*.one)|*.one"));
    collection->Add(new cNamedOnly("Mystery"));
    collection->Add(new cExport("FirstExport", "Text files (*.*)|*.*"));
    collection->Add(new cMenuOnly);
    collection->Add(new cBare);
    collection->Add(new cImport("SecondImport", "Second files|*.two;*.2"));
    collection->Add(new cExport("SecondExport", "Other|*.oth"));
#elif defined(TEST_PLUGIN_FAILING)
    // Claims five, fails from the third on.
    collection->Add(new cCommand(0, "Early 1", "", ""));
    collection->Add(new cCommand(1, "Early 2", "", ""));
#elif defined(TEST_PLUGIN_GARBAGE)
    collection->Add(new cNamedOnly("Again"));
#elif defined(TEST_PLUGIN_THROWING)
    collection->Add(new cCommand(0, "Before", "", ""));
    collection->Add(new cThrowingQuery);
    collection->Add(new cThrowingRefs);
    collection->Add(new cCommand(3, "After", "", ""));
#elif defined(TEST_PLUGIN_BLANK)
    // Formats that only their position in the dialog tells apart.
    collection->Add(new cImport("BlankImportA", ""));
    collection->Add(new cImport("BlankImportB", ""));
    collection->Add(new cExport("SameExportA", "Text|*.txt"));
    collection->Add(new cExport("SameExportB", "Text|*.txt"));
#endif
    return collection;
}
#endif

// The one collection the library keeps, dropped when it is unloaded; the
// unload is written to $QUORVEL_TEST_UNLOAD_LOG for the order tests.
struct tLibrary
{
    cCollection *Collection = nullptr;
    ~tLibrary()
    {
        if (Collection)
            Collection->Release();
        const char *log = std::getenv("QUORVEL_TEST_UNLOAD_LOG");
        Dl_info info;
        if (log && *log && dladdr(reinterpret_cast<void *>(&Control), &info) && info.dli_fname)
            if (FILE *file = std::fopen(log, "a")) {
                std::fprintf(file, "%s\n", info.dli_fname);
                std::fclose(file);
            }
    }
} Library;

} // namespace

extern "C" __attribute__((visibility("default"))) tTestControl *TestControl()
{
    return &Control;
}

#if !defined(TEST_PLUGIN_NOINTERFACE)
extern "C" HRESULT GetInterface(IPlugins **plugins)
{
    *plugins = nullptr;
    try {
        if (!Library.Collection)
            Library.Collection = BuildCollection();
        Library.Collection->AddRef();
        *plugins = Library.Collection;
        return S_OK;
    } catch (...) {
        return E_FAIL;
    }
}
#endif
