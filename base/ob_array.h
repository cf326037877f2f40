// ObArray: a growable array of (pointer, tag) pairs that grows and shrinks
// in steps. It never owns what its pointers point to.
// Tested by base/ob_array_test.cpp.
#pragma once

#include <cstdint>
#include <type_traits>

#include "base/named_object.h"

struct ObItem {
    void* ptr;
    uint32_t tag;
};

class ObArray : public NamedObject {
  public:
    // Has room for step elements at once (the block is taken at the first
    // Add); a step below 1 is taken as 25.
    explicit ObArray(int32_t step = 25);
    ~ObArray() override;
    ObArray(const ObArray&) = delete;
    ObArray& operator=(const ObArray&) = delete;

    // Appends an element and returns the new count. When the block cannot
    // grow the element is not stored and the count stays as it was.
    int Add(void* ptr, uint32_t tag = 0) {
        if (items == nullptr || count >= capacity) return AddGrowing(ptr, tag);
        items[count].ptr = ptr;
        items[count].tag = tag;
        return ++count;
    }

    // The pointer at index (null when out of range); the tag goes to *tag
    // when tag is not null (0 when out of range).
    void* GetAt(int index, uint32_t* tag = nullptr) const {
        if (index < 0 || index >= count) {
            if (tag != nullptr) *tag = 0;
            return nullptr;
        }
        if (tag != nullptr) *tag = items[index].tag;
        return items[index].ptr;
    }
    // The element itself, or a {null, 0} element when out of range (writing
    // into that one changes nothing stored).
    ObItem& ElementAt(int index);
    void* GetLast(uint32_t* tag = nullptr) const;
    int GetSize() const { return count; }
    // The elements in order, for loops that must not pay a call per element;
    // valid until the array changes.
    const ObItem* Data() const { return items; }

    // Removes the element at index and closes the gap; returns its pointer,
    // null when out of range. The block shrinks by one step when more than
    // two steps are unused.
    void* RemoveAt(int index, uint32_t* tag = nullptr) {
        // The last element of an array that need not shrink goes at once.
        if (index != count - 1 || index < 0 ||
            static_cast<int64_t>(capacity) - 2 * static_cast<int64_t>(growBy) > index) {
            return RemoveMoving(index, tag);
        }
        if (tag != nullptr) *tag = items[index].tag;
        --count;
        return items[index].ptr;
    }
    void* RemoveLast(uint32_t* tag = nullptr) { return RemoveAt(count - 1, tag); }

    // Empties the array and leaves it a block of one step (kept when it has
    // that size already); the second form first sets a new step (a step
    // below 1 keeps the old one).
    void RemoveAll();
    void RemoveAll(int32_t step);
    // Empties the array and adds n null elements; false when n < 0 or the
    // block could not hold them all.
    bool SetSize(int n);

    int GetCapacity() const { return capacity; }
    int GetGrowBy() const { return growBy; }

  private:
    // Add and RemoveAt for the cases that need the block changed or moved.
    int AddGrowing(void* ptr, uint32_t tag);
    void* RemoveMoving(int index, uint32_t* tag);
    bool Resize(int32_t newCapacity, const char* failMessage);
    void ShrinkIfSparse();

    int32_t count = 0;
    ObItem* items = nullptr;
    int32_t growBy = 25;
    int32_t capacity = 0;
    ObItem nullItem = {nullptr, 0};
};

// ObArrayOf<T>: an ObArray whose pointers are T*, without a cost: the same
// object with typed Add and getters in place of the untyped ones, so that a
// pointer goes in and comes out as the same type (a class with several
// bases included). It never owns what it points to either; an owner deletes
// the elements itself (DeleteAll).
template <typename T>
class ObArrayOf : public ObArray {
  public:
    explicit ObArrayOf(int32_t step = 25) : ObArray(step) {}

    int Add(T* ptr, uint32_t tag = 0) { return ObArray::Add(ToVoid(ptr), tag); }
    T* GetAt(int index, uint32_t* tag = nullptr) const {
        return static_cast<T*>(ObArray::GetAt(index, tag));
    }
    T* GetLast(uint32_t* tag = nullptr) const { return static_cast<T*>(ObArray::GetLast(tag)); }
    T* RemoveAt(int index, uint32_t* tag = nullptr) {
        return static_cast<T*>(ObArray::RemoveAt(index, tag));
    }
    T* RemoveLast(uint32_t* tag = nullptr) { return static_cast<T*>(ObArray::RemoveLast(tag)); }
    // Replaces the pointer at index (the tag stays); false when out of range.
    bool SetAt(int index, T* ptr) {
        if (index < 0 || index >= GetSize()) return false;
        ElementAt(index).ptr = ToVoid(ptr);
        return true;
    }
    // The index of ptr's first element, or -1.
    int Find(const T* ptr) const {
        for (int i = 0; i < GetSize(); ++i)
            if (GetAt(i) == ptr) return i;
        return -1;
    }
    // Deletes every element, the last first, and empties the array.
    void DeleteAll() {
        while (GetSize() > 0) delete RemoveLast();
    }

  private:
    static void* ToVoid(T* ptr) { return const_cast<std::remove_const_t<T>*>(ptr); }
};
