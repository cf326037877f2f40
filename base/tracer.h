// Tracer: the process-wide trace log. Every engine diagnostic goes through
// it to a rotating log file (once opened) and to the console output.
// Tested by base/tracer_test.cpp.
#pragma once

class LogFile;

// Formats one line (up to 1023 characters, cut beyond) and hands it to the
// trace with a line end. For the engine's messages.
void TraceLine(const char* format, ...) __attribute__((format(printf, 1, 2)));
// Hands text to the trace as it is (no format interpretation) with a line
// end; nothing happens when there is no trace.
void TraceText(const char* text);

// While a TraceHold lives on a thread, nothing that thread hands to the
// trace is written: the line is dropped and noted instead, and the script
// environments keep no error either (ExecuteEnv::SetLastError). For a run
// that is undone whenever it has anything to say, and then done again
// where it can say it.
class TraceHold {
  public:
    TraceHold();
    ~TraceHold();
    TraceHold(const TraceHold&) = delete;
    TraceHold& operator=(const TraceHold&) = delete;

    // Whether a line was dropped since this hold began, in holds begun
    // within it too.
    bool Dropped() const;
    // Whether a hold lives on this thread.
    static bool Active();

  private:
    bool outerDropped;
};

class Tracer {
  public:
    // The instance, created on first use; null only when creation fails.
    static Tracer* inst();
    // Deletes the instance (ending the current log file with its end stamp).
    static void destroy();

    // Stores the owner; with a name, starts the log files <name>0.txt to
    // <name>9.txt (5,242,880 bytes each, buffered). Always true.
    bool open(void* owner, const char* name);
    // Writes the text as it is (no format interpretation), then "\n" when
    // newline is set.
    void TRACE_(const char* text, bool newline);
    // Formats a line (at most 399 characters) and appends "\n".
    void TRACEF(const char* format, ...) __attribute__((format(printf, 2, 3)));
    // Writes out what the log file's cache holds; the file stays current.
    void close();

    void SetConsoleOn(bool on) { consoleOn = on; }
    bool IsConsoleOn() const { return consoleOn; }
    bool IsFileOn() const { return fileOn; }
    void* GetOwner() const { return owner; }

    virtual void lock();
    virtual void unlock();
    virtual void output(const char* text);

  protected:
    Tracer() = default;
    virtual ~Tracer();
    Tracer(const Tracer&) = delete;
    Tracer& operator=(const Tracer&) = delete;

    void* owner = nullptr;
    LogFile* logFile = nullptr;
    bool fileOn = false;
    bool consoleOn = true;
};
