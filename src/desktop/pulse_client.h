// One connection to the user's sound server (PulseAudio, or PipeWire's pulse server) on libpulse's own
// thread, a threaded main loop: what the music's output stream and the listening show's record stream
// both stand on. It never starts a server; the stream's callbacks are taken off before it ends.
#pragma once

struct pa_context;
struct pa_stream;
struct pa_threaded_mainloop;

class PulseClient {
public:
    // --- Main thread
    // Starts the loop and asks to connect; onState(context, self) runs on the loop's thread at each
    // change. False, with nothing left running, when it cannot even ask.
    bool open(const char* threadName, void (*onState)(pa_context*, void*), void* self);
    void close(pa_stream*& stream);   // ends the stream, if any, then the connection and the loop; idempotent
    bool isOpen() const { return loop_ != nullptr; }

    // --- With the loop locked (lock() ... unlock(), or on the loop's own thread)
    bool waitConnected();   // until the context is ready; false once it has failed
    void lock();
    void unlock();
    void wait();            // until a callback signals
    void signal();          // wakes a waiter: from the callbacks

    pa_threaded_mainloop* loop() const { return loop_; }
    pa_context* context() const { return context_; }

private:
    pa_threaded_mainloop* loop_ = nullptr;
    pa_context* context_ = nullptr;
};
