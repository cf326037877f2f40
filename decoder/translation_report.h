// The translation report ("Dump\Tran") and the running totals of the
// translations of a session. Tested by decoder/translation_report_test.cpp.
#pragma once

#include <cstdint>

#include "base/otstr.h"

class ProtocolDecoder;
class TextTable;

// What one translation produced, for its report.
struct TranslationOutcome {
    OTSTR caption0;  // set by the script (sysSetTitle)
    OTSTR caption1;
    OTSTR protocolName;              // PROTOCOL_NAME, empty when there is none
    const uint8_t* bytes = nullptr;  // not owned
    int32_t length = 0;
    uint32_t milliseconds = 0;
    bool failed = false;
    OTSTR error;                      // the decoder's last error when failed
    int32_t leftover = 0;             // bytes not translated after a success
    const TextTable* dump = nullptr;  // the instance dump, or none; not owned
};

// The outcome of decoder's translation of the length bytes at bytes, ok and
// used being what Translate returned, with dump as its instance dump (or
// null): the captions, the protocol name and the last error are the
// decoder's as they stand now. The time is left at 0 for the caller.
TranslationOutcome OutcomeOf(const ProtocolDecoder& decoder, const uint8_t* bytes, int32_t length,
                             bool ok, int32_t used, const TextTable* dump);
// OutcomeOf into outcome, whose texts keep their blocks for the next one.
void FillOutcome(const ProtocolDecoder& decoder, const uint8_t* bytes, int32_t length, bool ok,
                 int32_t used, const TextTable* dump, TranslationOutcome& outcome);

// Gives table the five columns of the report's instance dump ("Pos",
// "Bits", "Name", "Description", "Value"): the first four as wide as their
// texts, the value column valueWidth wide.
void SetReportColumns(TextTable& table, int32_t valueWidth);

// Appends the report of one translation to path (with overwrite, the file
// is started anew between begin and end stamps). False when it cannot be
// written.
bool WriteTranslationReport(const char* path, const TranslationOutcome& outcome, bool overwrite);

// Writes a report text made by FormatTranslationReport as
// WriteTranslationReport does.
bool WriteReportText(const char* path, const char* text, bool overwrite);

// The report's text without the stamps (the part WriteTranslationReport
// writes for one message).
void FormatTranslationReport(const TranslationOutcome& outcome, bool overwrite, OTSTR& out);

// The three counters kept for a whole run of the application.
class TranslationTotals {
  public:
    // Counts one attempt: a failure, or a success that left bytes over.
    void Count(bool failed, int32_t leftover);
    // Counts an input rejected before translation.
    void CountIllegal();
    // "  Total - %ld    Fail - %ld    Warning - %ld "; after an illegal
    // input the variant with five blanks before "Fail".
    void Line(OTSTR& out) const;

    int32_t total = 0;
    int32_t failed = 0;
    int32_t warnings = 0;
    bool lastIllegal = false;
};
