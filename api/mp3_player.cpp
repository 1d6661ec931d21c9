#include "mp3_player.h"

#include <windows.h>
#include <dshow.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

#include "mem_reader.h"

struct MemoryMp3Player::State {
    uint8_t* data;
    int64_t length;
    CMemStream* stream;
    CMemReader* reader;  // one reference
    IFilterGraph* graph;
    IMediaControl* control;
    IMediaEventEx* events;
    IMediaSeeking* seeking;
    IBasicAudio* audio;
    uint8_t loaded;
    bool comInitialised;  // CoInitialize succeeded, so it is undone once at the end
};

namespace {

template <typename T>
void releaseAndClear(T*& p) {
    if (p) {
        p->Release();
        p = nullptr;
    }
}

// Forgets the source side of a load: the reader (after the graph that may hold it), the stream, the data.
void dropSource(MemoryMp3Player::State* s) {
    releaseAndClear(s->reader);
    delete s->stream;
    s->stream = nullptr;
    std::free(s->data);
    s->data = nullptr;
    s->length = 0;
}

HRESULT buildGraph(MemoryMp3Player::State* s) {
    if (!s->reader) return E_POINTER;
    HRESULT hr = CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC, IID_IFilterGraph,
                                  reinterpret_cast<void**>(&s->graph));
    if (FAILED(hr)) return hr;
    if (!s->graph) return E_POINTER;
    hr = s->graph->AddFilter(s->reader, nullptr);
    if (FAILED(hr)) return hr;
    IGraphBuilder* builder = nullptr;
    hr = s->graph->QueryInterface(IID_IGraphBuilder, reinterpret_cast<void**>(&builder));
    if (FAILED(hr)) return hr;
    hr = builder->Render(s->reader->outputPin());
    builder->Release();
    return hr;
}

// How long a graph may take to stop before the log says that it has not (it is still waited for).
const DWORD kStopReportMs = 15000;

struct StopWatch {
    HANDLE stopped;
    DWORD reportMs;
};

DWORD WINAPI watchStop(void* param) {
    StopWatch* watch = static_cast<StopWatch*>(param);
    if (WaitForSingleObject(watch->stopped, watch->reportMs) == WAIT_TIMEOUT) {
        std::printf("The music graph has not stopped after %u ms; still waiting for it\n",
                    static_cast<unsigned>(watch->reportMs));
        std::fflush(stdout);
    }
    return 0;
}

// The filter that `filter`'s first connected output pin feeds (one reference), or NULL.
IBaseFilter* downstreamOf(IBaseFilter* filter) {
    IEnumPins* pins = nullptr;
    if (FAILED(filter->EnumPins(&pins)) || !pins) return nullptr;
    IBaseFilter* next = nullptr;
    IPin* pin = nullptr;
    while (!next && pins->Next(1, &pin, nullptr) == S_OK) {
        PIN_DIRECTION dir = PINDIR_INPUT;
        IPin* peer = nullptr;
        if (SUCCEEDED(pin->QueryDirection(&dir)) && dir == PINDIR_OUTPUT && SUCCEEDED(pin->ConnectedTo(&peer)) &&
            peer) {
            PIN_INFO info = {};
            if (SUCCEEDED(peer->QueryPinInfo(&info))) next = info.pFilter;
            peer->Release();
        }
        pin->Release();
    }
    pins->Release();
    return next;
}

// Stops the graph. The graph stops its filters from the renderer up, and the decoder then drops its
// decoding state while the splitter's streaming thread may still be delivering a sample into it; that
// thread then never ends and the graph's stop waits for it for ever. So the graph is paused, its renderer
// stopped (it lets go of the samples it holds) and the splitter stopped, which ends its streaming thread;
// the graph's own stop then finds nothing streaming. The decoder is left to the graph: it must not be
// stopped twice.
void stopGraph(MemoryMp3Player::State* s) {
    if (!s->control) return;
    StopWatch watch = {CreateEventA(nullptr, TRUE, FALSE, nullptr), kStopReportMs};
    HANDLE watcher = watch.stopped ? CreateThread(nullptr, 0, watchStop, &watch, 0, nullptr) : nullptr;

    OAFilterState state = State_Stopped;
    if (s->reader && (FAILED(s->control->GetState(0, &state)) || state != State_Stopped)) {
        IBaseFilter* splitter = downstreamOf(s->reader);
        IBaseFilter* renderer = nullptr;
        for (IBaseFilter* f = splitter ? downstreamOf(splitter) : nullptr; f; f = downstreamOf(f)) {
            if (renderer) renderer->Release();
            renderer = f;
        }
        s->control->Pause();
        if (renderer) {
            renderer->Stop();
            renderer->Release();
        }
        if (splitter) {
            if (renderer) splitter->Stop();
            splitter->Release();
        }
    }
    s->control->Stop();

    if (watch.stopped) SetEvent(watch.stopped);
    if (watcher) {
        WaitForSingleObject(watcher, INFINITE);
        CloseHandle(watcher);
    }
    if (watch.stopped) CloseHandle(watch.stopped);
}

}  // namespace

