#include "mem_reader.h"

#include <mmsystem.h>

#include <algorithm>
#include <cstring>
#include <cwchar>
#include <deque>
#include <new>

namespace {

// The filter's class ID: it is never registered, only reported through IPersist.
const CLSID kMemReaderClsid = {0xd61c9c37, 0x7c0f, 0x4d75, {0x96, 0xf6, 0x65, 0xd0, 0x89, 0x2d, 0x2d, 0xb9}};
const wchar_t kPinName[] = L"Output";
const REFERENCE_TIME kUnits = 10000000;  // reference-time units per second; sample times carry bytes

volatile LONG g_liveReaders = 0;

class Guard {
public:
    explicit Guard(CRITICAL_SECTION* cs) : cs_(cs) { EnterCriticalSection(cs_); }
    ~Guard() { LeaveCriticalSection(cs_); }

private:
    CRITICAL_SECTION* cs_;
};

// A media type whose format block (when any) the caller frees with CoTaskMemFree.
bool copyMediaType(AM_MEDIA_TYPE* to, const AM_MEDIA_TYPE& from) {
    *to = from;
    to->pUnk = nullptr;
    to->pbFormat = nullptr;
    to->cbFormat = 0;
    if (from.cbFormat && from.pbFormat) {
        to->pbFormat = static_cast<BYTE*>(CoTaskMemAlloc(from.cbFormat));
        if (!to->pbFormat) return false;
        std::memcpy(to->pbFormat, from.pbFormat, from.cbFormat);
        to->cbFormat = from.cbFormat;
    }
    return true;
}

void freeMediaType(AM_MEDIA_TYPE* type) {
    if (type->pbFormat) CoTaskMemFree(type->pbFormat);
    type->pbFormat = nullptr;
    type->cbFormat = 0;
}

// The pin's I/O: synchronous reads go straight to the stream; queued requests are read by a worker
// thread and handed back, in completion order, by waitForNext. A flush completes every queued request
// as flushed and waits for the one being read.
class ReaderIo {
public:
    explicit ReaderIo(CMemStream* stream) : stream_(stream) {
        InitializeCriticalSection(&lock_);
        workAvailable_ = CreateEventA(nullptr, TRUE, FALSE, nullptr);
        doneAvailable_ = CreateEventA(nullptr, TRUE, FALSE, nullptr);
        idle_ = CreateEventA(nullptr, TRUE, TRUE, nullptr);
    }
    ~ReaderIo() {
        beginFlush();
        stopWorker();
        CloseHandle(workAvailable_);
        CloseHandle(doneAvailable_);
        CloseHandle(idle_);
        DeleteCriticalSection(&lock_);
    }

    bool startWorker() {
        Guard g(&lock_);
        if (thread_) return true;
        if (!workAvailable_ || !doneAvailable_ || !idle_) return false;
        thread_ = CreateThread(nullptr, 0, workerEntry, this, 0, nullptr);
        return thread_ != nullptr;
    }

    void stopWorker() {
        HANDLE thread;
        {
            Guard g(&lock_);
            thread = thread_;
            if (!thread) return;
            stopping_ = true;
            SetEvent(workAvailable_);
        }
        WaitForSingleObject(thread, INFINITE);
        CloseHandle(thread);
        Guard g(&lock_);
        thread_ = nullptr;
        stopping_ = false;
        if (queued_.empty()) ResetEvent(workAvailable_);
    }

    HRESULT request(IMediaSample* sample, DWORD_PTR user) {
        if (!sample) return E_POINTER;
        REFERENCE_TIME start = 0, stop = 0;
        HRESULT hr = sample->GetTime(&start, &stop);
        if (FAILED(hr)) return hr;
        if (start < 0 || stop < start) return E_INVALIDARG;
        if (start / kUnits >= stream_->Size()) return HRESULT_FROM_WIN32(ERROR_HANDLE_EOF);
        Guard g(&lock_);
        if (flushing_) return VFW_E_WRONG_STATE;
        if (!thread_) return E_UNEXPECTED;
        queued_.push_back(Request{sample, user, S_OK});
        SetEvent(workAvailable_);
        return S_OK;
    }

