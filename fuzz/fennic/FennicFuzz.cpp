// SPDX-License-Identifier: GPL-3.0-or-later
// Fennic's six formats reached as the host reaches them: the library loaded
// at run time, its plug-ins taken from GetInterface. Any file imports; what an
// import gives exports to the bytes it came from (UTF-16, the odd last byte
// aside) or to bytes that import as the same text (UTF-8); any text exports
// and imports back unchanged. The first input byte chooses the format and
// the direction; the rest is a file to import or the UTF-16 text to export.
#include "FuzzSupport.h"

#include "editor/pluginhost/InterfacePtr.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include <dlfcn.h>
#include <unistd.h>

namespace {

enum tFormat
{
    Utf8,
    Utf16le,
    Utf16be,
    FormatCount
};

struct tFennic
{
    cInterfacePtr<IImportPlugin> Importers[FormatCount];
    cInterfacePtr<IExportPlugin> Exporters[FormatCount];
};

// Loaded once and kept, as the host keeps its plug-ins while it runs.
const tFennic &Fennic()
{
    static const tFennic *const fennic = [] {
        void *library = dlopen(QUORVEL_PLUGIN_DIR "/fennic.so", RTLD_NOW | RTLD_LOCAL);
        if (!library)
            fuzz::Finding("fennic.so does not load", dlerror());
        const auto getInterface = reinterpret_cast<tGetInterface>(dlsym(library, "GetInterface"));
        cInterfacePtr<IPlugins> plugins;
        if (!getInterface || FAILED(getInterface(plugins.Out())))
            fuzz::Finding("fennic.so gives no plug-ins");
        auto *result = new tFennic;
        for (int format = 0; format < FormatCount; ++format) {
            cInterfacePtr<IEditorPlugin> importer, exporter;
            plugins->GetPlugin(2 * format, importer.Out());
            plugins->GetPlugin(2 * format + 1, exporter.Out());
            result->Importers[format] = importer.Query<IImportPlugin>(IID_IImportPlugin);
            result->Exporters[format] = exporter.Query<IExportPlugin>(IID_IExportPlugin);
            if (!result->Importers[format] || !result->Exporters[format])
                fuzz::Finding("a format lacks its import or export plug-in");
        }
        return result;
    }();
    return *fennic;
}

QByteArray Hex(std::u16string_view text)
{
    return fuzz::Hex(QString::fromUtf16(text.data(), qsizetype(text.size())));
}

std::u16string Import(tFormat format, const std::string &path)
{
    cBStr text;
    if (Fennic().Importers[format]->Import(0, path.c_str(), text.Out()) != S_OK)
        fuzz::Finding("an import of an existing file failed", QByteArray::number(int(format)));
    return std::u16string(text.View());
}

// The bytes written, or nothing when no file was made.
std::optional<QByteArray> Export(tFormat format, std::u16string_view text)
{
    const std::string path = fuzz::ScratchFile("exported.txt");
    ::unlink(path.c_str());
    const cBStr wide(text);
    if (Fennic().Exporters[format]->Export(0, path.c_str(), wide.Get()) != S_OK)
        fuzz::Finding("an export failed", QByteArray::number(int(format)) + ": " + Hex(text));
    if (::access(path.c_str(), F_OK) != 0)
        return std::nullopt;
    return fuzz::ReadFile(path);
}

void ImportThenExport(tFormat format, const QByteArray &bytes)
{
    const std::string path = fuzz::ScratchFile("imported.txt");
    fuzz::WriteFile(path, bytes.constData(), size_t(bytes.size()));
    const std::u16string text = Import(format, path);
    const std::optional<QByteArray> exported = Export(format, text);
    if (text.empty()) {
        if (exported)
            fuzz::Finding("an empty text made a file");
        return;
    }
    if (!exported)
        fuzz::Finding("a text made no file", Hex(text));
    if (format == Utf8) {
        const std::string again = fuzz::ScratchFile("exported.txt");
        if (Import(Utf8, again) != text)
            fuzz::Finding("an imported UTF-8 text does not import again from its export",
                          "read: " + fuzz::Hex(bytes) + "\nexported: " + fuzz::Hex(*exported));
    } else if (*exported != bytes.left(bytes.size() & ~qsizetype(1))) {
        fuzz::Finding("a UTF-16 file does not export to its own bytes",
                      "read: " + fuzz::Hex(bytes) + "\nexported: " + fuzz::Hex(*exported));
    }
}

void ExportThenImport(tFormat format, const uint8_t *data, size_t size)
{
    std::u16string text(size / 2, u'\0');
    std::memcpy(text.data(), data, text.size() * 2);
    const std::optional<QByteArray> exported = Export(format, text);
    if (!exported) {
        if (!text.empty())
            fuzz::Finding("a text made no file", Hex(text));
        return;
    }
    const std::u16string back = Import(format, fuzz::ScratchFile("exported.txt"));
    if (back != text)
        fuzz::Finding("an exported text does not import unchanged",
                      QByteArray::number(int(format)) + "\ntext: " + Hex(text) +
                          "\nexported: " + fuzz::Hex(*exported) + "\nback: " + Hex(back));
}

} // namespace

// Loaded before the first run, so that the library's coverage counts from the
// start.
extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    Fennic();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0)
        return 0;
    const auto format = tFormat(data[0] % FormatCount);
    if ((data[0] / FormatCount) % 2 == 0)
        ImportThenExport(format, QByteArray(reinterpret_cast<const char *>(data + 1), qsizetype(size - 1)));
    else
        ExportThenImport(format, data + 1, size - 1);
    return 0;
}
