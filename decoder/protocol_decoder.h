// ProtocolDecoder: the decoding engine. It owns the compiled protocol
// script, the execution environment of its procedures and the root instance
// "msg", and walks the struct definitions over a message's bytes. Tested by
// decoder/decoder_test.cpp and decoder/builtins_test.cpp.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "base/byte_cursor.h"
#include "base/cast_cache.h"
#include "base/otstr.h"
#include "base/text_stack.h"
#include "decoder/compiled_procedures.h"
#include "decoder/decoder_item.h"
#include "decoder/quiet_procedures.h"
#include "runtime/execute_env.h"
#include "script/bound_arguments.h"

class CVariableItem;
class Program;
class StructDefinition;

// The decoder's messages; "%-3d" is the byte position of the failure.
namespace decodermsg {
constexpr const char kNoScript[] = "no script loaded";
constexpr const char kNoRoot[] = "Access struct(defined by 'PROTOCOL_ROOT') not seted";
constexpr const char kThisFail[] = "%-3d : Internal err, create 'this' fail";
constexpr const char kNewStkFail[] = "%-3d : Internal err, new thisStk fail";
constexpr const char kPushFail[] = "%-3d : Internal err, %s";
constexpr const char kGetDataFail[] =
    "%-3d : '%s' get '%s' data fail, maybe reach packet or current ConfentOf stream's end, or "
    "setvalue error";
constexpr const char kNoTranslate[] = "%-3d : translate procedure not found for '%s'";
constexpr const char kNotSupported[] = "%-3d : translate to '%s' are not supported now";
constexpr const char kCallFail[] = "%s %s";
constexpr const char kNotAccordant[] =
    "value of '%s' is not accordant with the original binary stream, %s not allowed";
constexpr const char kContentCreate[] = "%s create content struct error";
constexpr const char kContentPrefix[] = "%s.%s";
constexpr const char kContentUnused[] = "%s ContentOf does't use up all the bytes";
constexpr const char kContentOut[] = "%s ContentOf out of boundary";
constexpr const char kIntegratedDef[] = "%s get Integrated struct's definition error";
constexpr const char kNoIntegrate[] = "%s get procedure Integrate() error";
constexpr const char kIntegratedCreate[] = "%s create Integrated struct error";
constexpr const char kNoIntegratedValue[] = "%s no Integrated value returned";
constexpr const char kSetResult[] = "%-3d : '%s' <- '%s' fail";
constexpr const char kTooDeep[] = "%-3d : '%s' nested deeper than %d levels, translate stopped";
constexpr const char kDumpThisFail[] = "%s create 'this' fail when dump";
constexpr const char kLongValueFail[] = "%s get long value fail, maybe type illegal";
}  // namespace decodermsg

class ProtocolDecoder;

// A holder taken from the decoder (TakeHolder) for one use, given back when
// it goes.
class LentHolder {
  public:
    explicit LentHolder(ProtocolDecoder& decoder);
    ~LentHolder();
    LentHolder(const LentHolder&) = delete;
    LentHolder& operator=(const LentHolder&) = delete;
    DecoderItem* get() const { return item.get(); }
    DecoderItem* operator->() const { return item.get(); }

  private:
    ProtocolDecoder& decoder;
    std::unique_ptr<DecoderItem> item;
};

class ProtocolDecoder {
  public:
    // Structs and choices nest at most this deep within one message.
    static constexpr int kMaxNesting = 64;
    // Arguments of the external-call hook record.
    static constexpr int kMaxHookArgs = 10;

    ProtocolDecoder();
    ~ProtocolDecoder();
    ProtocolDecoder(const ProtocolDecoder&) = delete;
    ProtocolDecoder& operator=(const ProtocolDecoder&) = delete;