    HRESULT waitForNext(DWORD timeoutMs, IMediaSample** sample, DWORD_PTR* user) {
        if (!sample || !user) return E_POINTER;
        *sample = nullptr;
        *user = 0;
        for (;;) {
            {
                Guard g(&lock_);
                if (!done_.empty()) {
                    const Request r = done_.front();
                    done_.pop_front();
                    if (done_.empty() && !flushing_) ResetEvent(doneAvailable_);
                    *sample = r.sample;
                    *user = r.user;
                    return r.result;
                }
                if (flushing_) return VFW_E_WRONG_STATE;
            }
            if (WaitForSingleObject(doneAvailable_, timeoutMs) != WAIT_OBJECT_0) return VFW_E_TIMEOUT;
        }
    }

    void beginFlush() {
        {
            Guard g(&lock_);
            flushing_ = true;
            for (Request& r : queued_) {
                r.result = VFW_E_WRONG_STATE;
                done_.push_back(r);
            }
            queued_.clear();
            ResetEvent(workAvailable_);
            SetEvent(doneAvailable_);  // releases every waiter
        }
        WaitForSingleObject(idle_, INFINITE);
    }

    void endFlush() {
        Guard g(&lock_);
        flushing_ = false;
        if (done_.empty()) ResetEvent(doneAvailable_);
    }

    // Reads `length` bytes at `position` under the stream's lock: S_OK when all came, S_FALSE for a
    // short read (at or past the end of the data).
    HRESULT readAt(int64_t position, LONG length, BYTE* buffer, DWORD* got) {
        *got = 0;
        if (length < 0) return E_INVALIDARG;
        if (!buffer) return E_POINTER;
        stream_->Lock();
        HRESULT hr = stream_->SetPointer(position);
        if (hr == S_OK) hr = stream_->Read(buffer, static_cast<DWORD>(length), FALSE, got);
        stream_->Unlock();
        if (FAILED(hr)) return hr;
        return *got == static_cast<DWORD>(length) ? S_OK : S_FALSE;
    }

    // Fills a sample from the byte range its times give; a short read ends the sample where the data ends.
    HRESULT readSample(IMediaSample* sample) {
        REFERENCE_TIME start = 0, stop = 0;
        HRESULT hr = sample->GetTime(&start, &stop);
        if (FAILED(hr)) return hr;
        const int64_t position = start / kUnits;
        const int64_t length = stop / kUnits - position;
        if (position < 0 || length < 0 || length > sample->GetSize()) return E_INVALIDARG;
        BYTE* buffer = nullptr;
        hr = sample->GetPointer(&buffer);
        if (FAILED(hr)) return hr;
        DWORD got = 0;
        hr = readAt(position, static_cast<LONG>(length), buffer, &got);
        sample->SetActualDataLength(static_cast<LONG>(got));
        if (hr == S_FALSE) {
            REFERENCE_TIME end = (position + got) * kUnits;
            sample->SetTime(&start, &end);
        }
        return hr;
    }

private:
    struct Request {
        IMediaSample* sample;
        DWORD_PTR user;
        HRESULT result;
    };

    static DWORD WINAPI workerEntry(void* self) {
        static_cast<ReaderIo*>(self)->work();
        return 0;
    }

    void work() {
        for (;;) {
            WaitForSingleObject(workAvailable_, INFINITE);
            Request r;
            {
                Guard g(&lock_);
                if (stopping_) return;
                if (queued_.empty()) {
                    ResetEvent(workAvailable_);
                    continue;
                }
                r = queued_.front();
                queued_.pop_front();
                if (queued_.empty()) ResetEvent(workAvailable_);
                ResetEvent(idle_);
            }
            r.result = readSample(r.sample);
            Guard g(&lock_);
            done_.push_back(r);
            SetEvent(doneAvailable_);
            SetEvent(idle_);
        }
    }

