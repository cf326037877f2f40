// Tracer: the process-wide trace log, writing each line to the rotating log
// file and to the console output. Tested by base/tracer_test.cpp.
#include "base/tracer.h"

#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <new>

#include "base/formatted_text.h"
#include "base/log_file.h"
#include "base/otstr.h"

namespace {

Tracer* g_instance = nullptr;

constexpr uint32_t kTraceFileSize = 0x500000;  // 5,242,880 bytes per file

// Set while the log file is being written. A line traced from within that
// write (a string running out of memory there) goes to the console only, so
// that the log file is never entered twice.
bool g_inFileWrite = false;

// The holds living on this thread, and whether the innermost one dropped a
// line.
thread_local int t_holds = 0;
thread_local bool t_dropped = false;

}  // namespace

Tracer* Tracer::inst() {
    if (g_instance == nullptr) g_instance = new (std::nothrow) Tracer();
    return g_instance;
}

void Tracer::destroy() {
    Tracer* t = g_instance;
    g_instance = nullptr;
    delete t;
}

Tracer::~Tracer() {
    LogFile* f = logFile;
    logFile = nullptr;
    fileOn = false;
    delete f;
}

bool Tracer::open(void* ownerObject, const char* name) {
    owner = ownerObject;
    if (name == nullptr) return true;
    // A second open ends the files of the first.
    LogFile* old = logFile;
    logFile = nullptr;
    delete old;

    LogFile* f = new (std::nothrow) LogFile();
    if (f == nullptr) return true;
    f->SetLetterNaming(name, "txt", '0', '9');
    f->SetWriteMode(true, kTraceFileSize);
    f->Start();
    logFile = f;
    fileOn = true;
    return true;
}

void Tracer::TRACE_(const char* text, bool newline) {
    if (t_holds > 0) {
        t_dropped = true;
        return;
    }
    if (!fileOn && !consoleOn) return;
    if (text == nullptr) text = "";
    lock();
    if (fileOn && logFile != nullptr && !g_inFileWrite) {
        g_inFileWrite = true;
        logFile->Write(text);
        if (newline) logFile->Write("\n");
        g_inFileWrite = false;
    }
    if (consoleOn) {
        output(text);
        if (newline) output("\n");
    }
    unlock();
}

void Tracer::TRACEF(const char* format, ...) {
    if ((!fileOn && !consoleOn) || format == nullptr) return;
    OTSTR line;
    va_list args;
    va_start(args, format);
    line.FormatV(format, args);
    va_end(args);
    line.AppendChar('\n', 1);
    TRACE_(line.GetBuffer(), false);
}

void Tracer::close() {
    if (logFile == nullptr || g_inFileWrite) return;
    g_inFileWrite = true;
    logFile->Flush();
    g_inFileWrite = false;
}

void Tracer::lock() {}

void Tracer::unlock() {}

void Tracer::output(const char* text) {
    if (text != nullptr) fwrite(text, 1, strlen(text), stdout);
}

void TraceLine(const char* format, ...) {
    Tracer* tracer = Tracer::inst();
    if (tracer == nullptr || format == nullptr) return;
    va_list args;
    va_start(args, format);
    FormattedText line(format, args);
    va_end(args);
    tracer->TRACE_(line.Get(), true);
}

void TraceText(const char* text) {
    if (Tracer* tracer = Tracer::inst()) tracer->TRACE_(text, true);
}

TraceHold::TraceHold() : outerDropped(t_dropped) {
    ++t_holds;
    t_dropped = false;
}

TraceHold::~TraceHold() {
    --t_holds;
    t_dropped = outerDropped || t_dropped;
}

bool TraceHold::Dropped() const {
    return t_dropped;
}

bool TraceHold::Active() {
    return t_holds > 0;
}
