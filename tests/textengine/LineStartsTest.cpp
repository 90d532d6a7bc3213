// SPDX-License-Identifier: GPL-3.0-or-later
#include "editor/textengine/LineStarts.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

namespace {

int Pick(std::mt19937 &random, int low, int high)
{
    return std::uniform_int_distribution<int>(low, high)(random);
}

void ExpectSame(const cLineStarts &starts, const std::vector<int> &model, std::mt19937 &random)
{
    ASSERT_EQ(starts.Count(), int(model.size()));
    for (int line = 0; line < starts.Count(); ++line)
        ASSERT_EQ(starts.Start(line), model[size_t(line)]) << "line " << line;
    for (int i = 0; i < 6; ++i) {
        // At a start, just before one, and anywhere up to past the last.
        const int line = Pick(random, 0, int(model.size()) - 1);
        for (const int pos :
             {model[size_t(line)], model[size_t(line)] - 1, Pick(random, -3, model.back() + 3)}) {
            const int expected = int(std::upper_bound(model.begin(), model.end(), pos) - model.begin()) - 1;
            ASSERT_EQ(starts.LineOf(pos), std::max(expected, 0)) << "position " << pos;
        }
    }
}

// Lines inserted, removed and shifted at random places, in runs at one place
// and far apart, so the pending step is applied in both directions and
// carried over insertions and removals.
TEST(LineStarts, RandomEditsMatchAVectorOfStarts)
{
    for (unsigned seed = 1; seed <= 300; ++seed) {
        SCOPED_TRACE(testing::Message() << "seed " << seed);
        std::mt19937 random(seed);
        cLineStarts starts;
        std::vector<int> model{0};
        int line = 0;
        for (int step = 0; step < 400; ++step) {
            const int last = int(model.size()) - 1;
            // Mostly near the last place, as typing goes.
            line =
                Pick(random, 0, 3) ? std::clamp(line + Pick(random, -2, 2), 0, last) : Pick(random, 0, last);
            const int room = line < last ? model[size_t(line) + 1] - model[size_t(line)] : 1000;
            switch (Pick(random, 0, 3)) {
            case 0: { // starts after Line move, never onto or before Line's own
                const int delta = Pick(random, 1 - room, 30);
                starts.ShiftAfter(line, delta);
                for (size_t i = size_t(line) + 1; i < model.size(); ++i)
                    model[i] += delta;
                break;
            }
            case 1:
            case 2: { // room made after Line, then new lines in it
                const int count = Pick(random, 0, 5);
                const int more = count + Pick(random, 0, 8);
                starts.ShiftAfter(line, more);
                for (size_t i = size_t(line) + 1; i < model.size(); ++i)
                    model[i] += more;
                std::vector<int> added;
                for (int at = model[size_t(line)]; int(added.size()) < count;)
                    added.push_back(at += 1 + (Pick(random, 0, 2) == 0));
                if (!added.empty() && line < last && added.back() >= model[size_t(line) + 1])
                    added.clear(); // no room after all: insert nothing
                starts.InsertAfter(line, added.data(), int(added.size()));
                model.insert(model.begin() + line + 1, added.begin(), added.end());
                break;
            }
            case 3: {
                const int count = Pick(random, 0, std::min(last - line, 6));
                starts.RemoveAfter(line, count);
                model.erase(model.begin() + line + 1, model.begin() + line + 1 + count);
                break;
            }
            }
            ASSERT_NO_FATAL_FAILURE(ExpectSame(starts, model, random));
        }
        // A swapped index carries its pending step with it.
        cLineStarts other;
        other.Swap(starts);
        ASSERT_NO_FATAL_FAILURE(ExpectSame(other, model, random));
        ASSERT_NO_FATAL_FAILURE(ExpectSame(starts, {0}, random));
        other.Reset(16);
        for (int i = 1; i <= 40; ++i)
            other.Append(i * 3);
        std::vector<int> appended{0};
        for (int i = 1; i <= 40; ++i)
            appended.push_back(i * 3);
        ASSERT_NO_FATAL_FAILURE(ExpectSame(other, appended, random));
    }
}

} // namespace