    CMemStream* stream_;
    CRITICAL_SECTION lock_;
    HANDLE workAvailable_;  // set while requests are queued (or the worker must stop)
    HANDLE doneAvailable_;  // set while completed requests wait, and throughout a flush
    HANDLE idle_;           // set while the worker reads nothing
    HANDLE thread_ = nullptr;
    bool flushing_ = false;
    bool stopping_ = false;
    std::deque<Request> queued_;
    std::deque<Request> done_;
};

// An enumerator over a single item, holding its owner alive.
template <class Interface, class Item>
class OneItemEnum : public Interface {
public:
    OneItemEnum(IUnknown* owner, const IID& iid, ULONG position) : owner_(owner), iid_(iid), position_(position) {
        owner_->AddRef();
    }
    virtual ~OneItemEnum() { owner_->Release(); }

    STDMETHODIMP QueryInterface(REFIID riid, void** out) override {
        if (!out) return E_POINTER;
        if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, iid_)) {
            *out = static_cast<Interface*>(this);
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return InterlockedIncrement(&refs_); }
    STDMETHODIMP_(ULONG) Release() override {
        const LONG refs = InterlockedDecrement(&refs_);
        if (refs == 0) delete this;
        return refs;
    }
    STDMETHODIMP Next(ULONG count, Item* items, ULONG* fetched) override {
        if (!items || (count > 1 && !fetched)) return E_POINTER;
        ULONG n = 0;
        if (count > 0 && position_ == 0) {
            items[0] = make();
            if (!items[0]) return E_OUTOFMEMORY;
            n = 1;
            position_ = 1;
        }
        if (fetched) *fetched = n;
        return n == count ? S_OK : S_FALSE;
    }
    STDMETHODIMP Skip(ULONG count) override {
        const ULONG left = 1 - position_;
        position_ = count >= left ? 1 : position_ + count;
        return count <= left ? S_OK : S_FALSE;
    }
    STDMETHODIMP Reset() override {
        position_ = 0;
        return S_OK;
    }
    STDMETHODIMP Clone(Interface** out) override {
        if (!out) return E_POINTER;
        *out = copy(position_);
        return *out ? S_OK : E_OUTOFMEMORY;
    }

protected:
    virtual Item make() = 0;
    virtual Interface* copy(ULONG position) = 0;
    IUnknown* owner_;

private:
    LONG refs_ = 1;
    const IID& iid_;
    ULONG position_;
};

}  // namespace

// ---------------------------------------------------------------------------------------------------
// CMemStream

CMemStream::CMemStream(const uint8_t* data, int64_t length, uint32_t rateKbPerSecond)
    : data_(data), length_(length), position_(0), rate_(rateKbPerSecond), startTime_(timeGetTime()) {
    InitializeCriticalSection(&lock_);
}

CMemStream::~CMemStream() { DeleteCriticalSection(&lock_); }

HRESULT CMemStream::SetPointer(int64_t position) {
    if (position < 0 || position > length_) return S_FALSE;
    position_ = position;
    return S_OK;
}

HRESULT CMemStream::Read(uint8_t* buffer, DWORD count, BOOL, DWORD* read) {
    Guard g(&lock_);
    const DWORD elapsed = timeGetTime() - startTime_;
    const int64_t left = length_ - position_;
    if (static_cast<int64_t>(count) > left) count = static_cast<DWORD>(left > 0 ? left : 0);
    if (rate_ != 0) {
        // Throttled streams deliver no faster than their rate since they were made.
        const DWORD due = (static_cast<DWORD>(position_) + count) / rate_;
        if (elapsed < due) Sleep(due - elapsed);
    }
    if (count) std::memcpy(buffer, data_ + position_, count);
    position_ += count;
    if (read) *read = count;
    return S_OK;
}

