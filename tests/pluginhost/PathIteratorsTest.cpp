// SPDX-License-Identifier: GPL-3.0-or-later
#include "editor/pluginhost/PathIterators.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

class PathIterator : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(FTemp.isValid());
        FRoot = FTemp.path() + QStringLiteral("/prog");
        for (const char *dir : {"sub1/deep", "sub2", ".hidden", "folder.so"})
            ASSERT_TRUE(QDir().mkpath(FRoot + u'/' + QLatin1String(dir)));
        for (const char *file : {"a.so", ".h.so", "a.so.1", "notes.txt", "sub1/b.so", "sub1/deep/c.so",
                                 "sub2/d.so", ".hidden/e.so"})
            Touch(FRoot + u'/' + QLatin1String(file));
        // A link back up the tree and a link to a file.
        ASSERT_TRUE(QFile::link(FRoot, FRoot + QStringLiteral("/sub2/loop")));
        ASSERT_TRUE(
            QFile::link(FRoot + QStringLiteral("/sub1/b.so"), FRoot + QStringLiteral("/sub2/link.so")));
    }
    static void Touch(const QString &path)
    {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    }
    QStringList Walk(cPathIterator &iterator)
    {
        QStringList reported;
        iterator.Iterate([&](const QString &name) { reported << name.mid(FRoot.size() + 1); });
        return reported;
    }

    QTemporaryDir FTemp;
    QString FRoot;
};

} // namespace

TEST_F(PathIterator, ReportsMatchesDepthFirstSkippingHiddenAndLinkedDirectories)
{
    cPathIterator iterator(FRoot + QStringLiteral("/quorvel"));
    iterator.Mask = QStringLiteral("*.so");
    const QStringList reported = Walk(iterator);

    QStringList sorted = reported;
    sorted.sort();
    EXPECT_EQ(sorted, (QStringList{".h.so", "a.so", "folder.so", "sub1/b.so", "sub1/deep/c.so", "sub2/d.so",
                                   "sub2/link.so"}));
    EXPECT_EQ(iterator.FileCount, 7);
    // prog, sub1, sub1/deep, sub2 and folder.so; never .hidden or sub2/loop.
    EXPECT_EQ(iterator.DirCount, 5);

    // A directory's own entries come before anything below it, and each
    // sub-tree is walked whole before its next sibling.
    const auto at = [&](const char *name) { return reported.indexOf(QLatin1String(name)); };
    for (const char *top : {".h.so", "a.so", "folder.so"})
        EXPECT_LT(at(top), at("sub1/b.so")) << top;
    EXPECT_EQ(at("sub1/deep/c.so"), at("sub1/b.so") + 1);
    EXPECT_TRUE(at("sub2/d.so") < at("sub1/b.so") || at("sub2/d.so") > at("sub1/deep/c.so"));
}

TEST_F(PathIterator, OnlyTheDirectoryPartOfThePathCounts)
{
    for (const QString &path : {FRoot + QStringLiteral("/"), FRoot + QStringLiteral("/anything.bin")}) {
        cPathIterator iterator(path);
        iterator.Mask = QStringLiteral("*.so");
        iterator.Recursive = false;
        QStringList reported = Walk(iterator);
        reported.sort();
        EXPECT_EQ(reported, (QStringList{".h.so", "a.so", "folder.so"})) << path.toStdString();
        EXPECT_EQ(iterator.DirCount, 1);
    }
}

TEST_F(PathIterator, CountsRestartWithEveryWalk)
{
    cPathIterator iterator(FRoot + QStringLiteral("/sub1/x"));
    iterator.Mask = QStringLiteral("*.so");
    Walk(iterator);
    Walk(iterator);
    EXPECT_EQ(iterator.FileCount, 2);
    EXPECT_EQ(iterator.DirCount, 2);
}

TEST_F(PathIterator, MissingStartDirectoryReportsNothing)
{
    cPathIterator iterator(FRoot + QStringLiteral("/none/quorvel"));
    iterator.Mask = QStringLiteral("*");
    EXPECT_TRUE(Walk(iterator).isEmpty());
    EXPECT_EQ(iterator.FileCount, 0);
}
