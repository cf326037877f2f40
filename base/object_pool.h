// ObjectPool_: a pool of objects of one class, created in arrays and handed
// out from a free list, so that taking and returning an object allocates
// nothing once the pool is filled. Tested by base/mem_pool_test.cpp.
#pragma once

#include <cstdint>
#include <new>

#include "base/memblock_list.h"
#include "base/otstr.h"
#include "base/tracer.h"

template <class T>
class ObjectPool_ {
  public:
    // growBy: objects added by each refill (a value below 1 is taken as 1).
    explicit ObjectPool_(int32_t growBy = 10) : growBy(growBy < 1 ? 1 : growBy) {}
    // Reports objects still out, then destroys every array with its objects.
    virtual ~ObjectPool_();
    ObjectPool_(const ObjectPool_&) = delete;
    ObjectPool_& operator=(const ObjectPool_&) = delete;

    // Creates an array of n objects and puts them on the free list; false
    // when nothing could be added.
    virtual bool Refill(int32_t n);

    // A free object (refilling by growBy first when none is left), counted as
    // active; null when even the refill gave nothing.
    T* Get();
    // Gives an object back to the free list; null is ignored.
    void Put(T* object);

    int GetActiveCount() const { return nActiveMemNum; }
    int GetFreeCount() const { return freeList.GetCount(); }

  protected:
    MemblockList freeList;
    int32_t nActiveMemNum = 0;
    MemblockList arrays;
    int32_t growBy;
};

template <class T>
ObjectPool_<T>::~ObjectPool_() {
    if (nActiveMemNum != 0) {
        OTSTR text;
        text.Format("ObjectPool_ destruct found err, nActiveMemNum=%ld",
                    static_cast<long>(nActiveMemNum));
        TraceText(text.GetBuffer(0));
    }
    while (!arrays.IsEmpty()) delete[] static_cast<T*>(arrays.RemoveHead());
}

template <class T>
bool ObjectPool_<T>::Refill(int32_t n) {
    if (n < 1) return false;
    T* objects = new (std::nothrow) T[n];
    if (objects == nullptr) {
        TraceText("ObjectPool_ malloc error !");
        return false;
    }
    int before = arrays.GetCount();
    if (arrays.AddTail(objects) == before) {
        delete[] objects;
        return false;
    }
    int added = 0;
    for (int32_t i = 0; i < n; ++i) {
        int count = freeList.GetCount();
        if (freeList.AddTail(objects + i) != count) ++added;
    }
    return added > 0;
}

template <class T>
T* ObjectPool_<T>::Get() {
    if (freeList.IsEmpty() && !Refill(growBy)) return nullptr;
    T* object = static_cast<T*>(freeList.RemoveHead());
    if (object != nullptr) ++nActiveMemNum;
    return object;
}

template <class T>
void ObjectPool_<T>::Put(T* object) {
    if (object == nullptr) return;
    // Without a node for it the object stays off the free list; the array
    // that holds it still destroys it with the pool.
    freeList.AddTail(object);
    --nActiveMemNum;
}
