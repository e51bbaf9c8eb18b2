// PulseClient. The order of the teardown matters: callbacks off, then the stream, then the context,
// all under the loop's lock, and only then the loop's thread stopped.
#include "desktop/pulse_client.h"

#include <pulse/pulseaudio.h>

bool PulseClient::open(const char* threadName, void (*onState)(pa_context*, void*), void* self)
{
    loop_ = pa_threaded_mainloop_new();
    context_ = loop_ ? pa_context_new(pa_threaded_mainloop_get_api(loop_), "show") : nullptr;
    pa_stream* none = nullptr;
    if (!context_) {
        close(none);
        return false;
    }
    pa_threaded_mainloop_set_name(loop_, threadName);
    pa_context_set_state_callback(context_, onState, self);
    if (pa_context_connect(context_, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0 ||
        pa_threaded_mainloop_start(loop_) < 0) {
        close(none);
        return false;
    }
    return true;
}

bool PulseClient::waitConnected()
{
    for (;;) {
        const pa_context_state_t state = pa_context_get_state(context_);
        if (state == PA_CONTEXT_READY) return true;
        if (!PA_CONTEXT_IS_GOOD(state)) return false;
        pa_threaded_mainloop_wait(loop_);
    }
}

void PulseClient::lock() { pa_threaded_mainloop_lock(loop_); }
void PulseClient::unlock() { pa_threaded_mainloop_unlock(loop_); }
void PulseClient::wait() { pa_threaded_mainloop_wait(loop_); }
void PulseClient::signal() { pa_threaded_mainloop_signal(loop_, 0); }

void PulseClient::close(pa_stream*& stream)
{
    if (!loop_) return;
    pa_threaded_mainloop_lock(loop_);
    if (stream) {
        pa_stream_set_write_callback(stream, nullptr, nullptr);
        pa_stream_set_read_callback(stream, nullptr, nullptr);
        pa_stream_set_state_callback(stream, nullptr, nullptr);
        pa_stream_disconnect(stream);
        pa_stream_unref(stream);
        stream = nullptr;
    }
    if (context_) {
        pa_context_set_state_callback(context_, nullptr, nullptr);
        pa_context_disconnect(context_);
        pa_context_unref(context_);
        context_ = nullptr;
    }
    pa_threaded_mainloop_unlock(loop_);
    pa_threaded_mainloop_stop(loop_);
    pa_threaded_mainloop_free(loop_);
    loop_ = nullptr;
}