    // Compiles a protocol script file; with dumpListing the listing goes to
    // "Dump\Program.txt". A script without a usable root still loads.
    bool LoadScript(const char* path, bool dumpListing);
    // Resolves the root struct type by name, or (null) by PROTOCOL_ROOT.
    bool SetRoot(const char* name, int32_t tag);
    // Decodes one message into the root "msg"; length receives the bytes
    // consumed. Null bytes only check that the engine is ready.
    bool Translate(bool keep, const uint8_t* bytes, int32_t& length);
    bool TranslateStruct(CVariableItem& instance, int32_t index, ByteCursor& cursor);
    // A member of integers read without a procedure, as TranslateMember
    // reads it when that succeeds; false, with the cursor where it was, for
    // any other member or where the read fails (TranslateMember then reads
    // it, with its messages). The attributes are def's: those of the
    // item's own definition, or of the parameter that lends it.
    bool ReadPlainInteger(CVariableItem& item, ByteCursor& cursor, const VariableDefinition* def);
    bool ReadPlainInteger(CVariableItem& item, ByteCursor& cursor) {
        return ReadPlainInteger(item, cursor, item.def);
    }
    // ReadPlainInteger, inline where the members of a struct are read.
    bool ReadPlain(CVariableItem& item, ByteCursor& cursor, const VariableDefinition* def);
    bool TranslateMember(const char* name, CVariableItem* thisInstance, CVariableItem& item,
                         ByteCursor& cursor, const int32_t* octetLength);
    bool IntegrateMember(const char* name, CVariableItem* thisInstance, CVariableItem& item,
                         ByteCursor& cursor, StructDefinition* integratedType);
    bool GetTitle(int n, OTSTR& out) const;
    // The time the script may run for one message, in milliseconds (0: no
    // limit). The clock starts with each translation and also covers the
    // Dump procedures run on its tree afterwards; when it runs out the
    // translation fails with "canceled !" at the end of its error text.
    void SetTimeLimit(uint32_t ms) { env.SetTimeLimit(ms); }
    uint32_t GetTimeLimit() const { return env.GetTimeLimit(); }
    void SetExternalHandler(void* owner, ExternalHandler function);
    // Sets the argument words of the external-call hook; more than
    // kMaxHookArgs fails and leaves none.
    bool SetExternalArguments(int count, void* const* args);
    void Reset(bool clearError);

    const OTSTR& GetLastError() const { return lastError; }
    // Warnings about the loaded script (constructs that compile but seldom
    // decode what was meant), each "FILE : Ln N  warning: TEXT"; none after
    // a failed load.
    const std::vector<OTSTR>& GetWarnings() const { return warnings; }
    const OTSTR& GetProtocolName() const { return protocolName; }
    Program* GetProgram() const { return program.get(); }
    // item as a decoder item; null when it is none.
    DecoderItem* AsDecoderItem(CVariableItem* item) { return itemCast.Cast(item); }
    // Changes whenever the program goes or another comes, so that what a
    // caller found in the program may be kept while this stays; 0 until
    // the first script is loaded or the decoder reset.
    uint32_t GetProgramSerial() const { return programSerial; }
    StructDefinition* GetRootDef() const { return rootDef; }
    int32_t GetRootTag() const { return rootTag; }
    DecoderItem& GetRoot() { return root; }
    ExecuteEnv& GetEnv() { return env; }
    // The Dump procedures that may be left out when no row shows them.
    QuietProcedures& GetQuietProcedures() { return quietProcedures; }
    CompiledProcedures& GetCompiledProcedures() { return compiledProcedures; }
    int32_t GetStartPos() const { return startPos; }
    int32_t GetConsumedBytes() const { return consumedBytes; }
    bool KeepsIntegrated() const { return keepIntegrated != 0; }

    // How many of a member's declared elements get storage. Each element
    // read from the message takes at least a bit, each struct element at
    // least a byte; so a translation's tree holds at most eight values and
    // one struct element a byte, and kSpareElements more. A member past that
    // gets what is left (at least one element); its elements past those fail
    // as a message that ends there does.
    int32_t ReserveElements(int32_t declared, bool structs);
    // One choice element (sysTranChoiceItem) from the same reserve, as a
    // struct element; false once the reserve is used up, so that a
    // procedure that adds elements without reading bytes ends.
    bool TakeChoiceElement();
    // A choice element of def for the choice's element struct, what
    // elements.NewItem() and its create(&elements, def) make: renewed from
    // an element of recent messages' choices where one of def is kept.
    // Null when it cannot be made. The caller owns it.
    CVariableItem* NewChoiceElement(CStruct& elements, VariableDefinition* def);
    static constexpr int64_t kSpareElements = 4096;

    // An empty item for the decoder to hand a struct element ("this") or a
    // fetched variable to the steps that read into it, taken from the ones
    // given back (null when memory runs out), and one given back after such
    // a use: kept when it is empty again and as a new one is.
    std::unique_ptr<DecoderItem> TakeHolder();
    void GiveHolder(std::unique_ptr<DecoderItem> holder);