MemoryMp3Player::MemoryMp3Player() : state_(static_cast<State*>(std::calloc(1, sizeof(State)))) {
    // A thread already in the other apartment kind answers RPC_E_CHANGED_MODE: then there is nothing to undo.
    const HRESULT hr = CoInitialize(nullptr);
    if (state_) state_->comInitialised = SUCCEEDED(hr);
    else if (SUCCEEDED(hr)) CoUninitialize();
}

MemoryMp3Player::~MemoryMp3Player() {
    if (!state_) return;
    release();
    if (state_->comInitialised) CoUninitialize();
    std::free(state_);
}

int MemoryMp3Player::load(const void* bytes, uint32_t size) {
    State* s = state_;
    if (!s || s->loaded || s->data) return 1;
    s->length = size;
    s->data = static_cast<uint8_t*>(std::malloc(size ? size : 1));
    if (!s->data) {
        std::printf("Could not allocate %d bytes\n", static_cast<int>(size));
        return 1;
    }
    if (size) std::memcpy(s->data, bytes, size);

    AM_MEDIA_TYPE type;
    std::memset(&type, 0, sizeof(type));
    type.majortype = MEDIATYPE_Stream;
    type.subtype = MEDIASUBTYPE_MPEG1Audio;
    type.bFixedSizeSamples = TRUE;
    type.lSampleSize = 1;

    s->stream = new (std::nothrow) CMemStream(s->data, s->length);
    if (!s->stream) {
        std::printf("Could not create filter - CMemStream\n");
        std::free(s->data);
        s->data = nullptr;
        return 1;
    }
    HRESULT hr = E_OUTOFMEMORY;
    s->reader = CMemReader::create(s->stream, type, &hr);
    if (!s->reader || FAILED(hr)) {
        dropSource(s);
        std::printf("Could not create filter - HRESULT 0x%8.8X\n", static_cast<unsigned>(hr));
        return 1;
    }
    // create() hands over the player's one reference.

    hr = buildGraph(s);
    if (FAILED(hr)) {
        // The graph goes first: it may still hold the reader, which reads the stream.
        releaseAndClear(s->graph);
        dropSource(s);
        std::printf("Failed to create graph and render file - HRESULT 0x%8.8X\n", static_cast<unsigned>(hr));
        return 1;
    }
    s->graph->QueryInterface(IID_IMediaControl, reinterpret_cast<void**>(&s->control));
    s->graph->QueryInterface(IID_IMediaEventEx, reinterpret_cast<void**>(&s->events));
    s->graph->QueryInterface(IID_IMediaSeeking, reinterpret_cast<void**>(&s->seeking));
    s->graph->QueryInterface(IID_IBasicAudio, reinterpret_cast<void**>(&s->audio));
    s->loaded = 1;
    return 0;
}

void MemoryMp3Player::run() {
    if (state_ && state_->loaded && state_->control) state_->control->Run();
}

void MemoryMp3Player::pause() {
    if (state_ && state_->loaded && state_->control) state_->control->Pause();
}

void MemoryMp3Player::stop() {
    if (!state_ || !state_->loaded) return;
    // Stopped first, then rewound. A seek in a running graph flushes it and starts its streaming again,
    // and a stop that follows at once can wait forever inside the graph for streaming that is starting.
    stopGraph(state_);
    state_->reader->restartIo();
    setPosition(0);
}

int MemoryMp3Player::position() {
    if (!state_ || !state_->loaded || !state_->seeking) return -1;
    LONGLONG current = 0, stop = 0;
    if (FAILED(state_->seeking->GetPositions(&current, &stop))) return -1;
    return static_cast<int>(current / 10000);
}

int MemoryMp3Player::length() {
    if (!state_ || !state_->loaded || !state_->seeking) return -1;
    LONGLONG duration = 0;
    if (FAILED(state_->seeking->GetDuration(&duration)) || duration <= 0) return -1;
    return static_cast<int>(duration / 10000);
}

int MemoryMp3Player::setPosition(int ms) {
    if (!state_ || !state_->loaded || !state_->seeking) return -1;
    LONGLONG current = static_cast<LONGLONG>(ms) * 10000;
    LONGLONG stop = 0;
    const HRESULT hr = state_->seeking->SetPositions(&current, AM_SEEKING_AbsolutePositioning, &stop,
                                                     AM_SEEKING_NoPositioning);
    return hr == S_OK ? 0 : -1;
}

void MemoryMp3Player::setVolume(int millibels) {
    if (state_ && state_->loaded && state_->audio) state_->audio->put_Volume(millibels);
}

int MemoryMp3Player::volume() {
    if (!state_ || !state_->loaded || !state_->audio) return 0;
    long v = 0;
    if (FAILED(state_->audio->get_Volume(&v))) return 0;
    return static_cast<int>(v);
}

void MemoryMp3Player::release() {
    State* s = state_;
    if (!s) return;
    stopGraph(s);
    releaseAndClear(s->control);
    releaseAndClear(s->audio);
    releaseAndClear(s->events);
    releaseAndClear(s->seeking);
    releaseAndClear(s->graph);
    dropSource(s);
    s->loaded = 0;
}
