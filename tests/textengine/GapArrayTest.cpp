// SPDX-License-Identifier: GPL-3.0-or-later
#include "editor/textengine/GapArray.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

namespace {

int Pick(std::mt19937 &random, int low, int high)
{
    return std::uniform_int_distribution<int>(low, high)(random);
}

void ExpectSame(const cGapArray<int> &array, const std::vector<int> &model)
{
    ASSERT_EQ(array.Size(), std::ptrdiff_t(model.size()));
    ASSERT_GE(array.Capacity(), array.Size());
    for (size_t i = 0; i < model.size(); ++i)
        ASSERT_EQ(array[std::ptrdiff_t(i)], model[i]) << "at " << i;
    std::vector<int> copy(model.size());
    array.CopyOut(0, array.Size(), copy.data());
    ASSERT_EQ(copy, model);
}

// Every operation at random places, so the gap sits anywhere (at the ends,
// empty, larger than the elements) when the next one comes, and the storage
// grows under it.
TEST(GapArray, RandomOperationsMatchAVector)
{
    for (unsigned seed = 1; seed <= 200; ++seed) {
        SCOPED_TRACE(testing::Message() << "seed " << seed);
        std::mt19937 random(seed);
        cGapArray<int> array;
        std::vector<int> model;
        int next = 1;
        for (int step = 0; step < 300; ++step) {
            const int size = int(model.size());
            const int pos = Pick(random, 0, size);
            switch (Pick(random, 0, 7)) {
            case 0: { // sometimes far more than the spare, to grow past it
                std::vector<int> items(
                    size_t(Pick(random, 0, 1) ? Pick(random, 0, 5) : Pick(random, 0, 300)));
                for (int &item : items)
                    item = next++;
                array.Insert(pos, items.data(), std::ptrdiff_t(items.size()));
                model.insert(model.begin() + pos, items.begin(), items.end());
                break;
            }
            case 1: {
                const int count = Pick(random, 0, std::min(size - pos, 40));
                array.Erase(pos, count);
                model.erase(model.begin() + pos, model.begin() + pos + count);
                break;
            }
            case 2: { // room opened, only part of it kept
                const int opened = Pick(random, 0, 50), kept = Pick(random, 0, opened);
                int *room = array.Open(pos, opened);
                for (int i = 0; i < kept; ++i)
                    room[i] = next + i;
                array.Commit(kept);
                for (int i = 0; i < kept; ++i)
                    model.insert(model.begin() + pos + i, next++);
                break;
            }
            case 3: { // in place: an element dropped, kept or doubled, as it is read
                const int end = Pick(random, pos, std::min(size, pos + 60));
                std::vector<int> rewritten;
                std::ptrdiff_t ahead = 0, growth = 0;
                for (int i = pos; i < end; ++i) {
                    const int copies = model[size_t(i)] % 3;
                    rewritten.insert(rewritten.end(), size_t(copies), model[size_t(i)]);
                    ahead += copies - 1;
                    growth = std::max(growth, ahead);
                }
                // The least room the contract allows, so a write that ran
                // ahead of the reading would overwrite what is yet to be read.
                const std::ptrdiff_t written =
                    array.Rewrite(pos, end, growth, [](const int *old, std::ptrdiff_t count, int *out) {
                        std::ptrdiff_t n = 0;
                        for (std::ptrdiff_t i = 0; i < count; ++i) {
                            const int value = old[i];
                            for (int k = 0; k < value % 3; ++k)
                                out[n++] = value;
                        }
                        return n;
                    });
                ASSERT_EQ(written, std::ptrdiff_t(rewritten.size()));
                model.erase(model.begin() + pos, model.begin() + end);
                model.insert(model.begin() + pos, rewritten.begin(), rewritten.end());
                break;
            }
            case 4: {
                const int end = Pick(random, pos, size);
                const int *range = array.ContiguousRange(pos, end);
                ASSERT_EQ(std::vector<int>(range, range + (end - pos)),
                          std::vector<int>(model.begin() + pos, model.begin() + end));
                if (end > pos) {
                    EXPECT_TRUE(array.Holds(range));
                    array.Ref(pos) = model[size_t(pos)] = next++;
                }
                break;
            }
            case 5: {
                const int *all = array.Contiguous();
                ASSERT_EQ(std::vector<int>(all, all + size), model);
                EXPECT_FALSE(array.Holds(&next));
                break;
            }
            case 6:
                array.PushBack(next);
                model.push_back(next++);
                break;
            case 7: { // room made ahead is there without a new allocation
                const int count = Pick(random, 0, 100);
                array.MakeRoom(count);
                const std::ptrdiff_t capacity = array.Capacity();
                array.InsertValue(pos, count, next);
                model.insert(model.begin() + pos, size_t(count), next++);
                ASSERT_EQ(array.Capacity(), capacity);
                break;
            }
            }
            ASSERT_NO_FATAL_FAILURE(ExpectSame(array, model));
        }
        cGapArray<int> other;
        other.Swap(array);
        ASSERT_NO_FATAL_FAILURE(ExpectSame(other, model));
        ASSERT_NO_FATAL_FAILURE(ExpectSame(array, {}));
        other.Clear();
        ASSERT_NO_FATAL_FAILURE(ExpectSame(other, {}));
    }
}

} // namespace