int64_t CMemStream::Size(int64_t* available) {
    if (available) {
        const int64_t let = static_cast<int64_t>(timeGetTime() - startTime_) * rate_;
        *available = std::min(length_, let);
    }
    return length_;
}

DWORD CMemStream::Alignment() { return 1; }
void CMemStream::Lock() { EnterCriticalSection(&lock_); }
void CMemStream::Unlock() { LeaveCriticalSection(&lock_); }

// ---------------------------------------------------------------------------------------------------
// The output pin. It has no reference count of its own: it lives and dies with its filter.

class CMemReaderPin : public IPin {
public:
    CMemReaderPin(CMemReader* filter, CMemStream* stream, const AM_MEDIA_TYPE& type)
        : filter_(filter), stream_(stream), io_(stream), reader_(this) {
        InitializeCriticalSection(&lock_);
        typeOk_ = copyMediaType(&type_, type);
    }
    virtual ~CMemReaderPin() {
        if (peer_) peer_->Release();
        freeMediaType(&type_);
        DeleteCriticalSection(&lock_);
    }
    bool ready() { return typeOk_ && io_.startWorker(); }
    IAsyncReader* asyncReader() { return &reader_; }
    void restartIo() {
        io_.beginFlush();
        io_.stopWorker();
        io_.endFlush();
        io_.startWorker();
    }

    // IUnknown
    STDMETHODIMP QueryInterface(REFIID riid, void** out) override {
        if (!out) return E_POINTER;
        if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IPin)) {
            *out = static_cast<IPin*>(this);
        } else if (IsEqualIID(riid, IID_IAsyncReader)) {
            *out = static_cast<IAsyncReader*>(&reader_);
        } else {
            *out = nullptr;
            return E_NOINTERFACE;
        }
        AddRef();
        return S_OK;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return filter_->AddRef(); }
    STDMETHODIMP_(ULONG) Release() override { return filter_->Release(); }

    // IPin
    STDMETHODIMP Connect(IPin* receiver, const AM_MEDIA_TYPE* wanted) override {
        if (!receiver) return E_POINTER;
        {
            Guard g(&lock_);
            if (peer_) return VFW_E_ALREADY_CONNECTED;
        }
        if (filter_->state() != State_Stopped) return VFW_E_NOT_STOPPED;
        if (wanted && !matches(wanted)) return VFW_E_TYPE_NOT_ACCEPTED;
        // No lock across the call: the receiver may read from us on its own threads while it connects.
        const HRESULT hr = receiver->ReceiveConnection(this, &type_);
        if (FAILED(hr)) return hr;
        Guard g(&lock_);
        peer_ = receiver;
        peer_->AddRef();
        return S_OK;
    }
    STDMETHODIMP ReceiveConnection(IPin*, const AM_MEDIA_TYPE*) override { return E_UNEXPECTED; }
    STDMETHODIMP Disconnect() override {
        if (filter_->state() != State_Stopped) return VFW_E_NOT_STOPPED;
        IPin* peer;
        {
            Guard g(&lock_);
            peer = peer_;
            peer_ = nullptr;
        }
        if (!peer) return S_FALSE;
        peer->Release();
        return S_OK;
    }
    STDMETHODIMP ConnectedTo(IPin** out) override {
        if (!out) return E_POINTER;
        Guard g(&lock_);
        *out = peer_;
        if (!peer_) return VFW_E_NOT_CONNECTED;
        peer_->AddRef();
        return S_OK;
    }
    STDMETHODIMP ConnectionMediaType(AM_MEDIA_TYPE* out) override {
        if (!out) return E_POINTER;
        Guard g(&lock_);
        if (!peer_) {
            std::memset(out, 0, sizeof(*out));
            return VFW_E_NOT_CONNECTED;
        }
        return copyMediaType(out, type_) ? S_OK : E_OUTOFMEMORY;
    }
    STDMETHODIMP QueryPinInfo(PIN_INFO* info) override {
        if (!info) return E_POINTER;
        info->pFilter = filter_;
        filter_->AddRef();
        info->dir = PINDIR_OUTPUT;
        wcsncpy(info->achName, kPinName, MAX_PIN_NAME);
        return S_OK;
    }
    STDMETHODIMP QueryDirection(PIN_DIRECTION* dir) override {
        if (!dir) return E_POINTER;
        *dir = PINDIR_OUTPUT;
        return S_OK;
    }
    STDMETHODIMP QueryId(LPWSTR* id) override {
        if (!id) return E_POINTER;
        *id = static_cast<LPWSTR>(CoTaskMemAlloc(sizeof(kPinName)));
        if (!*id) return E_OUTOFMEMORY;
        std::memcpy(*id, kPinName, sizeof(kPinName));
        return S_OK;
    }
    STDMETHODIMP QueryAccept(const AM_MEDIA_TYPE* type) override {
        if (!type) return E_POINTER;
        return matches(type) ? S_OK : S_FALSE;
    }
    STDMETHODIMP EnumMediaTypes(IEnumMediaTypes** out) override {
        if (!out) return E_POINTER;
        *out = new (std::nothrow) TypeEnum(this, 0);
        return *out ? S_OK : E_OUTOFMEMORY;
    }
    STDMETHODIMP QueryInternalConnections(IPin**, ULONG*) override { return E_NOTIMPL; }
    // A source pin receives no stream control from downstream.
    STDMETHODIMP EndOfStream() override { return E_UNEXPECTED; }
    STDMETHODIMP BeginFlush() override { return E_UNEXPECTED; }
    STDMETHODIMP EndFlush() override { return E_UNEXPECTED; }
    STDMETHODIMP NewSegment(REFERENCE_TIME, REFERENCE_TIME, double) override { return S_OK; }

