#ifndef QIRN_API_MEM_READER_H
#define QIRN_API_MEM_READER_H

// A DirectShow source filter that serves bytes held in memory to the filter graph through an
// asynchronous reader output pin. The graph's splitter pulls the data with IAsyncReader: synchronous
// reads go straight to the stream, queued requests are served by a worker thread of the pin.

#include <windows.h>
#include <dshow.h>

#include <cstdint>

// The memory the filter serves. Reads and the pointer move are guarded by one critical section that the
// reader also takes around its own seek-and-read pairs.
class CMemStream {
public:
    // `rateKbPerSecond` throttles reads to that many kilobytes per second since the stream was made;
    // 0xFFFFFFFF never waits.
    CMemStream(const uint8_t* data, int64_t length, uint32_t rateKbPerSecond = 0xFFFFFFFFu);
    virtual ~CMemStream();
    // S_FALSE (and nothing moved) for a position before the start or past the end.
    virtual HRESULT SetPointer(int64_t position);
    // Copies up to `count` bytes from the position; reports the count copied. S_OK also for a short read.
    virtual HRESULT Read(uint8_t* buffer, DWORD count, BOOL align, DWORD* read);
    // The whole length; `available` (when given) receives what the rate has let through so far.
    virtual int64_t Size(int64_t* available = nullptr);
    virtual DWORD Alignment();
    virtual void Lock();
    virtual void Unlock();

private:
    CRITICAL_SECTION lock_;
    const uint8_t* data_;
    int64_t length_;
    int64_t position_;
    uint32_t rate_;
    DWORD startTime_;
};

class CMemReaderPin;

// The source filter: one output pin named "Output" that offers a single media type. Created with one
// reference held by the caller. The stream stays the caller's and must outlive the filter.
class CMemReader : public IBaseFilter {
public:
    static CMemReader* create(CMemStream* stream, const AM_MEDIA_TYPE& type, HRESULT* result);

    // The output pin (borrowed; it shares the filter's reference count).
    IPin* outputPin();
    // The pin's asynchronous reader interface (borrowed).
    IAsyncReader* asyncReader();
    // Ends the pending requests as flushed, stops the request worker and starts it again.
    void restartIo();

    // Filters alive in the process, for leak checks.
    static long liveCount();

    // IUnknown
    STDMETHODIMP QueryInterface(REFIID riid, void** out) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;
    // IPersist
    STDMETHODIMP GetClassID(CLSID* clsid) override;
    // IMediaFilter
    STDMETHODIMP Stop() override;
    STDMETHODIMP Pause() override;
    STDMETHODIMP Run(REFERENCE_TIME start) override;
    STDMETHODIMP GetState(DWORD timeoutMs, FILTER_STATE* state) override;
    STDMETHODIMP SetSyncSource(IReferenceClock* clock) override;
    STDMETHODIMP GetSyncSource(IReferenceClock** clock) override;
    // IBaseFilter
    STDMETHODIMP EnumPins(IEnumPins** out) override;
    STDMETHODIMP FindPin(LPCWSTR id, IPin** out) override;
    STDMETHODIMP QueryFilterInfo(FILTER_INFO* info) override;
    STDMETHODIMP JoinFilterGraph(IFilterGraph* graph, LPCWSTR name) override;
    STDMETHODIMP QueryVendorInfo(LPWSTR* info) override;

    FILTER_STATE state();

private:
    CMemReader(CMemStream* stream, const AM_MEDIA_TYPE& type);
    virtual ~CMemReader();

    LONG refs_;
    CRITICAL_SECTION lock_;
    FILTER_STATE state_;
    IReferenceClock* clock_;
    IFilterGraph* graph_;  // not held: the graph holds the filter
    WCHAR name_[MAX_FILTER_NAME];
    CMemReaderPin* pin_;
};

#endif
