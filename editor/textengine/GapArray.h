// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// An array with a movable gap: inserting and erasing where the gap is costs
// only what is inserted, so runs of edits in one place are cheap. Holds only
// trivially copyable elements in malloc'd storage, never initialised before
// use, so a large load touches each page once.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <new>
#include <type_traits>
#include <utility>

#include <sys/mman.h>

template <typename T> class cGapArray
{
    static_assert(std::is_trivially_copyable_v<T>);

public:
    // The most room added beyond what an insertion needs: a large text grows
    // by this much at a time rather than by a share of its size.
    static constexpr std::ptrdiff_t MaxSpare = std::ptrdiff_t(4) << 20;

    cGapArray() = default;
    ~cGapArray() { std::free(FData); }
    cGapArray(const cGapArray &) = delete;
    cGapArray &operator=(const cGapArray &) = delete;

    [[nodiscard]] std::ptrdiff_t Size() const noexcept { return FCapacity - FGapLength; }
    [[nodiscard]] std::ptrdiff_t Capacity() const noexcept { return FCapacity; }

    [[nodiscard]] T operator[](std::ptrdiff_t i) const noexcept
    {
        return i < FGapStart ? FData[i] : FData[i + FGapLength];
    }
    [[nodiscard]] T &Ref(std::ptrdiff_t i) noexcept
    {
        return i < FGapStart ? FData[i] : FData[i + FGapLength];
    }

    void Clear() noexcept
    {
        FGapStart = 0;
        FGapLength = FCapacity;
    }
    // Drops the storage too.
    void Release() noexcept
    {
        std::free(FData);
        FData = nullptr;
        FCapacity = FGapStart = FGapLength = 0;
    }
    void Swap(cGapArray &other) noexcept
    {
        std::swap(FData, other.FData);
        std::swap(FCapacity, other.FCapacity);
        std::swap(FGapStart, other.FGapStart);
        std::swap(FGapLength, other.FGapLength);
    }

    // Room for at least Count more elements without a new allocation.
    void Reserve(std::ptrdiff_t count)
    {
        if (FGapLength < count)
            Regrow(count);
    }

    // Room for Count more elements where the gap is, grown with spare as an
    // insertion would grow it: what is made here the insertion does not
    // allocate again, so a caller can fail before it changes anything.
    void MakeRoom(std::ptrdiff_t count)
    {
        if (FGapLength < count)
            Regrow(count + std::clamp<std::ptrdiff_t>(Size() / 4, 16, MaxSpare));
    }

    // Opens room for up to Count elements at Pos and gives it to the caller
    // to fill; Commit then keeps the first Written of them.
    [[nodiscard]] T *Open(std::ptrdiff_t pos, std::ptrdiff_t count)
    {
        MoveGap(pos);
        MakeRoom(count);
        return FData + FGapStart;
    }
    void Commit(std::ptrdiff_t written) noexcept
    {
        FGapStart += written;
        FGapLength -= written;
    }

    // Rewrites Start..End in place: Fn(old, oldCount, out) reads the old
    // elements at Old and writes the new ones at Out, never more than Growth
    // ahead of what it has read, and returns how many it wrote.
    template <typename Fn>
    std::ptrdiff_t Rewrite(std::ptrdiff_t start, std::ptrdiff_t end, std::ptrdiff_t growth, Fn &&fn)
    {
        MoveGap(start);
        MakeRoom(growth);
        const std::ptrdiff_t oldCount = end - start;
        const std::ptrdiff_t written = fn(FData + FGapStart + FGapLength, oldCount, FData + FGapStart);
        FGapStart += written;
        FGapLength += oldCount - written;
        return written;
    }

    void Insert(std::ptrdiff_t pos, const T *items, std::ptrdiff_t count)
    {
        if (count <= 0)
            return;
        T *room = Open(pos, count);
        std::memcpy(static_cast<void *>(room), items, size_t(count) * sizeof(T));
        Commit(count);
    }
    void InsertValue(std::ptrdiff_t pos, std::ptrdiff_t count, T value)
    {
        if (count <= 0)
            return;
        std::fill_n(Open(pos, count), count, value);
        Commit(count);
    }
    void PushBack(T value)
    {
        if (FGapStart == Size() && FGapLength > 0) {
            FData[FGapStart++] = value;
            --FGapLength;
            return;
        }
        InsertValue(Size(), 1, value);
    }

    // Moves the gap to whichever end of the range is nearer, so the erased
    // elements themselves are never copied.
    void Erase(std::ptrdiff_t pos, std::ptrdiff_t count) noexcept
    {
        if (count <= 0)
            return;
        if (pos >= FGapStart) {
            MoveGap(pos);
        } else {
            MoveGap(pos + count);
            FGapStart = pos;
        }
        FGapLength += count;
    }

    // True when P points into the storage (an insertion of the array's own
    // elements must copy them first: opening room moves them).
    [[nodiscard]] bool Holds(const T *p) const noexcept
    {
        const std::less<const T *> before;
        return FData != nullptr && !before(p, FData) && before(p, FData + FCapacity);
    }

    // The whole array in one piece, valid until the next change.
    [[nodiscard]] const T *Contiguous() noexcept
    {
        MoveGap(Size());
        return FData;
    }

    // Start..End in one piece, valid until the next change; the gap moves only
    // when it lies inside them, so a search right after an edit copies nothing.
    [[nodiscard]] const T *ContiguousRange(std::ptrdiff_t start, std::ptrdiff_t end) noexcept
    {
        if (start < FGapStart && end > FGapStart)
            MoveGap(end);
        return start < FGapStart || FData == nullptr ? FData + start : FData + start + FGapLength;
    }

    // Calls Fn(pointer, count) for the one or two stored runs of Start..End.
    template <typename Fn> void ForEachRun(std::ptrdiff_t start, std::ptrdiff_t end, Fn &&fn) const
    {
        if (start < FGapStart) {
            const std::ptrdiff_t stop = std::min(end, FGapStart);
            if (stop > start)
                fn(FData + start, stop - start);
            start = stop;
        }
        if (end > start)
            fn(FData + start + FGapLength, end - start);
    }
    // The same runs, writable: the array itself is not const here.
    template <typename Fn> void ForEachRunMutable(std::ptrdiff_t start, std::ptrdiff_t end, Fn &&fn)
    {
        std::as_const(*this).ForEachRun(start, end,
                                        [&fn](const T *p, std::ptrdiff_t n) { fn(const_cast<T *>(p), n); });
    }

    void CopyOut(std::ptrdiff_t start, std::ptrdiff_t end, T *out) const noexcept
    {
        ForEachRun(start, end, [&out](const T *p, std::ptrdiff_t n) {
            std::memcpy(static_cast<void *>(out), p, size_t(n) * sizeof(T));
            out += n;
        });
    }

private:
    void MoveGap(std::ptrdiff_t pos) noexcept
    {
        if (pos == FGapStart)
            return;
        T *d = FData;
        if (pos < FGapStart)
            std::memmove(static_cast<void *>(d + pos + FGapLength), d + pos,
                         size_t(FGapStart - pos) * sizeof(T));
        else
            std::memmove(static_cast<void *>(d + FGapStart), d + FGapStart + FGapLength,
                         size_t(pos - FGapStart) * sizeof(T));
        FGapStart = pos;
    }
    // Keeps the gap where it is, at least Count long. The storage grows in
    // place where the allocator can (large blocks are remapped, not copied),
    // so growing a large text never holds it twice.
    void Regrow(std::ptrdiff_t count)
    {
        const std::ptrdiff_t size = Size();
        const std::ptrdiff_t capacity = size + count;
        const std::ptrdiff_t after = size - FGapStart;
        T *data = static_cast<T *>(std::realloc(FData, size_t(capacity) * sizeof(T)));
        if (!data)
            throw std::bad_alloc();
        FData = data;
        AskForLargePages(data, size_t(capacity) * sizeof(T));
        std::memmove(static_cast<void *>(data + capacity - after), data + FCapacity - after,
                     size_t(after) * sizeof(T));
        FCapacity = capacity;
        FGapLength = capacity - size;
    }

    // A large text is touched page by page as it loads; in pages of 2 MiB
    // that is a few hundred faults instead of a hundred thousand.
    static void AskForLargePages(void *data, size_t bytes) noexcept
    {
        constexpr size_t Large = size_t(2) << 20;
        if (bytes < 4 * Large)
            return;
        const auto begin = (reinterpret_cast<std::uintptr_t>(data) + Large - 1) & ~(Large - 1);
        const auto end = (reinterpret_cast<std::uintptr_t>(data) + bytes) & ~(Large - 1);
        if (end > begin)
            ::madvise(reinterpret_cast<void *>(begin), end - begin, MADV_HUGEPAGE);
    }

    T *FData = nullptr;
    std::ptrdiff_t FCapacity = 0, FGapStart = 0, FGapLength = 0;
};