private:
    // The reader interface lives beside the pin: IPin and IAsyncReader both name a BeginFlush and an
    // EndFlush with different meanings.
    class Reader : public IAsyncReader {
    public:
        explicit Reader(CMemReaderPin* pin) : pin_(pin) {}
        STDMETHODIMP QueryInterface(REFIID riid, void** out) override { return pin_->QueryInterface(riid, out); }
        STDMETHODIMP_(ULONG) AddRef() override { return pin_->AddRef(); }
        STDMETHODIMP_(ULONG) Release() override { return pin_->Release(); }

        STDMETHODIMP RequestAllocator(IMemAllocator* preferred, ALLOCATOR_PROPERTIES* props,
                                      IMemAllocator** actual) override {
            if (!props || !actual) return E_POINTER;
            *actual = nullptr;
            ALLOCATOR_PROPERTIES want = *props;
            const LONG align = static_cast<LONG>(pin_->stream_->Alignment());
            if (want.cbAlign < align) want.cbAlign = align;
            ALLOCATOR_PROPERTIES got;
            if (preferred && SUCCEEDED(preferred->SetProperties(&want, &got)) && got.cbAlign % align == 0) {
                preferred->AddRef();
                *actual = preferred;
                return S_OK;
            }
            IMemAllocator* own = nullptr;
            HRESULT hr = CoCreateInstance(CLSID_MemoryAllocator, nullptr, CLSCTX_INPROC_SERVER, IID_IMemAllocator,
                                          reinterpret_cast<void**>(&own));
            if (FAILED(hr)) return hr;
            hr = own->SetProperties(&want, &got);
            if (FAILED(hr)) {
                own->Release();
                return hr;
            }
            *actual = own;
            return S_OK;
        }
        STDMETHODIMP Request(IMediaSample* sample, DWORD_PTR user) override {
            return pin_->io_.request(sample, user);
        }
        STDMETHODIMP WaitForNext(DWORD timeoutMs, IMediaSample** sample, DWORD_PTR* user) override {
            return pin_->io_.waitForNext(timeoutMs, sample, user);
        }
        STDMETHODIMP SyncReadAligned(IMediaSample* sample) override {
            if (!sample) return E_POINTER;
            return pin_->io_.readSample(sample);
        }
        STDMETHODIMP SyncRead(LONGLONG position, LONG length, BYTE* buffer) override {
            DWORD got = 0;
            return pin_->io_.readAt(position, length, buffer, &got);
        }
        STDMETHODIMP Length(LONGLONG* total, LONGLONG* available) override {
            if (!total) return E_POINTER;
            int64_t let = 0;
            *total = pin_->stream_->Size(&let);
            if (available) *available = let;
            return S_OK;
        }
        STDMETHODIMP BeginFlush() override {
            pin_->io_.beginFlush();
            return S_OK;
        }
        STDMETHODIMP EndFlush() override {
            pin_->io_.endFlush();
            return S_OK;
        }

    private:
        CMemReaderPin* pin_;
    };

    class TypeEnum : public OneItemEnum<IEnumMediaTypes, AM_MEDIA_TYPE*> {
    public:
        TypeEnum(CMemReaderPin* pin, ULONG position)
            : OneItemEnum(static_cast<IPin*>(pin), IID_IEnumMediaTypes, position), pin_(pin) {}

    protected:
        AM_MEDIA_TYPE* make() override {
            AM_MEDIA_TYPE* type = static_cast<AM_MEDIA_TYPE*>(CoTaskMemAlloc(sizeof(AM_MEDIA_TYPE)));
            if (type && !copyMediaType(type, pin_->type_)) {
                CoTaskMemFree(type);
                type = nullptr;
            }
            return type;
        }
        IEnumMediaTypes* copy(ULONG position) override { return new (std::nothrow) TypeEnum(pin_, position); }

    private:
        CMemReaderPin* pin_;
    };

    // Our type, or a partial type whose unset GUIDs match anything.
    bool matches(const AM_MEDIA_TYPE* type) const {
        const bool major = IsEqualGUID(type->majortype, GUID_NULL) || IsEqualGUID(type->majortype, type_.majortype);
        const bool sub = IsEqualGUID(type->subtype, GUID_NULL) || IsEqualGUID(type->subtype, type_.subtype);
        return major && sub;
    }

    CMemReader* filter_;
    CMemStream* stream_;
    ReaderIo io_;
    Reader reader_;
    CRITICAL_SECTION lock_;
    AM_MEDIA_TYPE type_;
    bool typeOk_ = false;
    IPin* peer_ = nullptr;
};