    // Records a failure text; the "recorded" flag tells TranslateMember that
    // the failing step left its own message.
    void SetError(const char* format, ...) __attribute__((format(printf, 2, 3)));
    // The environment's first error as the decoder's last error.
    void TakeEnvError();
    // Sets the caption n (0 or 1); with a length, to that many bytes of
    // text, up to the first zero byte as the zero-terminated text.
    bool SetTitle(int n, const char* text);
    bool SetTitle(int n, const char* text, int length);
    // The procedure hook that the environment calls for extern procedures.
    static int HookFunction(void* owner, int argc, void** argv);
    // The scratch texts of the decode's calls (element names, argument
    // texts), kept for the next message's calls.
    TextStack& ScratchTexts() { return scratchTexts; }

    OTSTR protocolName;
    uint32_t programSerial = 0;
    OTSTR lastError;
    // The external-call hook record.
    void* hookOwner = nullptr;
    ExternalHandler hookFunction = nullptr;
    int hookArgCount = 0;
    void* hookArgs[kMaxHookArgs] = {};

  private:
    friend class BuiltinCall;

    // Empties the root; it keeps the name "msg" whether or not a
    // translation fills it.
    void ClearRoot();
    // Makes the root what root.create(rootDef, "msg", 1) makes from an empty
    // one, renewing the tree of the last message in place: the items and
    // structs that are still as their creates left them keep their storage
    // and are only reset, the others are made again; the reserve of
    // elements is taken as the create takes it. False when the tree cannot
    // be renewed (the root then needs clearing and creating).
    bool RenewRoot();
    // The same for an element struct of def and its members.
    bool RenewElement(CStruct& element, StructDefinition* def);
    bool RenewMember(CStruct& owner, CVariableItem& member, VariableDefinition* def);
    // RenewMember of a basic item of def, inline in the loop over a struct's
    // members. False for any other item and for one that cannot be renewed
    // in place, having changed nothing that RenewMember does not set again.
    bool RenewLeaf(CStruct& owner, CVariableItem& member, VariableDefinition* def);
    // Keeps the elements of a choice that is about to be made again, for
    // NewChoiceElement.
    void KeepChoiceElements(CVariableItem& choice);
    // Runs a Translate procedure for element i and stores its result.
    bool RunTranslate(Procedure* proc, CVariableItem& item, int32_t i, const char* elementName,
                      const char* args, bool bitField);
    bool ContentStep(CVariableItem& item, int32_t i, const char* elementName, ByteCursor& cursor,
                     int32_t p0, StructDefinition* contentType);
    bool ReadInteger(CVariableItem& item, int32_t i, ByteCursor& cursor);

    OTSTR titles[2];
    std::vector<OTSTR> warnings;
    std::unique_ptr<Program> program;
    StructDefinition* rootDef = nullptr;
    int32_t rootTag = 0;
    uint8_t keepIntegrated = 1;
    ExecuteEnv env;
    DecoderItem root{this};
    int32_t startPos = 0;
    int32_t consumedBytes = 0;
    ByteCursor cursor;
    bool recorded = false;
    int nesting = 0;
    int64_t bitsLeft = 8 * kSpareElements;  // for ReserveElements
    // The argument texts of Translate and Integrate calls, bound once.
    BoundArguments boundArguments;
    QuietProcedures quietProcedures{env};
    CompiledProcedures compiledProcedures{quietProcedures};
    // Elements of the choices of the last kSpareMessages messages, oldest
    // first, until NewChoiceElement takes them; dropped with the root.
    struct SpareElement {
        std::unique_ptr<DecoderItem> item;
        uint32_t message;  // the renewal that kept it
    };
    std::vector<SpareElement> spareElements;
    uint32_t renewals = 0;
    static constexpr size_t kMaxSpareElements = 64;
    // Holders given back, for TakeHolder; room for them is reserved at once.
    std::vector<std::unique_ptr<DecoderItem>> spareHolders;
    static constexpr size_t kMaxSpareHolders = 16;
    static constexpr uint32_t kSpareMessages = 4;
    // The items and structs of a translation, cast to the decoder's classes.
    CastCache<DecoderItem> itemCast;
    CastCache<DecoderStruct> structCast;
    TextStack scratchTexts;
};

// Moves the cursor to p, which may be its readable end; false outside
// 0..capacity.
bool MoveCursor(ByteCursor& cursor, int32_t p);
