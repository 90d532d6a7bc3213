// SPDX-License-Identifier: GPL-3.0-or-later
// The six formats without a byte-order mark, byte for byte on disk.
#include "LoadedLibrary.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

#include <functional>

#include <grp.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

enum tFormat
{
    Utf8,
    Utf16le,
    Utf16be
};

const uid_t Nobody = 65534;
const gid_t NoGroup = 65534;

// Runs Body as an ordinary user: root may write into any folder, which would
// hide what an export does for everyone else. True when Body returned true.
bool AsOrdinaryUser(const std::function<bool()> &body)
{
    if (::geteuid() != 0)
        return body();
    const pid_t child = ::fork();
    if (child == 0) {
        bool ok = false;
        try {
            ok = ::setgroups(0, nullptr) == 0 && ::setgid(NoGroup) == 0 && ::setuid(Nobody) == 0 && body();
        } catch (...) {
        }
        ::_exit(ok ? 0 : 1);
    }
    int status = 0;
    return child > 0 && ::waitpid(child, &status, 0) == child && WIFEXITED(status) &&
           WEXITSTATUS(status) == 0;
}

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
        if (!Mounted.empty())
            ::umount2(Mounted.c_str(), MNT_DETACH);
        if (!Dir.empty()) {
            std::error_code ignored;
            fs::permissions(Dir, fs::perms::owner_all, fs::perm_options::add, ignored);
            fs::remove_all(Dir, ignored);
        }
    }

    // A folder the ordinary user owns, below the test folder.
    std::string FolderOfOrdinaryUser(const std::string &name)
    {
        const std::string path = PathOf(name);
        fs::create_directory(path);
        if (::geteuid() == 0) {
            ::chmod(Dir.c_str(), 0755);
            EXPECT_EQ(::chown(path.c_str(), Nobody, NoGroup), 0);
        }
        return path;
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

    std::string Mounted;
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

// Opening a pipe waits for the other end: neither an import nor an export
// may ever try, and an endless device is never read.
TEST_F(Fennic, PipesAndDevicesAreRefusedAtOnce)
{
    const std::string fifo = PathOf("fifo");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    // A link to nothing would be replaced by a file.
    const std::string dangling = PathOf("dangling");
    fs::create_symlink(PathOf("nowhere"), dangling);
    for (tFormat format : {Utf8, Utf16le, Utf16be}) {
        EXPECT_EQ(ImportFile(format, fifo).first, E_FAIL);
        EXPECT_EQ(Export(format, fifo, u"text"), E_FAIL);
        EXPECT_EQ(Export(format, dangling, u"text"), E_FAIL);
        if (fs::exists("/dev/zero")) {
            EXPECT_EQ(ImportFile(format, "/dev/zero").first, E_FAIL);
        }
    }
    EXPECT_TRUE(fs::is_fifo(fifo));
    EXPECT_TRUE(fs::is_symlink(dangling));
    EXPECT_FALSE(fs::exists(PathOf("nowhere")));
}

TEST_F(Fennic, ExportKeepsHardLinksOwnerAndGroup)
{
    const std::string a = PathOf("a.txt");
    const std::string b = PathOf("b.txt");
    WriteFile(a, "old text");
    ASSERT_EQ(::link(a.c_str(), b.c_str()), 0);
    ASSERT_EQ(Export(Utf8, a, u"new"), S_OK);
    EXPECT_EQ(ReadFile(b), "new");
    ASSERT_EQ(Export(Utf16le, b, u"longer than before"), S_OK);
    EXPECT_EQ(ImportFile(Utf16le, a), std::make_pair(S_OK, std::u16string(u"longer than before")));
    EXPECT_EQ(DirectoryEntries(), (std::vector<std::string>{"a.txt", "b.txt"}));

    if (::geteuid() != 0)
        GTEST_SKIP() << "only root may give a file to another user";
    const std::string theirs = PathOf("theirs.txt");
    WriteFile(theirs, "old");
    ASSERT_EQ(::chown(theirs.c_str(), Nobody, NoGroup), 0);
    ASSERT_EQ(Export(Utf8, theirs, u"new"), S_OK);
    struct stat info;
    ASSERT_EQ(::stat(theirs.c_str(), &info), 0);
    EXPECT_EQ(info.st_uid, Nobody);
    EXPECT_EQ(info.st_gid, NoGroup);
    EXPECT_EQ(ReadFile(theirs), "new");
}

TEST_F(Fennic, ExportIntoAFolderThatCannotBeWrittenRewritesTheFile)
{
    const std::string folder = FolderOfOrdinaryUser("locked");
    const std::string path = folder + "/keep.txt";
    EXPECT_TRUE(AsOrdinaryUser([&] {
        WriteFile(path, "old");
        bool ok = ::chmod(folder.c_str(), 0555) == 0;
        ok &= Export(Utf8, path, u"new and longer") == S_OK;
        ok &= Export(Utf8, folder + "/fresh.txt", u"x") == E_FAIL;
        return ok;
    }));
    EXPECT_EQ(ReadFile(path), "new and longer");
    EXPECT_FALSE(fs::exists(folder + "/fresh.txt"));
    ::chmod(folder.c_str(), 0755); // so that it can be removed
}

// A full disk, or a size limit, stops the write in each way of writing: by
// replacement, through a file with a second name, and through a file in a
// folder that cannot be written. The old file stays complete every time.
TEST_F(Fennic, FailedExportLeavesTheOldFileInEveryWayOfWriting)
{
    std::string folder = FolderOfOrdinaryUser("disk");
    const bool smallDisk =
        ::geteuid() == 0 && ::mount("tmpfs", folder.c_str(), "tmpfs", 0, "size=64k,mode=0755") == 0;
    if (smallDisk) {
        Mounted = folder;
        ASSERT_EQ(::chown(folder.c_str(), Nobody, NoGroup), 0);
    }
    struct rlimit saved;
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit limited = saved;
    if (!smallDisk)
        limited.rlim_cur = 16 * 1024;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limited), 0);

    const std::string oldBytes(12 * 1024, 'o');
    const std::u16string newText(80 * 1024, u'n');
    const std::string plain = folder + "/plain.txt";
    const std::string linked = folder + "/linked.txt";
    const std::string locked = folder + "/locked";
    const std::string inLocked = locked + "/file.txt";
    EXPECT_TRUE(AsOrdinaryUser([&] {
        WriteFile(plain, oldBytes);
        WriteFile(linked, oldBytes);
        bool ok = ::link(linked.c_str(), (linked + "2").c_str()) == 0 && ::mkdir(locked.c_str(), 0755) == 0;
        WriteFile(inLocked, oldBytes);
        ok &= ::chmod(locked.c_str(), 0555) == 0;
        for (const std::string &path : {plain, linked, inLocked})
            ok &= Export(Utf8, path, newText) == E_FAIL && ReadFile(path) == oldBytes;
        return ok;
    }));
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previousHandler);

    for (const std::string &path : {plain, linked + "2", inLocked})
        EXPECT_EQ(ReadFile(path), oldBytes) << path;
    EXPECT_EQ(std::distance(fs::directory_iterator(folder), fs::directory_iterator()), 4);
    EXPECT_EQ(std::distance(fs::directory_iterator(locked), fs::directory_iterator()), 1);
    ::chmod(locked.c_str(), 0755); // so that it can be removed
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