// ---------------------------------------------------------------------------------------------------
// CMemReader

namespace {
class PinEnum : public OneItemEnum<IEnumPins, IPin*> {
public:
    PinEnum(CMemReader* filter, ULONG position) : OneItemEnum(filter, IID_IEnumPins, position), filter_(filter) {}

protected:
    IPin* make() override {
        IPin* pin = filter_->outputPin();
        pin->AddRef();
        return pin;
    }
    IEnumPins* copy(ULONG position) override { return new (std::nothrow) PinEnum(filter_, position); }

private:
    CMemReader* filter_;
};
}  // namespace

CMemReader* CMemReader::create(CMemStream* stream, const AM_MEDIA_TYPE& type, HRESULT* result) {
    *result = E_OUTOFMEMORY;
    if (!stream) {
        *result = E_POINTER;
        return nullptr;
    }
    CMemReader* filter = new (std::nothrow) CMemReader(stream, type);
    if (!filter) return nullptr;
    if (!filter->pin_) {
        filter->Release();
        return nullptr;
    }
    if (!filter->pin_->ready()) {
        *result = E_FAIL;
        filter->Release();
        return nullptr;
    }
    *result = S_OK;
    return filter;
}

CMemReader::CMemReader(CMemStream* stream, const AM_MEDIA_TYPE& type)
    : refs_(1), state_(State_Stopped), clock_(nullptr), graph_(nullptr), name_{} {
    InitializeCriticalSection(&lock_);
    pin_ = new (std::nothrow) CMemReaderPin(this, stream, type);
    InterlockedIncrement(&g_liveReaders);
}

