// MemblockList: the node list with its cache of unlinked nodes.
// Tested by base/memblock_list_test.cpp.
#include "base/memblock_list.h"

#include <new>

#include "base/tracer.h"

namespace {

const char kMallocError[] = "MemblockList malloc error !";

}  // namespace

MemblockList::MemblockList(int32_t maxFree) : maxFree(maxFree) {}

MemblockList::~MemblockList() {
    while (head != nullptr) {
        Node* next = head->next;
        delete head;
        head = next;
    }
    while (freeNodes != nullptr) {
        Node* next = freeNodes->next;
        delete freeNodes;
        freeNodes = next;
    }
}

int MemblockList::AddTail(void* ptr, uint32_t tag) {
    Node* node = nullptr;
    if (maxFree != 0 && freeNodes != nullptr) {
        node = freeNodes;
        freeNodes = node->next;
        --freeCount;
    } else {
        node = new (std::nothrow) Node;
        if (node == nullptr) {
            TraceText(kMallocError);
            return count;
        }
    }
    node->ptr = ptr;
    node->tag = tag;
    node->next = nullptr;
    node->prev = tail;
    if (tail != nullptr) {
        tail->next = node;
    } else {
        head = node;
    }
    tail = node;
    return ++count;
}

// Called with count still including the node: the node is kept only while
// the nodes in use and the ones kept stay within maxFree.
void MemblockList::Release(Node* node) {
    if (maxFree == 0 || maxFree < static_cast<int64_t>(count) + freeCount) {
        delete node;
        return;
    }
    node->next = freeNodes;
    node->prev = nullptr;
    freeNodes = node;
    ++freeCount;
}

void* MemblockList::RemoveHead(uint32_t* tag) {
    if (head == nullptr) {
        if (tag != nullptr) *tag = 0;
        return nullptr;
    }
    Node* node = head;
    void* ptr = node->ptr;
    if (tag != nullptr) *tag = node->tag;
    head = node->next;
    if (head != nullptr) {
        head->prev = nullptr;
    } else {
        tail = nullptr;
    }
    Release(node);
    --count;
    return ptr;
}

void* MemblockList::RemoveTail(uint32_t* tag) {
    if (tail == nullptr) {
        if (tag != nullptr) *tag = 0;
        return nullptr;
    }
    Node* node = tail;
    void* ptr = node->ptr;
    if (tag != nullptr) *tag = node->tag;
    tail = node->prev;
    if (tail != nullptr) {
        tail->next = nullptr;
    } else {
        head = nullptr;
    }
    Release(node);
    --count;
    return ptr;
}

void* MemblockList::GetTail(uint32_t* tag) const {
    if (tag != nullptr) *tag = tail != nullptr ? tail->tag : 0;
    return tail != nullptr ? tail->ptr : nullptr;
}

void* MemblockList::GetAt(int index, uint32_t* tag) const {
    if (tag != nullptr) *tag = 0;
    if (index < 0 || index >= count) return nullptr;
    const Node* node = head;
    for (int i = 0; i < index; ++i) node = node->next;
    if (tag != nullptr) *tag = node->tag;
    return node->ptr;
}

void MemblockList::RemoveAll() {
    while (head != nullptr) RemoveHead();
}
