#pragma once
// An array with a movable gap: inserting and erasing where the gap is costs
// only what is inserted, so runs of edits in one place are cheap. Holds only
// trivially copyable elements; storage is never initialised before use, so a
// large load touches each page once.
#include <algorithm>
#include <cstring>
#include <functional>
#include <memory>
#include <type_traits>

template <typename T> class cGapArray
{
    static_assert(std::is_trivially_copyable_v<T>);

public:
    cGapArray() = default;
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
        FData.reset();
        FCapacity = FGapStart = FGapLength = 0;
    }
    // Room for at least Count more elements without a new allocation.
    void Reserve(std::ptrdiff_t count)
    {
        if (FGapLength < count)
            Regrow(count);
    }

    // Opens room for up to Count elements at Pos and gives it to the caller
    // to fill; Commit then keeps the first Written of them.
    [[nodiscard]] T *Open(std::ptrdiff_t pos, std::ptrdiff_t count)
    {
        MoveGap(pos);
        if (FGapLength < count)
            Regrow(std::max(count, Size() / 4 + 16));
        return FData.get() + FGapStart;
    }
    void Commit(std::ptrdiff_t written) noexcept
    {
        FGapStart += written;
        FGapLength -= written;
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
        return FData && !before(p, FData.get()) && before(p, FData.get() + FCapacity);
    }

    // The whole array in one piece, valid until the next change.
    [[nodiscard]] const T *Contiguous() noexcept
    {
        MoveGap(Size());
        return FData.get();
    }

    // Calls Fn(pointer, count) for the one or two stored runs of Start..End.
    template <typename Fn> void ForEachRun(std::ptrdiff_t start, std::ptrdiff_t end, Fn &&fn) const
    {
        if (start < FGapStart) {
            const std::ptrdiff_t stop = std::min(end, FGapStart);
            if (stop > start)
                fn(FData.get() + start, stop - start);
            start = stop;
        }
        if (end > start)
            fn(FData.get() + start + FGapLength, end - start);
    }
    template <typename Fn> void ForEachRunMutable(std::ptrdiff_t start, std::ptrdiff_t end, Fn &&fn)
    {
        if (start < FGapStart) {
            const std::ptrdiff_t stop = std::min(end, FGapStart);
            if (stop > start)
                fn(FData.get() + start, stop - start);
            start = stop;
        }
        if (end > start)
            fn(FData.get() + start + FGapLength, end - start);
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
        T *d = FData.get();
        if (pos < FGapStart)
            std::memmove(static_cast<void *>(d + pos + FGapLength), d + pos,
                         size_t(FGapStart - pos) * sizeof(T));
        else
            std::memmove(static_cast<void *>(d + FGapStart), d + FGapStart + FGapLength,
                         size_t(pos - FGapStart) * sizeof(T));
        FGapStart = pos;
    }
    // Keeps the gap where it is, at least Count long.
    void Regrow(std::ptrdiff_t count)
    {
        const std::ptrdiff_t size = Size();
        const std::ptrdiff_t capacity = size + count;
        std::unique_ptr<T[]> data(new T[size_t(capacity)]);
        const std::ptrdiff_t after = size - FGapStart;
        if (FData) {
            std::memcpy(static_cast<void *>(data.get()), FData.get(), size_t(FGapStart) * sizeof(T));
            std::memcpy(static_cast<void *>(data.get() + capacity - after),
                        FData.get() + FGapStart + FGapLength, size_t(after) * sizeof(T));
        }
        FData = std::move(data);
        FCapacity = capacity;
        FGapLength = capacity - size;
    }

    std::unique_ptr<T[]> FData;
    std::ptrdiff_t FCapacity = 0, FGapStart = 0, FGapLength = 0;
};