CMemReader::~CMemReader() {
    delete pin_;
    if (clock_) clock_->Release();
    DeleteCriticalSection(&lock_);
    InterlockedDecrement(&g_liveReaders);
}

long CMemReader::liveCount() { return g_liveReaders; }
IPin* CMemReader::outputPin() { return pin_; }
IAsyncReader* CMemReader::asyncReader() { return pin_->asyncReader(); }
void CMemReader::restartIo() { pin_->restartIo(); }

FILTER_STATE CMemReader::state() {
    Guard g(&lock_);
    return state_;
}

STDMETHODIMP CMemReader::QueryInterface(REFIID riid, void** out) {
    if (!out) return E_POINTER;
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IPersist) || IsEqualIID(riid, IID_IMediaFilter) ||
        IsEqualIID(riid, IID_IBaseFilter)) {
        *out = static_cast<IBaseFilter*>(this);
        AddRef();
        return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
}

STDMETHODIMP_(ULONG) CMemReader::AddRef() { return InterlockedIncrement(&refs_); }

STDMETHODIMP_(ULONG) CMemReader::Release() {
    const LONG refs = InterlockedDecrement(&refs_);
    if (refs == 0) delete this;
    return refs;
}

STDMETHODIMP CMemReader::GetClassID(CLSID* clsid) {
    if (!clsid) return E_POINTER;
    *clsid = kMemReaderClsid;
    return S_OK;
}

STDMETHODIMP CMemReader::Stop() {
    Guard g(&lock_);
    state_ = State_Stopped;
    return S_OK;
}

STDMETHODIMP CMemReader::Pause() {
    Guard g(&lock_);
    state_ = State_Paused;
    return S_OK;
}

STDMETHODIMP CMemReader::Run(REFERENCE_TIME) {
    Guard g(&lock_);
    state_ = State_Running;
    return S_OK;
}

STDMETHODIMP CMemReader::GetState(DWORD, FILTER_STATE* state) {
    if (!state) return E_POINTER;
    *state = this->state();
    return S_OK;
}

STDMETHODIMP CMemReader::SetSyncSource(IReferenceClock* clock) {
    Guard g(&lock_);
    if (clock) clock->AddRef();
    if (clock_) clock_->Release();
    clock_ = clock;
    return S_OK;
}

STDMETHODIMP CMemReader::GetSyncSource(IReferenceClock** clock) {
    if (!clock) return E_POINTER;
    Guard g(&lock_);
    *clock = clock_;
    if (clock_) clock_->AddRef();
    return S_OK;
}

STDMETHODIMP CMemReader::EnumPins(IEnumPins** out) {
    if (!out) return E_POINTER;
    *out = new (std::nothrow) PinEnum(this, 0);
    return *out ? S_OK : E_OUTOFMEMORY;
}

STDMETHODIMP CMemReader::FindPin(LPCWSTR id, IPin** out) {
    if (!id || !out) return E_POINTER;
    *out = nullptr;
    if (std::wcscmp(id, kPinName) != 0) return VFW_E_NOT_FOUND;
    *out = pin_;
    pin_->AddRef();
    return S_OK;
}

STDMETHODIMP CMemReader::QueryFilterInfo(FILTER_INFO* info) {
    if (!info) return E_POINTER;
    Guard g(&lock_);
    std::memcpy(info->achName, name_, sizeof(name_));
    info->pGraph = graph_;
    if (graph_) graph_->AddRef();
    return S_OK;
}

STDMETHODIMP CMemReader::JoinFilterGraph(IFilterGraph* graph, LPCWSTR name) {
    Guard g(&lock_);
    graph_ = graph;
    std::memset(name_, 0, sizeof(name_));
    if (name) wcsncpy(name_, name, MAX_FILTER_NAME - 1);
    return S_OK;
}

STDMETHODIMP CMemReader::QueryVendorInfo(LPWSTR*) { return E_NOTIMPL; }
