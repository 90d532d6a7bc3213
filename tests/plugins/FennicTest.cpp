// The six formats without a byte-order mark, byte for byte on disk.
#include "LoadedLibrary.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

#include <sys/resource.h>
#include <sys/stat.h>

namespace fs = std::filesystem;

namespace {

enum tFormat
{
    Utf8,
    Utf16le,
    Utf16be
};

class Fennic : public testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(Library.Loaded()) << dlerror();
        char pattern[] = "/tmp/fennic-test-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        Dir = pattern;
        Plugins = Library.Plugins();
        ASSERT_EQ(Plugins.size(), 6u);
    }
    void TearDown() override
    {
        if (!Dir.empty())
            fs::remove_all(Dir);
    }

    cInterfacePtr<IImportPlugin> Importer(tFormat format)
    {
        auto plugin = Plugins.at(2 * format).Query<IImportPlugin>(IID_IImportPlugin);
        EXPECT_TRUE(plugin);
        return plugin;
    }
    cInterfacePtr<IExportPlugin> Exporter(tFormat format)
    {
        auto plugin = Plugins.at(2 * format + 1).Query<IExportPlugin>(IID_IExportPlugin);
        EXPECT_TRUE(plugin);
        return plugin;
    }

    std::string PathOf(const std::string &name) const { return (Dir / name).string(); }

    void WriteFile(const std::string &path, const std::string &bytes) const
    {
        std::ofstream(path, std::ios::binary) << bytes;
    }
    std::string ReadFile(const std::string &path) const
    {
        std::ifstream in(path, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), {}};
    }
    std::vector<std::string> DirectoryEntries() const
    {
        std::vector<std::string> names;
        for (const auto &entry : fs::directory_iterator(Dir))
            names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

    // Import of a file holding bytes; result code and text.
    std::pair<HRESULT, std::u16string> Import(tFormat format, const std::string &bytes)
    {
        const std::string path = PathOf("in.txt");
        WriteFile(path, bytes);
        return ImportFile(format, path);
    }
    std::pair<HRESULT, std::u16string> ImportFile(tFormat format, const std::string &path)
    {
        cBStr text;
        const HRESULT result = Importer(format)->Import(0, path.c_str(), text.Out());
        return {result, std::u16string(text.View())};
    }
    HRESULT Export(tFormat format, const std::string &path, std::u16string_view text)
    {
        cBStr wide(text);
        return Exporter(format)->Export(0, path.c_str(), wide.Get());
    }
    // The bytes an export of text writes.
    std::string Exported(tFormat format, std::u16string_view text)
    {
        const std::string path = PathOf("out.txt");
        EXPECT_EQ(Export(format, path, text), S_OK);
        return ReadFile(path);
    }

    cLoadedLibrary Library{"fennic.so"};
    std::vector<cInterfacePtr<IEditorPlugin>> Plugins;
    fs::path Dir;
};

} // namespace

TEST_F(Fennic, OffersSixFormatsInEncodingOrderWithTheirTexts)
{
    const struct
    {
        bool Import;
        const char *Name;
        const char *Hint;
        const char *Filter;
    } expected[] = {
        {true, "UTF-8 without BOM Import", "Import of the text file encoded as UTF-8 without BOM",
         "UTF-8 without BOM files (*.*)|*.*"},
        {false, "UTF-8 without BOM Export", "Export of the text file encoded as UTF-8 without BOM",
         "UTF-8 without BOM files (*.*)|*.*"},
        {true, "UTF-16LE without BOM Import", "Import of the text file encoded as UTF-16LE without BOM",
         "UTF-16LE without BOM files (*.*)|*.*"},
        {false, "UTF-16LE without BOM Export", "Export of the text file encoded as UTF-16LE without BOM",
         "UTF-16LE without BOM files (*.*)|*.*"},
        {true, "UTF-16BE without BOM Import", "Import of the text file encoded as UTF-16BE without BOM",
         "UTF-16BE without BOM files (*.*)|*.*"},
        {false, "UTF-16BE without BOM Export", "Export of the text file encoded as UTF-16BE without BOM",
         "UTF-16BE without BOM files (*.*)|*.*"},
    };
    for (size_t i = 0; i < 6; ++i) {
        SCOPED_TRACE(expected[i].Name);
        auto io = Plugins[i].Query<IIOPlugin>(IID_IIOPlugin);
        ASSERT_TRUE(io);
        EXPECT_EQ(static_cast<bool>(Plugins[i].Query<IImportPlugin>(IID_IImportPlugin)), expected[i].Import);
        EXPECT_EQ(static_cast<bool>(Plugins[i].Query<IExportPlugin>(IID_IExportPlugin)), !expected[i].Import);
        EXPECT_FALSE(Plugins[i].Query<IEditorMenuPlugin>(IID_IEditorMenuPlugin));
        const tNamedTexts texts = TextsOf(io.Get());
        EXPECT_EQ(texts.Name, expected[i].Name);
        EXPECT_EQ(texts.ShortHint, expected[i].Hint);
        EXPECT_EQ(texts.LongHint, expected[i].Hint);
        EXPECT_EQ(FilterOf(io.Get()), expected[i].Filter);
    }
}

