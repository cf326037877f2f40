// MemblockList: a doubly linked list of (pointer, tag) nodes that keeps
// unlinked nodes on a free list for reuse. It never owns what its pointers
// point to. Tested by base/memblock_list_test.cpp.
#pragma once

#include <cstdint>

#include "base/named_object.h"

class MemblockList : public NamedObject {
  public:
    // maxFree: how many nodes the list may keep for reuse (0: none).
    explicit MemblockList(int32_t maxFree = 32000);
    ~MemblockList() override;
    MemblockList(const MemblockList&) = delete;
    MemblockList& operator=(const MemblockList&) = delete;

    // Appends a node and returns the new count; when no node can be had the
    // count stays as it was.
    int AddTail(void* ptr, uint32_t tag = 0);
    // Unlink the first / last node and return its pointer (null when empty);
    // the tag goes to *tag when tag is not null.
    void* RemoveHead(uint32_t* tag = nullptr);
    void* RemoveTail(uint32_t* tag = nullptr);
    void* GetTail(uint32_t* tag = nullptr) const;
    // Walks from the head; null when index is out of range.
    void* GetAt(int index, uint32_t* tag = nullptr) const;
    int GetCount() const { return count; }
    bool IsEmpty() const { return count == 0; }
    void SetMaxFree(int32_t n) { maxFree = n; }
    int GetMaxFree() const { return maxFree; }
    int GetFreeCount() const { return freeCount; }
    // Unlinks every node (each kept or deleted as on a single removal).
    void RemoveAll();

  private:
    struct Node {
        void* ptr;
        uint32_t tag;
        Node* next;
        Node* prev;
    };

    void Release(Node* node);

    Node* head = nullptr;
    Node* tail = nullptr;
    int32_t count = 0;
    int32_t maxFree;
    Node* freeNodes = nullptr;
    int32_t freeCount = 0;
};
