// DecoderItem and DecoderStruct: the instances the decoder fills. An item
// and each element struct keep where their bytes lay and whether decoding
// failed; an item also keeps the integrated and content structs built for
// it. Tested by decoder/decoder_test.cpp.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <new>

#include "base/ob_array.h"
#include "base/otstr.h"
#include "types/cstruct.h"
#include "types/instance_dump.h"
#include "types/variable_item.h"

class DecoderStruct;
class ProtocolDecoder;
class StructDefinition;

class DecoderItem : public CVariableItem, public AttachedStructs {
  public:
    explicit DecoderItem(ProtocolDecoder* decoder = nullptr) : decoder(decoder) {}
    // Deletes the integrated and content structs.
    ~DecoderItem() override;

    // Every message makes and drops a tree of items: their blocks come from
    // and go back to a per-thread cache of blocks of their size.
    static void* operator new(size_t size);
    static void* operator new(size_t size, const std::nothrow_t&) noexcept;
    static void operator delete(void* block, size_t size) noexcept;

    CStruct* NewStruct() override;
    // Within a decoder's tree, as many elements as its translation has room
    // for (ProtocolDecoder::ReserveElements).
    int32_t ReserveCount(int32_t declared, bool structs) final;

    // Result texts of the views. An item that refers to one element of a
    // struct array (the "this" of the element rows) answers the location
    // texts of that element.
    void LocationText(OTSTR& out) override;
    bool IsFailed() override;
    bool HasLocation() override;
    bool MarkerText(OTSTR& out) override;
    bool HasComment() override;
    int CommentText(int32_t index, OTSTR& out, const char* defaultText) override;
    bool HasIntegrated(bool any) override;
    CVariableItem* IntegratedAt(int32_t index) override;
    CVariableItem* ContentAt(int32_t index) override;

    // The integrated struct list: one slot per element. SetIntegrated takes
    // the struct over (deleting what the slot held); DropIntegrated deletes it.
    bool SizeIntegrated(int32_t n);
    bool SetIntegrated(int32_t index, DecoderItem* s);
    void DropIntegrated(int32_t index);
    // Takes a content struct over as the last one.
    bool AddContent(DecoderItem* s);
    int ContentCount() const { return attached != nullptr ? attached->contents.GetSize() : 0; }
    // Empties the item (as clear) and deletes its attached structs.
    void ClearAll();
    // Back to where a new item starts its translation, value aside: no
    // location, not failed, no attached structs.
    __attribute__((used)) void Restart() {
        if (attached != nullptr) FreeAttached();
        start = -1;
        length = -1;
        failed = false;
    }

    ProtocolDecoder* decoder;  // not owned; null outside a decoder's tree
    int32_t start = -1;
    int32_t length = -1;
    bool failed = false;

  private:
    void FreeAttached();
    // The element struct this item refers to, null unless it is a reference
    // to one struct element.
    DecoderStruct* ReferredElement() const;

    // The integrated and content structs. Most items have none: the lists
    // live apart, made at the first struct, so that the item stays small
    // and a message's renewal touches less of it.
    struct Attached {
        ObArrayOf<DecoderItem> integrated{25};  // owned, null for an empty slot
        ObArrayOf<DecoderItem> contents{25};    // owned
    };
    // The lists, made when missing; null when memory runs out.
    Attached* Attach();

    std::unique_ptr<Attached> attached;
};

// One element of a decoded struct item, with the location and failure mark
// that TranslateStruct gives it.
class DecoderStruct : public CStruct {
  public:
    explicit DecoderStruct(ProtocolDecoder* decoder = nullptr) : decoder(decoder) {}
    CVariableItem* NewItem() override;

    // As for items: blocks from a per-thread cache.
    static void* operator new(size_t size);
    static void* operator new(size_t size, const std::nothrow_t&) noexcept;
    static void operator delete(void* block, size_t size) noexcept;

    // Result texts of the views, as for an item: "start:length", and the
    // marker "***?****" until the element is located, empty after.
    void LocationText(OTSTR& out) const;
    bool IsFailed() const { return failed; }
    bool HasLocation() const { return start >= 0 && length >= 0; }
    bool MarkerText(OTSTR& out) const;
    // Not located and not failed, as a new element is.
    void Restart() {
        start = -1;
        length = -1;
        failed = false;
    }

    ProtocolDecoder* decoder;  // not owned
    int32_t start = -1;
    int32_t length = -1;
    bool failed = false;
};

// The struct type whose Integrate procedure computes a definition's value:
// only a DeclareMap item declared with TypeOF has one.
StructDefinition* IntegratedStructOf(const VariableDefinition* def);