TEST_F(Fennic, ImportFiltersJoinAsTheHostJoinsThem)
{
    std::string joined;
    for (const auto &plugin : Plugins) {
        auto importer = plugin.Query<IImportPlugin>(IID_IImportPlugin);
        if (!importer)
            continue;
        if (!joined.empty())
            joined += '|';
        joined += FilterOf(importer.Get());
    }
    EXPECT_EQ(joined, "UTF-8 without BOM files (*.*)|*.*|UTF-16LE without BOM files (*.*)|*.*|"
                      "UTF-16BE without BOM files (*.*)|*.*");
}

TEST_F(Fennic, Utf8ImportDecodesLeniently)
{
    EXPECT_EQ(Import(Utf8, "A\xC3\xA9"), std::make_pair(S_OK, std::u16string(u"A\u00E9")));
    EXPECT_EQ(Import(Utf8, "\xEF\xBB\xBF"
                           "A"),
              std::make_pair(S_OK, std::u16string(u"\uFEFFA")));
    EXPECT_EQ(Import(Utf8, "\xE2\x82\xAC\r\n"), std::make_pair(S_OK, std::u16string(u"\u20AC\r\n")));
    // Overlong forms are accepted.
    EXPECT_EQ(Import(Utf8, std::string("\xC0\x80", 2)), std::make_pair(S_OK, std::u16string(1, u'\0')));
    EXPECT_EQ(Import(Utf8, ""), std::make_pair(S_OK, std::u16string()));
}

TEST_F(Fennic, MalformedUtf8ImportsAsEmptyText)
{
    for (const char *bytes : {"A\xC3", "AB\xE2\x82",
                              "A\xC3"
                              "A",
                              "\xE2\x41\x82",
                              // A four-byte form is read as a three-byte one and leaves a stray byte.
                              "\xF0\x9F\x98\x80"}) {
        SCOPED_TRACE(bytes);
        EXPECT_EQ(Import(Utf8, bytes), std::make_pair(S_OK, std::u16string()));
    }
}

TEST_F(Fennic, Utf16ImportReadsRawUnitsAndIgnoresAnOddLastByte)
{
    EXPECT_EQ(Import(Utf16le, std::string("A\0B\0C", 5)), std::make_pair(S_OK, std::u16string(u"AB")));
    EXPECT_EQ(Import(Utf16be, std::string("\0A\0B\0", 5)), std::make_pair(S_OK, std::u16string(u"AB")));
    EXPECT_EQ(Import(Utf16le, "\xFF\xFE"
                              "A" +
                                  std::string(1, '\0')),
              std::make_pair(S_OK, std::u16string(u"\uFEFFA")));
    EXPECT_EQ(Import(Utf16be, "\xFF\xFE"), std::make_pair(S_OK, std::u16string(u"\uFFFE")));
    EXPECT_EQ(Import(Utf16le, "A"), std::make_pair(S_OK, std::u16string()));
}

TEST_F(Fennic, ImportOfAMissingFileFailsWithoutText)
{
    for (tFormat format : {Utf8, Utf16le, Utf16be}) {
        BSTR text = reinterpret_cast<BSTR>(this);
        EXPECT_EQ(Importer(format)->Import(0, PathOf("missing").c_str(), &text), E_FAIL);
        EXPECT_EQ(text, nullptr);
        EXPECT_EQ(ImportFile(format, Dir.string()).first, E_FAIL);
    }
}

