// BackgroundAppend: the writer thread and the hand-over of its texts.
// Tested by base/background_append_test.cpp.
#include "base/background_append.h"

#include <sched.h>
#include <signal.h>

#include <chrono>

namespace vpath {

namespace {

// A hint to the processor that this is a wait loop.
inline void CpuRelax() {
#if defined(__x86_64__) || defined(__i386__)
    __builtin_ia32_pause();
#elif defined(__aarch64__)
    asm volatile("yield");
#endif
}

// Whether done() comes true within kSpinMicroseconds, looked at without
// sleeping.
template <typename Done>
bool SpinUntil(Done done) {
    using Clock = std::chrono::steady_clock;
    const Clock::time_point end =
        Clock::now() + std::chrono::microseconds(BackgroundAppend::kSpinMicroseconds);
    for (;;) {
        for (int i = 0; i < 64; ++i) {
            if (done()) return true;
            CpuRelax();
        }
        if (Clock::now() >= end) return done();
    }
}

}  // namespace

bool BackgroundAppend::Append(const char* path, const void* data, size_t size) {
    if (path == nullptr || (data == nullptr && size > 0)) return false;
    if (size == 0) return true;
    if (!Start()) return file.Append(path, data, size);
    Slot& slot = FreeSlot();
    slot.fd = -1;
    if (slot.path != path) slot.path = path;
    slot.text.assign(static_cast<const char*>(data), size);
    Hand();
    return true;
}

bool BackgroundAppend::Write(int fd, std::string& text) {
    if (fd < 0) return false;
    if (text.empty()) return true;
    if (!Start()) {
        bool ok = WriteOut(fd, text);
        text.clear();
        return ok;
    }
    Slot& slot = FreeSlot();
    slot.fd = fd;
    slot.text.swap(text);
    text.clear();
    Hand();
    return true;
}

BackgroundAppend::Slot& BackgroundAppend::FreeSlot() {
    WaitInHand(kSlots - 1);
    return ring[handed.load(std::memory_order_relaxed) % kSlots];
}

void BackgroundAppend::WaitInHand(uint32_t most) {
    uint32_t last = handed.load(std::memory_order_relaxed);
    auto few = [this, last, most] {
        return last - written.load(std::memory_order_acquire) <= most;
    };
    if (few() || SpinUntil(few)) return;
    std::unique_lock<std::mutex> lock(mutex);
    callerAsleep = true;
    textWritten.wait(lock, few);
    callerAsleep = false;
}

void BackgroundAppend::Hand() {
    std::lock_guard<std::mutex> lock(mutex);
    handed.store(handed.load(std::memory_order_relaxed) + 1, std::memory_order_release);
    if (writerAsleep) textCame.notify_one();
}

void BackgroundAppend::Finish() {
    WaitInHand(0);
}

void BackgroundAppend::CloseFile() {
    if (!started) {
        file.Close();
        return;
    }
    // On the thread, where the file's watch signals.
    FreeSlot().fd = kCloseFile;
    Hand();
    Finish();
}

void BackgroundAppend::Close() {
    if (started) {
        Finish();
        {
            std::lock_guard<std::mutex> lock(mutex);
            stopping.store(true, std::memory_order_release);
            if (writerAsleep) textCame.notify_one();
        }
        pthread_join(thread, nullptr);
        started = false;
        stopping.store(false, std::memory_order_relaxed);
    }
    file.Close();
}

bool BackgroundAppend::Serve(Slot& slot) {
    if (slot.fd == kCloseFile) {
        file.Close();
        return true;
    }
    if (slot.fd < 0) {
        // A failure is recorded by the path layer.
        return file.Append(slot.path.c_str(), slot.text.data(), slot.text.size());
    }
    return WriteOut(slot.fd, slot.text);
}

bool BackgroundAppend::WriteOut(int fd, const std::string& text) {
    int error = WriteDescriptor(fd, text.data(), text.size());
    int none = 0;
    if (error != 0) descriptorError.compare_exchange_strong(none, error);
    return error == 0;
}

bool BackgroundAppend::Start() {
    if (started) return true;
    // A writer that waits without sleeping needs a processor of its own.
    cpu_set_t processors;
    if (!background || sched_getaffinity(0, sizeof processors, &processors) != 0 ||
        CPU_COUNT(&processors) < 2) {
        background = false;
        return false;
    }
    // The signals sent to the process (an interrupt, say) go to the threads
    // that wait for them, not to the writer: it starts with them blocked.
    // Those of faults, of writes (a pipe or a file too large) and the
    // real-time ones, which the file's watch sends to the thread that
    // watches, stay open.
    sigset_t blocked;
    sigset_t before;
    sigfillset(&blocked);
    for (int kept : {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGTRAP, SIGABRT, SIGSYS, SIGPIPE, SIGXFSZ}) {
        sigdelset(&blocked, kept);
    }
    for (int realTime = SIGRTMIN; realTime <= SIGRTMAX; ++realTime) sigdelset(&blocked, realTime);
    pthread_sigmask(SIG_BLOCK, &blocked, &before);
    started = pthread_create(&thread, nullptr, &BackgroundAppend::Main, this) == 0;
    pthread_sigmask(SIG_SETMASK, &before, nullptr);
    if (!started) background = false;
    return started;
}

void* BackgroundAppend::Main(void* self) {
    static_cast<BackgroundAppend*>(self)->Run();
    return nullptr;
}

void BackgroundAppend::Run() {
    auto hasWork = [this] {
        return written.load(std::memory_order_relaxed) != handed.load(std::memory_order_acquire) ||
               stopping.load(std::memory_order_acquire);
    };
    for (;;) {
        if (!SpinUntil(hasWork)) {
            std::unique_lock<std::mutex> lock(mutex);
            writerAsleep = true;
            textCame.wait(lock, hasWork);
            writerAsleep = false;
        }
        uint32_t next = written.load(std::memory_order_relaxed);
        if (next == handed.load(std::memory_order_acquire)) {
            // Stopping: the file's watch ends on the thread it signals.
            file.Close();
            return;
        }
        Serve(ring[next % kSlots]);
        std::lock_guard<std::mutex> lock(mutex);
        written.store(next + 1, std::memory_order_release);
        if (callerAsleep) textWritten.notify_one();
    }
}

}  // namespace vpath