TEST_F(Fennic, ExportWritesEachUnitOnItsOwnWithoutMark)
{
    EXPECT_EQ(Exported(Utf8, u"\U0001F600"), "\xED\xA0\xBD\xED\xB8\x80");
    EXPECT_EQ(Exported(Utf8, u"A\u00E9\r\n"), "A\xC3\xA9\r\n");
    EXPECT_EQ(Exported(Utf8, std::u16string(1, u'\0')), std::string(1, '\0'));
    EXPECT_EQ(Exported(Utf16le, u"A"), std::string("A\0", 2));
    EXPECT_EQ(Exported(Utf16be, u"A"), std::string("\0A", 2));
    EXPECT_EQ(Exported(Utf16be, u"\u20AC"), "\x20\xAC");
}

TEST_F(Fennic, ExportThenImportGivesTheTextBack)
{
    const std::u16string text = u"Stra\u00DFe\r\n\u20AC \U0001F600\t\uFFFF";
    for (tFormat format : {Utf8, Utf16le, Utf16be}) {
        const std::string path = PathOf("round" + std::to_string(format));
        ASSERT_EQ(Export(format, path, text), S_OK);
        EXPECT_EQ(ImportFile(format, path), std::make_pair(S_OK, text));
    }
}

TEST_F(Fennic, EmptyExportTouchesNoFile)
{
    const std::string existing = PathOf("existing.txt");
    WriteFile(existing, "keep me");
    for (tFormat format : {Utf8, Utf16le, Utf16be}) {
        EXPECT_EQ(Export(format, existing, u""), S_OK);
        EXPECT_EQ(ReadFile(existing), "keep me");
        EXPECT_EQ(Export(format, PathOf("new.txt"), u""), S_OK);
    }
    EXPECT_EQ(DirectoryEntries(), std::vector<std::string>{"existing.txt"});
}

TEST_F(Fennic, ExportToAnUnwritableTargetFails)
{
    for (tFormat format : {Utf8, Utf16le, Utf16be}) {
        EXPECT_EQ(Export(format, PathOf("no/such/dir/out.txt"), u"text"), E_FAIL);
        EXPECT_EQ(Export(format, Dir.string(), u"text"), E_FAIL);
    }
    EXPECT_TRUE(DirectoryEntries().empty());
}

TEST_F(Fennic, FailedExportLeavesTheExistingFileAsItWas)
{
    const std::string existing = PathOf("existing.txt");
    WriteFile(existing, "old");
    // A file-size limit makes the write fail half-way.
    struct rlimit saved;
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit limited = saved;
    limited.rlim_cur = 4;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limited), 0);
    const HRESULT result = Export(Utf8, existing, u"much longer than four bytes");
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previousHandler);

    EXPECT_EQ(result, E_FAIL);
    EXPECT_EQ(ReadFile(existing), "old");
    EXPECT_EQ(DirectoryEntries(), std::vector<std::string>{"existing.txt"});
}

TEST_F(Fennic, ExportKeepsPermissionsAndWritesThroughLinks)
{
    const std::string target = PathOf("target.txt");
    WriteFile(target, "old");
    ASSERT_EQ(chmod(target.c_str(), 0640), 0);
    const std::string link = PathOf("link.txt");
    fs::create_symlink(target, link);

    ASSERT_EQ(Export(Utf8, link, u"new"), S_OK);
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(ReadFile(target), "new");
    struct stat info;
    ASSERT_EQ(stat(target.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0640u);
    EXPECT_EQ(DirectoryEntries(), (std::vector<std::string>{"link.txt", "target.txt"}));
}

TEST_F(Fennic, NewFilesGetTheUsualPermissions)
{
    const mode_t mask = umask(022);
    const std::string path = PathOf("fresh.txt");
    const HRESULT result = Export(Utf16le, path, u"x");
    umask(mask);
    ASSERT_EQ(result, S_OK);
    struct stat info;
    ASSERT_EQ(stat(path.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0644u);
}
